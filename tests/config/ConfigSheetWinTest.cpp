// The configuration sheet on real windows: a driver thread acts as the user (switches pages,
// types, clicks, presses OK or Cancel, answers message boxes) while the main thread runs the
// Configure flow; the results are read from the registry afterwards.
#include "ConfigDialogWin.h"
#include "ConfigureWin.h"
#include "WndWin.h"
#include "resource.h"
#include "AgentSettings.h"
#include "RegistryKey.h"
#include "contract.h"

#include <dlgs.h>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

const char kAgentKey[] = ZV_REG_AGENT_KEY;
const char kCaption[] = "Configure " ZV_PRODUCT_NAME;
const char kHelpUrl[] = "http://www.zavora.example/agenthelp.html";
const DWORD kWaitMs = 10000;

const char* const kAllSettings[] = {
    "soundPath",        "urlHost",        "urlPort",      "urlPath",
    "proxyHost",        "proxyPort",      "authUsername", "authPassword",
    "pollingDelay",     "useProxy",       "useProxyAuth", "alertBySystemSound",
    "alertByUserSound", "alertByMessage",
};

std::vector<std::string> g_helpRequests;
std::atomic<size_t> g_helpCount{0}; // read by the script's thread while the sheet runs

void RecordHelp(const CString& url) {
    g_helpRequests.push_back(url.str());
    ++g_helpCount;
}

CRegistryKey AgentRegistry() {
    CRegistryKey registry(ZV_COMPANY, ZV_REG_PRODUCT);
    registry.SetRootKey(RegistryRoot::CurrentUser);
    return registry;
}

void PutSetting(const char* name, const char* text) {
    AgentRegistry().SetString("Agent", "Settings", name, text);
}

void PutData(const char* name, const char* text) {
    AgentRegistry().SetString("Agent", "Data", name, text);
}

std::string Stored(const char* subKey, const char* name) {
    CString text;
    return AgentRegistry().GetText("Agent", subKey, name, text) ? text.str() : "<missing>";
}

std::string Setting(const char* name) {
    return Stored("Settings", name);
}

// ---- What the driver thread does, as a user would ----

bool WaitFor(const std::function<bool()>& condition) {
    for (DWORD waited = 0; waited < kWaitMs; waited += 10) {
        if (condition())
            return true;
        Sleep(10);
    }
    return false;
}

HWND FindSheet() {
    return FindWindowA("#32770", kCaption);
}

struct BoxSearch {
    HWND owner;
    const char* title;
    HWND found;
};

