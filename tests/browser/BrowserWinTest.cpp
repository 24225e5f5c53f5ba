// Opening pages under Wine: the registered command line is started for real (the test
// browser zv-url-recorder.exe logs what it received), and automation runs against
// zv-fake-ie.dll registered as "InternetExplorer.Application".
#include "BrowserWin.h"

#include "BrowserCommand.h"
#include "contract.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char kFakeIEClsid[] = "{5A0C7E21-6B3D-4F1E-9C2A-7D8E4B1F0A36}";
const char kMissingClsid[] = "{5A0C7E21-6B3D-4F1E-9C2A-000000000000}";
const char kIETemplate[] = "\"C:\\Program Files\\Internet Explorer\\iexplore.exe\" %1";

struct Box {
    std::string text;
    std::string caption;
    UINT type;
};
std::vector<Box> g_boxes;

void RecordBox(const char* text, const char* caption, UINT type) {
    g_boxes.push_back({text, caption, type});
}

std::string ToolsDir() {
    char module[MAX_PATH];
    GetModuleFileNameA(nullptr, module, sizeof(module));
    std::string path = module;
    path = path.substr(0, path.rfind('\\') + 1) + ZV_TOOLS_RELATIVE;
    for (char& ch : path)
        ch = ch == '/' ? '\\' : ch;
    char full[MAX_PATH];
    GetFullPathNameA(path.c_str(), sizeof(full), full, nullptr);
    return full;
}

std::string TempFile(const char* name) {
    char dir[MAX_PATH];
    GetTempPathA(sizeof(dir), dir);
    return std::string(dir) + name;
}

// The default value of a key under HKEY_CLASSES_ROOT, and whether it exists.
struct ClassValue {
    bool present = false;
    std::string text;
};

ClassValue ReadClassValue(const char* subKey) {
    ClassValue value;
    char buffer[1024] = "";
    LONG size = sizeof(buffer);
    value.present = RegQueryValueA(HKEY_CLASSES_ROOT, subKey, buffer, &size) == ERROR_SUCCESS;
    value.text = buffer;
    return value;
}

void SetClassValue(const std::string& subKey, const std::string& text) {
    ASSERT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, subKey.c_str(), REG_SZ, text.c_str(),
                           static_cast<DWORD>(text.size())),
              ERROR_SUCCESS)
        << subKey;
}

void SetClassNamedValue(const std::string& subKey, const char* name, const char* text) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, subKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   static_cast<DWORD>(strlen(text) + 1));
    RegCloseKey(key);
}

void DeleteClassKey(const std::string& subKey) {
    RegDeleteTreeA(HKEY_CLASSES_ROOT, subKey.c_str());
    RegDeleteKeyA(HKEY_CLASSES_ROOT, subKey.c_str());
}

void RestoreClassValue(const char* subKey, const ClassValue& saved) {
    if (saved.present)
        SetClassValue(subKey, saved.text);
    else
        DeleteClassKey(subKey);
}

// Registers the program for ".html" files: a class of our own with this command line, or
// none at all when the template is null.
void RegisterHtmlCommand(const char* commandTemplate) {
    DeleteClassKey("ZvTestBrowser.html");
    if (!commandTemplate) {
        DeleteClassKey(".html");
        return;
    }
    SetClassValue(".html", "ZvTestBrowser.html");
    SetClassValue("ZvTestBrowser.html\\shell\\open\\command", commandTemplate);
}

