#include "HandleCount.h"
#include "IconWin.h"
#include "WndWin.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const UINT WM_TEST_ECHO = WM_APP + 10;
const UINT WM_TEST_NESTED = WM_APP + 11;
const UINT WM_TEST_DEFAULT = WM_APP + 12;

class CRecordingWnd : public CWnd {
public:
    std::vector<std::string> log;
    bool destroyedAfterHandle = false;

    BEGIN_MSG_MAP(CRecordingWnd, CWnd)
    MESSAGE_HANDLER(WM_TEST_ECHO, OnEcho)
    MESSAGE_HANDLER(WM_TEST_NESTED, OnNested)
    MESSAGE_HANDLER(WM_TEST_DEFAULT, OnLetDefaultRun)
    COMMAND_ID_HANDLER(40001, OnCommandOne)
    COMMAND_RANGE_HANDLER(40010, 40019, OnCommandRange)
    MSG_WM_TIMER(OnTimer)
    MSG_WM_DESTROY(OnDestroy)
    END_MSG_MAP()

protected:
    LRESULT OnEcho(WPARAM wParam, LPARAM) {
        log.push_back("echo");
        return static_cast<LRESULT>(wParam) * 2;
    }
    LRESULT OnNested(WPARAM, LPARAM) {
        // A message sent from inside a handler must not disturb the outer one's state.
        const LRESULT inner = SendMessageA(m_hWnd, WM_TEST_ECHO, 5, 0);
        log.push_back(m_current.message == WM_TEST_NESTED ? "outer-kept" : "outer-lost");
        return inner;
    }
    LRESULT OnLetDefaultRun(WPARAM, LPARAM) {
        log.push_back("default");
        SetMsgHandled(false);
        return 12345;
    }
    void OnCommandOne() { log.push_back("cmd1"); }
    void OnCommandRange(UINT id) { log.push_back("range" + std::to_string(id)); }
    void OnTimer(UINT_PTR id) { log.push_back("timer" + std::to_string(id)); }
    void OnDestroy() { log.push_back("destroy"); }
    void PostNcDestroy() override { destroyedAfterHandle = (m_hWnd == nullptr); }
};

class FrameworkWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(CWnd::RegisterWindowClass("ZvTestWnd", 0, nullptr, nullptr));
        RECT rect = {0, 0, 10, 10};
        ASSERT_TRUE(wnd.CreateEx(0, "ZvTestWnd", "test", WS_POPUP, rect, nullptr, nullptr));
    }
    CRecordingWnd wnd;
};

} // namespace

TEST_F(FrameworkWindow, TypedHandlersReceiveTheirArguments) {
    EXPECT_EQ(42, SendMessageA(wnd.m_hWnd, WM_TEST_ECHO, 21, 0));
    SendMessageA(wnd.m_hWnd, WM_COMMAND, MAKEWPARAM(40001, 0), 0);
    SendMessageA(wnd.m_hWnd, WM_COMMAND, MAKEWPARAM(40012, 0), 0);
    SendMessageA(wnd.m_hWnd, WM_COMMAND, MAKEWPARAM(40020, 0), 0);
    SendMessageA(wnd.m_hWnd, WM_TIMER, 104, 0);
    EXPECT_EQ((std::vector<std::string>{"echo", "cmd1", "range40012", "timer104"}), wnd.log);
}

TEST_F(FrameworkWindow, NestedMessagesKeepTheOuterMessage) {
    EXPECT_EQ(10, SendMessageA(wnd.m_hWnd, WM_TEST_NESTED, 0, 0));
    EXPECT_EQ((std::vector<std::string>{"echo", "outer-kept"}), wnd.log);
}

TEST_F(FrameworkWindow, UnhandledMessageGetsDefaultProcessing) {
    // DefWindowProc answers 0 for an application message; the handler's value is dropped.
    EXPECT_EQ(0, SendMessageA(wnd.m_hWnd, WM_TEST_DEFAULT, 0, 0));
    EXPECT_EQ((std::vector<std::string>{"default"}), wnd.log);
}

TEST_F(FrameworkWindow, DestroyRunsHandlersThenForgetsTheHandle) {
    EXPECT_TRUE(wnd.DestroyWindow());
    EXPECT_EQ(nullptr, wnd.m_hWnd);
    EXPECT_TRUE(wnd.destroyedAfterHandle);
    EXPECT_EQ((std::vector<std::string>{"destroy"}), wnd.log);
    EXPECT_FALSE(wnd.DestroyWindow());
}

namespace {

class CClosingDialog : public CDialog {
public:
    CClosingDialog() : CDialog(IDD_AGENT) {}
    int closes = 0;
    LRESULT customResult = 0;

    BEGIN_MSG_MAP(CClosingDialog, CDialog)
    MESSAGE_HANDLER(WM_TEST_ECHO, OnEcho)
    MSG_WM_CLOSE(OnClose)
    END_MSG_MAP()

protected:
    BOOL OnInitDialog() override {
        customResult = SendMessageA(m_hWnd, WM_TEST_ECHO, 4, 0);
        PostMessage(WM_CLOSE);
        return TRUE;
    }
    LRESULT OnEcho(WPARAM wParam, LPARAM) { return static_cast<LRESULT>(wParam) + 1; }
    void OnClose() {
        ++closes;
        Default();
    }
};

} // namespace

TEST(FrameworkDialog, CloseWithDefaultProcessingEndsLikeCancel) {
    CClosingDialog dialog;
    EXPECT_EQ(IDCANCEL, dialog.DoModal());
    EXPECT_EQ(1, dialog.closes);
    EXPECT_EQ(5, dialog.customResult);
    EXPECT_EQ(nullptr, dialog.m_hWnd);
}

TEST(FrameworkIcon, LoadedIconsAreCountedAndReleased) {
    const int before = LiveHandleCount(HandleKind::Icon);
    {
        CIcon idle = CIcon::Load(IDI_IDLE, 16);
        ASSERT_TRUE(idle);
        EXPECT_EQ(before + 1, LiveHandleCount(HandleKind::Icon));
        CIcon moved = std::move(idle);
        EXPECT_FALSE(idle);
        EXPECT_EQ(before + 1, LiveHandleCount(HandleKind::Icon));
    }
    EXPECT_EQ(before, LiveHandleCount(HandleKind::Icon));
    EXPECT_FALSE(CIcon::Load(9999, 16));
    EXPECT_EQ(before, LiveHandleCount(HandleKind::Icon));
}