BOOL CALLBACK MatchBox(HWND window, LPARAM lParam) {
    auto* search = reinterpret_cast<BoxSearch*>(lParam);
    char title[256] = "";
    GetWindowTextA(window, title, sizeof title);
    if (GetWindow(window, GW_OWNER) == search->owner && IsWindowVisible(window) &&
        std::string(title) == search->title) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// A dialog box of this process owned by the sheet (message box, Open File dialog).
HWND FindBoxOwnedBy(HWND owner, const char* title) {
    BoxSearch search = {owner, title, nullptr};
    EnumThreadWindows(GetWindowThreadProcessId(owner, nullptr), MatchBox,
                      reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string WindowText(HWND window) {
    char text[1024] = "";
    SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

BOOL CALLBACK CollectStaticText(HWND child, LPARAM lParam) {
    char className[32] = "";
    GetClassNameA(child, className, sizeof className);
    const std::string text = WindowText(child);
    if (std::string(className) == "Static" && !text.empty())
        *reinterpret_cast<std::string*>(lParam) += text + "|";
    return TRUE;
}

// The texts of a box's static controls, each followed by '|'.
std::string StaticTexts(HWND box) {
    std::string texts;
    EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

// The sheet's own procedure, under the one that answers PSM_GETRESULT.
WNDPROC g_sheetProc = nullptr;
LRESULT g_forcedResult = 0;

LRESULT CALLBACK ForcedResultProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == PSM_GETRESULT)
        return g_forcedResult;
    return CallWindowProcA(g_sheetProc, window, message, wParam, lParam);
}

// Makes the sheet answer PSM_GETRESULT with result, as a sheet of another Windows may.
void ForceSheetResult(HWND sheet, LRESULT result) {
    g_forcedResult = result;
    g_sheetProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(sheet, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ForcedResultProc)));
}

class SheetUser {
public:
    HWND sheet = nullptr;
    bool lost = false; // something expected never appeared

    bool Arrive() {
        lost =
            !WaitFor([this] { return (sheet = FindSheet()) != nullptr && IsWindowVisible(sheet); });
        return !lost;
    }
    HWND Page() const {
        return reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    }
    HWND Control(int id) const { return GetDlgItem(Page(), id); }
    void ShowPage(int index) { PostMessageA(sheet, PSM_SETCURSEL, index, 0); }
    bool ShowPageNow(int index) {
        ShowPage(index);
        return WaitFor([&] { return CurrentIndex() == index && Page() != nullptr; });
    }
    int CurrentIndex() const {
        const HWND tab = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0));
        return static_cast<int>(SendMessageA(tab, TCM_GETCURSEL, 0, 0));
    }
    void Type(int id, const char* text) {
        SendMessageA(Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    }
    std::string Text(int id) const { return WindowText(Control(id)); }
    void Click(int id) { SendMessageA(Control(id), BM_CLICK, 0, 0); }
    bool Checked(int id) const {
        return SendMessageA(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    bool Enabled(int id) const { return IsWindowEnabled(Control(id)) != FALSE; }
    void Press(int button) { PostMessageA(sheet, PSM_PRESSBUTTON, button, 0); }

    // Waits for a box owned by the sheet, keeps its texts and presses one of its buttons.
    std::string Answer(const char* title, int button = IDOK) {
        HWND box = nullptr;
        if (!WaitFor([&] { return (box = FindBoxOwnedBy(sheet, title)) != nullptr; })) {
            lost = true;
            return "<no box>";
        }
        const std::string texts = StaticTexts(box);
        PostMessageA(box, WM_COMMAND, button, 0);
        WaitFor([&] { return !IsWindow(box); });
        return texts;
    }

    bool Gone() const {
        return WaitFor([] { return FindSheet() == nullptr; });
    }

    // Keystrokes go to the foreground window, so the sheet must be there before they are sent.
    bool Activate() {
        SetForegroundWindow(sheet);
        lost = !WaitFor([this] { return GetForegroundWindow() == sheet; });
        return !lost;
    }

    // Real keystrokes: they pass through the sheet's message loop like the user's.
    static void Keys(std::vector<WORD> downs) {
        std::vector<INPUT> inputs;
        for (const WORD key : downs) {
            INPUT input = {};
            input.type = INPUT_KEYBOARD;
            input.ki.wVk = key;
            inputs.push_back(input);
        }
        for (auto it = downs.rbegin(); it != downs.rend(); ++it) {
            INPUT input = {};
            input.type = INPUT_KEYBOARD;
            input.ki.wVk = *it;
            input.ki.dwFlags = KEYEVENTF_KEYUP;
            inputs.push_back(input);
        }
        SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    }

    HWND Focus() const {
        GUITHREADINFO info = {};
        info.cbSize = sizeof(info);
        GetGUIThreadInfo(GetWindowThreadProcessId(sheet, nullptr), &info);
        return info.hwndFocus;
    }
};

class ConfigSheet : public ::testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, kAgentKey);
        g_helpRequests.clear();
        g_helpCount = 0;
    }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, kAgentKey); }

    // Runs the Configure flow on this thread while script plays the user on another. When
    // the script loses its way, the sheet is cancelled so that the test ends.
    bool Configure(CAgentSettings& settings, const std::function<void(SheetUser&)>& script,
                   HWND owner = nullptr) {
        SheetUser user;
        std::thread driver([&] {
            if (user.Arrive())
                script(user);
            if (user.lost && user.sheet)
                PostMessageA(user.sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        });
        const bool confirmed = RunConfiguration(owner, settings, RecordHelp);
        driver.join();
        EXPECT_FALSE(user.lost) << "the script missed a window";
        return confirmed;
    }
};

} // namespace