// Makes "InternetExplorer.Application" name the fake browser server of the tools folder.
void RegisterFakeIE() {
    const std::string server = std::string("CLSID\\") + kFakeIEClsid + "\\InprocServer32";
    SetClassValue(server, ToolsDir() + "\\zv-fake-ie.dll");
    SetClassNamedValue(server, "ThreadingModel", "Apartment");
    SetClassValue("InternetExplorer.Application\\CLSID", kFakeIEClsid);
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return lines;
    std::string content;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0)
        content.append(buffer, read);
    CloseHandle(file);
    size_t start = 0;
    for (size_t end; (end = content.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(content.substr(start, end - start));
    return lines;
}

// The recorder runs as its own process, so its line appears a little later.
std::vector<std::string> WaitForLines(const std::string& path, size_t count) {
    std::vector<std::string> lines;
    for (int tries = 0; tries < 200; ++tries) {
        lines = ReadLines(path);
        if (lines.size() >= count)
            break;
        Sleep(50);
    }
    return lines;
}

BSTR Wide(const char* text) {
    std::wstring wide;
    for (const char* ch = text; *ch; ++ch)
        wide += static_cast<wchar_t>(static_cast<unsigned char>(*ch));
    return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

class BrowserWin : public testing::Test {
protected:
    void SetUp() override {
        m_savedHtml = ReadClassValue(".html");
        m_savedIE = ReadClassValue("InternetExplorer.Application\\CLSID");
        SetBrowserMessageBoxHook(RecordBox);
        g_boxes.clear();
        m_recorder = ToolsDir() + "\\zv-url-recorder.exe";
        m_recorderLog = TempFile("zv-browser-recorder.log");
        m_ieLog = TempFile("zv-browser-fake-ie.log");
        DeleteFileA(m_recorderLog.c_str());
        DeleteFileA(m_ieLog.c_str());
        SetEnvironmentVariableA("ZV_RECORDER_LOG", m_recorderLog.c_str());
        SetEnvironmentVariableA("ZV_FAKE_IE_LOG", m_ieLog.c_str());
        SetEnvironmentVariableA("ZV_FAKE_IE_BUSY", nullptr);
    }

    void TearDown() override {
        SetBrowserMessageBoxHook(nullptr);
        DeleteClassKey("ZvTestBrowser.html");
        RestoreClassValue(".html", m_savedHtml);
        RestoreClassValue("InternetExplorer.Application\\CLSID", m_savedIE);
        DeleteClassKey(std::string("CLSID\\") + kFakeIEClsid);
    }

    std::string Quoted(const std::string& text) const { return "\"" + text + "\""; }

    // Registers the recorder with this argument part and opens url through it.
    std::string LaunchThroughRecorder(const std::string& arguments, const char* url) {
        RegisterHtmlCommand((Quoted(m_recorder) + arguments).c_str());
        DeleteFileA(m_recorderLog.c_str());
        LaunchDefaultBrowser(url);
        const std::vector<std::string> lines = WaitForLines(m_recorderLog, 1);
        return lines.size() == 1 ? lines[0] : "(" + std::to_string(lines.size()) + " lines)";
    }

    void UseFakeIE() {
        RegisterFakeIE();
        RegisterHtmlCommand(kIETemplate);
    }

    std::vector<std::string> IELog() const { return ReadLines(m_ieLog); }

    ClassValue m_savedHtml;
    ClassValue m_savedIE;
    std::string m_recorder;
    std::string m_recorderLog;
    std::string m_ieLog;
};

TEST_F(BrowserWin, StartsTheRegisteredCommandLine) {
    SetEnvironmentVariableA("ZV_TEST_PROFILE", "work");
    SetEnvironmentVariableA("USERNAME", "alice");
    const char kArticle[] = "http://www.zavora.example/news/1.html?a=1&b=2";
    const struct {
        const char* arguments;
        const char* url;
        const char* expected;
    } rows[] = {
        {" \"%1\"", kArticle, " \"http://www.zavora.example/news/1.html?a=1&b=2\""},
        {" %L", kArticle, " http://www.zavora.example/news/1.html?a=1&b=2"},
        {" -nohome", kArticle, " -nohome http://www.zavora.example/news/1.html?a=1&b=2"},
        {" \"%1\" %L", "http://x/a", " \"http://x/a\" http://x/a"},
        {" -p %ZV_TEST_PROFILE% \"%1\"", "http://x/a", " -p work \"http://x/a\""},
        {" \"%1\"", "http://x/%USERNAME%/", " \"http://x/%25USERNAME%25/\""},
        {" \"%1\"", "HTTPS://X/a%20b", " \"HTTPS://X/a%20b\""},
        {" \"%1\"", "http://x/a\" --gpu-launcher=\"calc.exe",
         " \"http://x/a%22%20--gpu-launcher=%22calc.exe\""},
        {" %1", "http://x/a b\tc\x01|d\r\n", " http://x/a%20b%09c%01%7Cd"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(LaunchThroughRecorder(row.arguments, row.url), Quoted(m_recorder) + row.expected)
            << row.arguments << " | " << row.url;
    EXPECT_TRUE(g_boxes.empty());
}

TEST_F(BrowserWin, ExpandsVariablesInTheProgramPath) {
    SetEnvironmentVariableA("ZV_TEST_TOOLS", ToolsDir().c_str());
    RegisterHtmlCommand("\"%ZV_TEST_TOOLS%\\zv-url-recorder.exe\" \"%1\"");
    LaunchDefaultBrowser(L"http://x/wide");
    EXPECT_EQ(WaitForLines(m_recorderLog, 1),
              std::vector<std::string>{Quoted(m_recorder) + " \"http://x/wide\""});
}

TEST_F(BrowserWin, RefusesAddressesThatAreNotWebPages) {
    RegisterHtmlCommand((Quoted(m_recorder) + " \"%1\"").c_str());
    const char* const urls[] = {
        "file:///C:/windows/system32/calc.exe",
        "javascript:alert(1)",
        "C:\\windows\\system32\\calc.exe",
        "ftp://x/",
        "",
    };
    for (const char* url : urls) {
        g_boxes.clear();
        LaunchDefaultBrowser(url);
        ASSERT_EQ(g_boxes.size(), 1u) << url;
        EXPECT_EQ(g_boxes[0].caption, "System Error");
        EXPECT_EQ(g_boxes[0].type, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
        EXPECT_FALSE(g_boxes[0].text.empty()) << url;
    }
    g_boxes.clear();
    LaunchDefaultBrowser(std::string("http://x/") + std::string(kMaxBrowserCommandLine, 'a'));
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_FALSE(g_boxes[0].text.empty());

    // Only the address that is a web page was ever started.
    LaunchDefaultBrowser("http://x/ok");
    EXPECT_EQ(WaitForLines(m_recorderLog, 1),
              std::vector<std::string>{Quoted(m_recorder) + " \"http://x/ok\""});
}

TEST_F(BrowserWin, NoRegisteredBrowserShowsItsBox) {
    RegisterHtmlCommand(nullptr);
    LaunchDefaultBrowser("http://x/");
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].text, "No Default Browser is set");
    EXPECT_EQ(g_boxes[0].caption, ZV_PRODUCT_NAME);
    EXPECT_EQ(g_boxes[0].type, static_cast<UINT>(MB_OK));
}

TEST_F(BrowserWin, FailedStartShowsTheSystemError) {
    const char* const templates[] = {
        "\"C:\\no\\such\\browser.exe\" \"%1\"",
        nullptr, // a class without a command: the line is a blank and the address
    };
    for (const char* commandTemplate : templates) {
        g_boxes.clear();
        if (commandTemplate) {
            RegisterHtmlCommand(commandTemplate);
        } else {
            RegisterHtmlCommand("unused");
            DeleteClassKey("ZvTestBrowser.html");
        }
        LaunchDefaultBrowser("http://x/");
        ASSERT_EQ(g_boxes.size(), 1u);
        EXPECT_EQ(g_boxes[0].caption, "System Error");
        EXPECT_EQ(g_boxes[0].type, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
        EXPECT_FALSE(g_boxes[0].text.empty());
    }
}

TEST_F(BrowserWin, RecognisesInternetExplorer) {
    RegisterHtmlCommand(nullptr);
    EXPECT_TRUE(IsDefaultBrowserIE());
    RegisterHtmlCommand(kIETemplate);
    EXPECT_TRUE(IsDefaultBrowserIE());
    RegisterHtmlCommand("C:\\IE\\IEXPLORE.EXE %1");
    EXPECT_FALSE(IsDefaultBrowserIE());
    RegisterHtmlCommand((Quoted(m_recorder) + " \"%1\"").c_str());
    EXPECT_FALSE(IsDefaultBrowserIE());
}

TEST_F(BrowserWin, OpenUsesTheRegisteredBrowserWhenItIsNotIE) {
    RegisterFakeIE();
    RegisterHtmlCommand((Quoted(m_recorder) + " \"%1\"").c_str());
    CPageOpener opener;
    opener.Open(Wide("http://x/entry"));
    EXPECT_EQ(WaitForLines(m_recorderLog, 1),
              std::vector<std::string>{Quoted(m_recorder) + " \"http://x/entry\""});
    EXPECT_TRUE(IELog().empty());
}

TEST_F(BrowserWin, OpensANewWindowAndWaitsForThePage) {
    UseFakeIE();
    SetEnvironmentVariableA("ZV_FAKE_IE_BUSY", "2");
    CPageOpener opener;
    const DWORD start = GetTickCount();
    opener.Open(Wide("http://x/1"));
    EXPECT_GE(GetTickCount() - start, 1400u);
    const std::vector<std::string> expected = {
        "create",      "put_Visible -1", "Navigate http://x/1",
        "get_Busy -1", "get_Busy -1",    "get_Busy 0",
    };
    EXPECT_EQ(IELog(), expected);
}

TEST_F(BrowserWin, ReusesTheLiveWindowAndReplacesAClosedOne) {
    UseFakeIE();
    SetEnvironmentVariableA("ZV_FAKE_IE_BUSY", "0");
    CPageOpener opener;
    opener.Open(Wide("http://x/1"));
    opener.Open(Wide("http://x/2"));
    HWND window = FindWindowA("ZvFakeIEFrame", nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(IsWindowVisible(window));
    DestroyWindow(window);
    opener.Open(Wide("http://x/3"));
    const std::vector<std::string> expected = {
        "create",     "put_Visible -1",  "Navigate http://x/1",
        "get_Busy 0", "get_HWND ok",     "Navigate http://x/2",
        "get_Busy 0", "get_HWND closed", "release",
        "create",     "put_Visible -1",  "Navigate http://x/3",
        "get_Busy 0",
    };
    EXPECT_EQ(IELog(), expected);
}

TEST_F(BrowserWin, PageWaitEndsOnAFailedBusyCall) {
    UseFakeIE();
    SetEnvironmentVariableA("ZV_FAKE_IE_BUSY", "fail");
    CPageOpener opener;
    const DWORD start = GetTickCount();
    opener.Open(Wide("http://x/1"));
    EXPECT_LT(GetTickCount() - start, 1500u);
    EXPECT_EQ(IELog(), (std::vector<std::string>{"create", "put_Visible -1", "Navigate http://x/1",
                                                 "get_Busy fail"}));
}

TEST_F(BrowserWin, PageWaitEndsAtTheLimit) {
    UseFakeIE();
    SetEnvironmentVariableA("ZV_FAKE_IE_BUSY", "stay");
    CPageOpener opener(2000);
    const DWORD start = GetTickCount();
    opener.Open(Wide("http://x/1"));
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 2000u);
    EXPECT_LT(elapsed, 3500u);
    size_t readings = 0;
    for (const std::string& line : IELog())
        readings += line == "get_Busy -1";
    EXPECT_GE(readings, 3u);
    EXPECT_LE(readings, 5u);
}

TEST_F(BrowserWin, AutomationOpensOnlyEncodedWebAddresses) {
    UseFakeIE();
    SetEnvironmentVariableA("ZV_FAKE_IE_BUSY", "0");
    CPageOpener opener;
    opener.Open(Wide("javascript:alert(1)"));
    opener.OpenInNewBrowser(Wide("file:///C:/windows/system32/calc.exe"));
    EXPECT_EQ(g_boxes.size(), 2u);
    EXPECT_TRUE(IELog().empty());
    opener.Open(Wide("http://x/a\" b"));
    EXPECT_EQ(IELog(), (std::vector<std::string>{"create", "put_Visible -1",
                                                 "Navigate http://x/a%22%20b", "get_Busy 0"}));
}

TEST_F(BrowserWin, NullAddressDoesNothing) {
    UseFakeIE();
    CPageOpener opener;
    opener.OpenInNewBrowser(nullptr);
    opener.Open(nullptr);
    EXPECT_TRUE(IELog().empty());
    EXPECT_TRUE(g_boxes.empty());
}

TEST_F(BrowserWin, BrowserThatCannotBeCreatedIsReported) {
    RegisterHtmlCommand(kIETemplate);
    SetClassValue("InternetExplorer.Application\\CLSID", kMissingClsid);
    CPageOpener opener;
    opener.Open(Wide("http://x/1"));
    opener.Open(Wide("http://x/2"));
    ASSERT_EQ(g_boxes.size(), 2u);
    EXPECT_EQ(g_boxes[1].caption, "System Error");
    EXPECT_FALSE(g_boxes[1].text.empty());
    EXPECT_TRUE(IELog().empty());
}

} // namespace
