// The poll worker's hand-off: one WM_POLL_DONE with an owned PollResult for each poll,
// received by a message-only window on this (the main) thread.
#include "ServerEnv.h"
#include "ClientSocket.h"
#include "UpdateThreadWin.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

std::vector<std::unique_ptr<PollResult>> g_received;
DWORD g_receivingThread = 0;

LRESULT CALLBACK ReceiverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_POLL_DONE) {
        g_receivingThread = GetCurrentThreadId();
        g_received.emplace_back(reinterpret_cast<PollResult*>(lParam));
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// The ids of this process's threads.
std::vector<DWORD> OwnThreads() {
    std::vector<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return ids;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId())
            ids.push_back(entry.th32ThreadID);
    }
    CloseHandle(snapshot);
    return ids;
}

// Joins the threads started since `before` was taken (the poll workers, which the agent
// never joins itself); false when one is still running after the time allowed.
bool JoinThreadsStartedSince(const std::vector<DWORD>& before, DWORD milliseconds) {
    bool joined = true;
    for (DWORD id : OwnThreads()) {
        if (std::find(before.begin(), before.end(), id) != before.end())
            continue;
        HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, id);
        if (thread) {
            joined = WaitForSingleObject(thread, milliseconds) == WAIT_OBJECT_0 && joined;
            CloseHandle(thread);
        }
    }
    return joined;
}

class UpdateThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (EnvPort("ZV_FAULT_PORT") == 0) {
            GTEST_SKIP() << "run through tests/servers/with_servers.py --fault";
        }
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = ReceiverProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "ZvPollReceiver";
        RegisterClassA(&windowClass);
        m_window = CreateWindowA("ZvPollReceiver", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 windowClass.hInstance, nullptr);
        ASSERT_NE(nullptr, m_window);
        g_received.clear();
        ASSERT_EQ(1, StartWinsock()); // for ClosedPort's probes
    }

    void TearDown() override {
        StopWinsock();
        if (m_window) {
            DestroyWindow(m_window);
        }
        g_received.clear();
    }

    // Pumps messages until count results arrived or the time is up.
    static void PumpUntil(size_t count, DWORD milliseconds) {
        DWORD start = GetTickCount();
        while (g_received.size() < count && GetTickCount() - start < milliseconds) {
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                DispatchMessageA(&message);
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        }
    }

    static PollSettings Fault(const char* path, int port) {
        PollSettings settings;
        settings.urlHost = " 127.0.0.1 ";
        settings.urlPort = std::to_string(port).c_str();
        settings.urlPath = path;
        return settings;
    }

    HWND m_window = nullptr;
};

TEST_F(UpdateThreadTest, EachPollPostsExactlyOneResult) {
    ASSERT_TRUE(StartPollThread(m_window, Fault("/.newsupdate", EnvPort("ZV_FAULT_PORT"))));
    PumpUntil(1, 10000);
    PumpUntil(2, 300); // nothing more may come
    ASSERT_EQ(1u, g_received.size());
    EXPECT_EQ(GetCurrentThreadId(), g_receivingThread);
    const PollResult& result = *g_received[0];
    EXPECT_EQ(PollOutcome::NewPostings, result.outcome);
    EXPECT_EQ(CString("edition-7"), result.epoch);
    ASSERT_EQ(2u, result.entries.size());
    EXPECT_EQ(CString("Second title with words"), result.entries[1].title);
}

TEST_F(UpdateThreadTest, FailuresArriveAsErrorResults) {
    int closed = ClosedPort();
    const int polls = 20;
    for (int i = 0; i < polls; ++i) {
        ASSERT_TRUE(StartPollThread(m_window, Fault("/", closed)));
    }
    PumpUntil(polls, 20000);
    PumpUntil(polls + 1, 300);
    ASSERT_EQ(static_cast<size_t>(polls), g_received.size());
    for (const auto& result : g_received) {
        EXPECT_EQ(PollOutcome::Error, result->outcome);
        EXPECT_EQ(CString("Could not connect to 127.0.0.1:") + std::to_string(closed).c_str(),
                  result->message);
    }
}

TEST_F(UpdateThreadTest, ResultForAWindowThatIsGoneIsDropped) {
    DestroyWindow(m_window);
    HWND gone = m_window;
    m_window = nullptr;
    const int closed = ClosedPort();
    const std::vector<DWORD> before = OwnThreads();
    ASSERT_TRUE(StartPollThread(gone, Fault("/", closed)));
    // The worker fails to connect, fails to post and frees its result.
    ASSERT_TRUE(JoinThreadsStartedSince(before, 10000));
    PumpUntil(1, 200);
    EXPECT_TRUE(g_received.empty());
}

} // namespace