// PSM_GETRESULT is documented only as what a modal sheet returns: 0 when no changes were
// saved, 1 or more when they were. Whatever a sheet answers there, OK without changes must
// write the settings and Cancel must not.
TEST_F(ConfigSheet, OkWithoutChangesWritesAllFourteenSettingsNormalisedAndCancelNothing) {
    const struct {
        const char* name;
        bool forceResult;
        LRESULT result; // what PSM_GETRESULT answers when forced
        int button;
    } rows[] = {
        {"OK, result as the sheet gives it", false, 0, PSBTN_OK},
        {"OK, result 0: no changes saved", true, 0, PSBTN_OK},
        {"Cancel, result 1: changes saved", true, 1, PSBTN_CANCEL},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        PutSetting("proxyHost", "  far.proxy  ");
        PutSetting("proxyPort", " 3128 tail");
        PutSetting("authUsername", " bob ");
        PutSetting("authPassword", "pw  ");
        PutSetting("useProxy", "2");
        CAgentSettings settings;
        RegDeleteTreeA(HKEY_CURRENT_USER, kAgentKey);

        const bool confirmed = Configure(settings, [&](SheetUser& user) {
            if (row.forceResult)
                ForceSheetResult(user.sheet, row.result);
            user.Press(row.button);
        });

        if (row.button == PSBTN_CANCEL) {
            EXPECT_FALSE(confirmed);
            for (const char* name : kAllSettings)
                EXPECT_EQ("<missing>", Setting(name)) << name;
            continue;
        }
        EXPECT_TRUE(confirmed);
        for (const char* name : kAllSettings)
            EXPECT_NE("<missing>", Setting(name)) << name;
        EXPECT_EQ("far.proxy", Setting("proxyHost"));
        EXPECT_EQ("3128", Setting("proxyPort"));
        EXPECT_EQ("bob", Setting("authUsername"));
        EXPECT_EQ("pw", Setting("authPassword"));
        EXPECT_EQ("1", Setting("useProxy"));
        EXPECT_EQ("5", Setting("pollingDelay"));
        EXPECT_EQ(" ", Setting("soundPath"));
    }
}

TEST_F(ConfigSheet, CtrlRResetsTheMarkersAtOnceEvenWhenCancelled) {
    PutSetting("proxyHost", " padded ");
    PutData("epoch", "E1");
    PutData("lastModified", "Tue, 01 Dec 2026 10:00:00 GMT");
    CAgentSettings settings;
    std::string box;

    EXPECT_FALSE(Configure(settings, [&](SheetUser& user) {
        if (!user.Activate())
            return;
        SheetUser::Keys({VK_CONTROL, 'R'});
        box = user.Answer("Easter Egg");
        user.Press(PSBTN_CANCEL);
    }));

    EXPECT_EQ("Timestamp and Epoch Reset|", box);
    EXPECT_EQ("~", Stored("Data", "epoch"));
    EXPECT_EQ("@", Stored("Data", "lastModified"));
    EXPECT_EQ(CString("~"), settings.epoch);
    EXPECT_EQ(CString("@"), settings.lastModified);
    EXPECT_EQ(" padded ", Setting("proxyHost")) << "Cancel must not save the settings";
}

TEST_F(ConfigSheet, AProxyPortWithoutANumberShowsZeroAndSavesZero) {
    PutSetting("proxyPort", "abc");
    CAgentSettings settings;
    std::string shown;

    EXPECT_TRUE(Configure(settings, [&](SheetUser& user) {
        shown = user.Text(IDC_PROXY_PORT);
        user.Press(PSBTN_OK);
    }));

    EXPECT_EQ("0", shown);
    EXPECT_EQ("0", Setting("proxyPort"));
}

// The port is checked even while the proxy is off: leaving the page or pressing OK with a
// non-number prompts, puts the focus into the port (enabled for that, since a disabled field
// cannot take it) and keeps the sheet open on that page.
TEST_F(ConfigSheet, ANonNumberPortKeepsTheSheetOpenOnItsPageWithNothingSaved) {
    CAgentSettings settings;
    RegDeleteTreeA(HKEY_CURRENT_USER, kAgentKey);
    struct Attempt {
        std::string prompt;
        bool open;
        int page;
        bool focusInPort;
    };
    std::vector<Attempt> attempts;

    EXPECT_FALSE(Configure(settings, [&](SheetUser& user) {
        user.Type(IDC_PROXY_PORT, "80a");
        const std::vector<std::function<void()>> leaves = {[&] { user.Press(PSBTN_OK); },
                                                           [&] { user.ShowPage(1); }};
        for (const auto& leave : leaves) {
            leave();
            Attempt attempt;
            attempt.prompt = user.Answer("Error");
            attempt.open = IsWindow(user.sheet) && user.Page() != nullptr;
            attempt.page = user.CurrentIndex();
            attempt.focusInPort =
                WaitFor([&] { return user.Focus() == user.Control(IDC_PROXY_PORT); });
            attempts.push_back(attempt);
        }
        user.Press(PSBTN_CANCEL);
    }));

    ASSERT_EQ(2u, attempts.size());
    for (const Attempt& attempt : attempts) {
        EXPECT_EQ("Please enter an integer.|", attempt.prompt);
        EXPECT_TRUE(attempt.open);
        EXPECT_EQ(0, attempt.page);
        EXPECT_TRUE(attempt.focusInPort);
    }
    EXPECT_EQ("<missing>", Setting("proxyPort"));
    EXPECT_EQ("<missing>", Setting("pollingDelay"));
}

TEST_F(ConfigSheet, ConnectionGroupsFollowTheirCheckBoxesAndKeepTheirContents) {
    CAgentSettings settings;
    const int proxyGroup[] = {IDC_PROXY_HOST, IDC_PROXY_PORT, IDC_PROXY_PORT_LABEL,
                              IDC_PROXY_HOST_LABEL, IDC_USE_PROXY_AUTH};
    const int authGroup[] = {IDC_USERNAME, IDC_PASSWORD, IDC_PASSWORD_LABEL, IDC_USERNAME_LABEL};
    // One row per state: which groups are enabled.
    std::vector<std::pair<int, int>> states;
    int listEntries = 0;
    std::string selected, hostAfterToggle;
    auto countEnabled = [](SheetUser& user, const int* ids, int n) {
        int count = 0;
        for (int i = 0; i < n; ++i)
            count += user.Enabled(ids[i]) ? 1 : 0;
        return count;
    };

    EXPECT_TRUE(Configure(settings, [&](SheetUser& user) {
        auto record = [&] {
            states.emplace_back(countEnabled(user, proxyGroup, 5),
                                countEnabled(user, authGroup, 4));
        };
        const HWND list = user.Control(IDC_POLL_INTERVAL);
        listEntries = static_cast<int>(SendMessageA(list, CB_GETCOUNT, 0, 0));
        selected = WindowText(list);
        record();                  // defaults: everything off
        user.Click(IDC_USE_PROXY); // proxy on, authentication still off
        record();
        user.Click(IDC_USE_PROXY_AUTH); // authentication on
        record();
        user.Type(IDC_PROXY_HOST, "cache.local");
        user.Type(IDC_USERNAME, "  alice  ");
        user.Click(IDC_USE_PROXY); // off: both groups go
        record();
        hostAfterToggle = user.Text(IDC_PROXY_HOST);
        user.Click(IDC_USE_PROXY); // on again: as before
        record();
        SendMessageA(list, CB_SETCURSEL, 3, 0); // "1 hour"
        user.Press(PSBTN_OK);
    }));

    EXPECT_EQ(6, listEntries);
    EXPECT_EQ("5 minutes", selected);
    const std::vector<std::pair<int, int>> expected = {{0, 0}, {5, 0}, {5, 4}, {0, 0}, {5, 4}};
    EXPECT_EQ(expected, states);
    EXPECT_EQ("cache.local", hostAfterToggle);
    EXPECT_EQ("cache.local", Setting("proxyHost"));
    EXPECT_EQ("alice", Setting("authUsername"));
    EXPECT_EQ("1", Setting("useProxy"));
    EXPECT_EQ("1", Setting("useProxyAuth"));
    EXPECT_EQ("60", Setting("pollingDelay"));
}

TEST_F(ConfigSheet, ADelayBeyondTheListShowsNoEntryAndIsKept) {
    PutSetting("pollingDelay", "480");
    CAgentSettings settings;
    LRESULT selection = 0;

    EXPECT_TRUE(Configure(settings, [&](SheetUser& user) {
        selection = SendMessageA(user.Control(IDC_POLL_INTERVAL), CB_GETCURSEL, 0, 0);
        user.Press(PSBTN_OK);
    }));

    EXPECT_EQ(CB_ERR, selection);
    EXPECT_EQ("480", Setting("pollingDelay"));
}

// Both sounds on in the registry: the page shows only the user's sound; what OK saves
// depends on whether the page was ever shown.
TEST_F(ConfigSheet, BothSoundsOnShowOnlyTheUserSound) {
    const struct {
        const char* name;
        bool showPage;
        int button;
        const char* systemAfter;
        const char* userAfter;
    } rows[] = {
        {"never shown, OK", false, PSBTN_OK, "1", "1"},
        {"shown, OK", true, PSBTN_OK, "0", "1"},
        {"shown, Cancel", true, PSBTN_CANCEL, "1", "1"},
    };
    for (const auto& row : rows) {
        RegDeleteTreeA(HKEY_CURRENT_USER, kAgentKey);
        PutSetting("alertBySystemSound", "1");
        PutSetting("alertByUserSound", "1");
        CAgentSettings settings;
        bool userChecked = false, systemChecked = true, pathEnabled = false;

        Configure(settings, [&](SheetUser& user) {
            if (row.showPage && user.ShowPageNow(1)) {
                userChecked = user.Checked(IDC_ALERT_USER_SOUND);
                systemChecked = user.Checked(IDC_ALERT_SYSTEM_SOUND);
                pathEnabled = user.Enabled(IDC_SOUND_PATH) && user.Enabled(IDC_SOUND_BROWSE);
            }
            user.Press(row.button);
        });

        if (row.showPage) {
            EXPECT_TRUE(userChecked) << row.name;
            EXPECT_FALSE(systemChecked) << row.name;
            EXPECT_TRUE(pathEnabled) << row.name;
        }
        EXPECT_EQ(row.systemAfter, Setting("alertBySystemSound")) << row.name;
        EXPECT_EQ(row.userAfter, Setting("alertByUserSound")) << row.name;
    }
}

TEST_F(ConfigSheet, TheSoundsExcludeEachOtherAndThePathIsSavedExactly) {
    CAgentSettings settings;
    struct State {
        bool system, user, pathEnabled;
        bool operator==(const State& o) const {
            return system == o.system && user == o.user && pathEnabled == o.pathEnabled;
        }
    };
    std::vector<State> states;
    std::string pathAfter;

    EXPECT_TRUE(Configure(settings, [&](SheetUser& user) {
        if (!user.ShowPageNow(1))
            return;
        auto record = [&] {
            states.push_back({user.Checked(IDC_ALERT_SYSTEM_SOUND),
                              user.Checked(IDC_ALERT_USER_SOUND), user.Enabled(IDC_SOUND_PATH)});
        };
        record();                         // defaults: system sound, path disabled
        user.Click(IDC_ALERT_USER_SOUND); // user sound takes over
        record();
        user.Type(IDC_SOUND_PATH, "C:\\chime.wav ");
        user.Click(IDC_ALERT_SYSTEM_SOUND); // system sound takes over, the path stays
        record();
        pathAfter = user.Text(IDC_SOUND_PATH);
        user.Click(IDC_ALERT_SYSTEM_SOUND); // off: no sound at all
        record();
        user.Click(IDC_ALERT_MESSAGE); // popup off
        user.Press(PSBTN_OK);
    }));

    const std::vector<State> expected = {
        {true, false, false}, {false, true, true}, {true, false, false}, {false, false, false}};
    EXPECT_TRUE(expected == states);
    EXPECT_EQ("C:\\chime.wav ", pathAfter);
    EXPECT_EQ("C:\\chime.wav ", Setting("soundPath"));
    EXPECT_EQ("0", Setting("alertBySystemSound"));
    EXPECT_EQ("0", Setting("alertByUserSound"));
    EXPECT_EQ("0", Setting("alertByMessage"));
}

// Settings set by the machine's policy: their controls stay disabled whatever the user
// clicks, each page shows its note, the user's other sound does not uncheck the policy's,
// and OK leaves the user's own values alone while the settings hold the policy's.
TEST_F(ConfigSheet, SettingsSetByPolicyStayLockedAndOkLeavesThemUnwritten) {
    CRegistryKey policy("Policies\\" ZV_COMPANY, ZV_REG_PRODUCT);
    policy.SetRootKey(RegistryRoot::LocalMachine);
    policy.SetString("Agent", nullptr, "proxyHost", "gate.corp");
    policy.SetString("Agent", nullptr, "pollingDelay", "7"); // the list shows "10 minutes"
    policy.SetString("Agent", nullptr, "alertBySystemSound", "1");
    PutSetting("proxyHost", "mine");
    CAgentSettings settings;
    std::vector<bool> shown; // note, host, host after proxy on, port, note, system sound

    EXPECT_TRUE(Configure(settings, [&](SheetUser& user) {
        shown.push_back(IsWindowVisible(user.Control(IDC_POLICY_NOTE)) != FALSE);
        shown.push_back(user.Enabled(IDC_PROXY_HOST));
        user.Click(IDC_USE_PROXY);
        shown.push_back(user.Enabled(IDC_PROXY_HOST));
        shown.push_back(user.Enabled(IDC_PROXY_PORT));
        if (!user.ShowPageNow(1))
            return;
        shown.push_back(IsWindowVisible(user.Control(IDC_POLICY_NOTE)) != FALSE);
        user.Click(IDC_ALERT_USER_SOUND);
        shown.push_back(user.Checked(IDC_ALERT_SYSTEM_SOUND));
        user.Press(PSBTN_OK);
    }));
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, ZV_REG_POLICY_COMPANY_KEY);

    EXPECT_EQ((std::vector<bool>{true, false, false, true, true, true}), shown);
    EXPECT_EQ("mine", Setting("proxyHost"));
    EXPECT_EQ("<missing>", Setting("pollingDelay"));
    EXPECT_EQ("<missing>", Setting("alertBySystemSound"));
    EXPECT_EQ("1", Setting("useProxy"));
    EXPECT_EQ("1", Setting("alertByUserSound"));
    EXPECT_EQ(7, settings.pollingDelay);
    EXPECT_STREQ("gate.corp", settings.proxyHost);
}

TEST_F(ConfigSheet, BrowseStartsAtThePathAndReplacesItOnlyOnConfirmation) {
    char directory[MAX_PATH];
    ASSERT_NE(0u, GetTempPathA(sizeof directory, directory));
    const std::string first = std::string(directory) + "zv-first.wav";
    const std::string second = std::string(directory) + "zv-second.wav";
    for (const std::string& path : {first, second}) {
        HANDLE file =
            CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        CloseHandle(file);
    }
    PutSetting("alertByUserSound", "1");
    PutSetting("soundPath", first.c_str());
    CAgentSettings settings;
    std::string startName, afterCancel, afterConfirm;

    auto openDialog = [](SheetUser& user, HWND& dialog) {
        PostMessageA(user.Control(IDC_SOUND_BROWSE), BM_CLICK, 0, 0);
        return WaitFor([&] { return (dialog = FindBoxOwnedBy(user.sheet, "Open")) != nullptr; });
    };
    // The file name field of the Open File dialog: a combo box (explorer style) or an edit.
    auto nameField = [](HWND dialog) {
        const HWND combo = GetDlgItem(dialog, cmb13);
        return combo ? combo : GetDlgItem(dialog, edt1);
    };

    EXPECT_TRUE(Configure(settings, [&](SheetUser& user) {
        HWND dialog = nullptr;
        if (!user.ShowPageNow(1) || !openDialog(user, dialog)) {
            user.lost = true;
            return;
        }
        startName = WindowText(nameField(dialog));
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        WaitFor([&] { return !IsWindow(dialog); });
        afterCancel = user.Text(IDC_SOUND_PATH);

        if (!openDialog(user, dialog)) {
            user.lost = true;
            return;
        }
        SendMessageA(nameField(dialog), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(second.c_str()));
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        WaitFor([&] { return !IsWindow(dialog); });
        afterConfirm = user.Text(IDC_SOUND_PATH);
        user.Press(PSBTN_OK);
    }));

    EXPECT_NE(std::string::npos, first.find(startName)) << startName;
    EXPECT_FALSE(startName.empty());
    EXPECT_EQ(first, afterCancel);
    EXPECT_EQ(second, afterConfirm);
    EXPECT_EQ(second, Setting("soundPath"));
    DeleteFileA(first.c_str());
    DeleteFileA(second.c_str());
}

TEST_F(ConfigSheet, F1AndTheHelpButtonOpenTheHelpPage) {
    CAgentSettings settings;

    EXPECT_FALSE(Configure(settings, [](SheetUser& user) {
        if (!user.Activate())
            return;
        SheetUser::Keys({VK_F1}); // focus on the Connection page's first control
        // The keystroke is queued input; let it arrive before the button, so the order is fixed.
        if (!WaitFor([] { return g_helpCount == 1; })) {
            user.lost = true;
            return;
        }
        SendMessageA(GetDlgItem(user.sheet, IDHELP), BM_CLICK, 0, 0);
        if (user.ShowPageNow(1))
            SendMessageA(user.Page(), WM_HELP, 0, 0); // as the page's controls pass F1 on
        user.Press(PSBTN_CANCEL);
    }));

    EXPECT_EQ(std::vector<std::string>(3, kHelpUrl), g_helpRequests);
}

TEST_F(ConfigSheet, TheSheetIsCentredAndItsOwnerDisabledWhileItRuns) {
    CAgentSettings settings;
    const HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 10, 10, nullptr,
                                       nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, owner);
    RECT sheet = {}, area = {};
    bool ownerEnabled = true;
    bool hasApply = true;

    EXPECT_FALSE(Configure(
        settings,
        [&](SheetUser& user) {
            GetWindowRect(user.sheet, &sheet);
            SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
            ownerEnabled = IsWindowEnabled(owner) != FALSE;
            const HWND apply = GetDlgItem(user.sheet, 0x3021);
            hasApply = apply && IsWindowVisible(apply);
            user.Press(PSBTN_CANCEL);
        },
        owner));

    EXPECT_FALSE(ownerEnabled);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_FALSE(hasApply);
    EXPECT_NEAR((area.left + area.right) / 2, (sheet.left + sheet.right) / 2, 1);
    EXPECT_NEAR((area.top + area.bottom) / 2, (sheet.top + sheet.bottom) / 2, 1);
    DestroyWindow(owner);
}

// The owner as the agent's hidden window is: it takes a second Configure command while the
// sheet is open (the tray still reaches it).
class CConfigureAgainWnd : public CWnd {
public:
    static const UINT kConfigure = WM_APP + 5;
    CAgentSettings* settings = nullptr;
    std::vector<bool> results;

    BEGIN_MSG_MAP(CConfigureAgainWnd, CWnd)
    MESSAGE_HANDLER(kConfigure, OnConfigure)
    END_MSG_MAP()

private:
    LRESULT OnConfigure(WPARAM, LPARAM) {
        results.push_back(RunConfiguration(m_hWnd, *settings, RecordHelp));
        return 0;
    }
};

BOOL CALLBACK CountSheet(HWND window, LPARAM lParam) {
    char title[64] = "";
    GetWindowTextA(window, title, sizeof title);
    if (std::string(title) == kCaption && IsWindowVisible(window))
        ++*reinterpret_cast<int*>(lParam);
    return TRUE;
}

TEST_F(ConfigSheet, ASecondConfigureWhileTheSheetIsOpenOpensNoSecondSheet) {
    CAgentSettings settings;
    CConfigureAgainWnd owner;
    owner.settings = &settings;
    ASSERT_TRUE(CWnd::RegisterWindowClass("ZvConfigureAgain", 0, nullptr, nullptr));
    const RECT rect = {0, 0, 10, 10};
    ASSERT_TRUE(owner.CreateEx(0, "ZvConfigureAgain", "owner", WS_POPUP, rect, nullptr, nullptr));
    int sheets = 0;

    EXPECT_FALSE(Configure(
        settings,
        [&](SheetUser& user) {
            SendMessageA(owner.m_hWnd, CConfigureAgainWnd::kConfigure, 0, 0);
            EnumWindows(CountSheet, reinterpret_cast<LPARAM>(&sheets));
            user.Press(PSBTN_CANCEL);
        },
        owner.m_hWnd));

    EXPECT_EQ(std::vector<bool>{false}, owner.results);
    EXPECT_EQ(1, sheets);
}

// A quit request while the sheet is open ends it as cancelled and stays for the
// program's own loop.
TEST_F(ConfigSheet, AQuitMessageEndsTheSheetAndIsLeftForTheOuterLoop) {
    CAgentSettings settings;
    const DWORD mainThread = GetCurrentThreadId();

    EXPECT_FALSE(
        Configure(settings, [&](SheetUser&) { PostThreadMessageA(mainThread, WM_QUIT, 7, 0); }));

    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(7u, message.wParam);
    EXPECT_EQ(nullptr, FindSheet());
}
