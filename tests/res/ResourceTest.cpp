// Checks every resource the agent uses, in this test program (which links the resources)
// and, when it is built, in the agent's executable loaded as a data file.
#include "DialogTemplate.h"

#include "ResString.h"
#include "contract.h"
#include "resource.h"
#include "site.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

namespace {

enum class Source { Self, Agent };

std::string SelfPath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

#ifdef ZV_AGENT_EXE
// CMake hands over the build machine's path; under Wine the host's root is drive Z:.
std::string WindowsPath(std::string path) {
    if (!path.empty() && path[0] == '/')
        path = "Z:" + path;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

class AgentModule {
public:
    AgentModule()
        : m_path(WindowsPath(ZV_AGENT_EXE)),
          m_handle(LoadLibraryExA(m_path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
    ~AgentModule() {
        if (m_handle)
            FreeLibrary(m_handle);
    }
    AgentModule(const AgentModule&) = delete;
    AgentModule& operator=(const AgentModule&) = delete;

    HMODULE handle() const { return m_handle; }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
    HMODULE m_handle;
};

const AgentModule& Agent() {
    static AgentModule agent;
    return agent;
}
#endif

HMODULE ModuleHandle(Source source) {
#ifdef ZV_AGENT_EXE
    if (source == Source::Agent)
        return Agent().handle();
#endif
    (void)source;
    return GetModuleHandleA(nullptr);
}

std::string ModulePath(Source source) {
#ifdef ZV_AGENT_EXE
    if (source == Source::Agent)
        return Agent().path();
#endif
    (void)source;
    return SelfPath();
}

// The bytes of one resource, or an empty string when it is missing.
std::string ResourceBytes(HMODULE module, LPCSTR name, LPCSTR type) {
    HRSRC info = FindResourceA(module, name, type);
    HGLOBAL loaded = info ? LoadResource(module, info) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data)
        return std::string();
    return std::string(static_cast<const char*>(data), SizeofResource(module, info));
}

class ResourceTest : public ::testing::TestWithParam<Source> {
protected:
    void SetUp() override {
        m_module = ModuleHandle(GetParam());
        ASSERT_NE(m_module, nullptr) << "cannot load " << ModulePath(GetParam());
    }

    std::string Bytes(int id, LPCSTR type) const {
        return ResourceBytes(m_module, MAKEINTRESOURCEA(id), type);
    }

    HMODULE m_module = nullptr;
};

// ---- String table -------------------------------------------------------------------------

TEST_P(ResourceTest, StringTableHoldsEveryText) {
    const struct {
        UINT id;
        const char* text;
    } rows[] = {
        {IDS_ABOUTBOX, "&About Zavora Agent"},
        {IDS_TRAY_TIP, "Zavora news agent"},
        {IDS_CONFIG_CAPTION, "Configure " ZV_PRODUCT_NAME},
        {IDS_TIMER_ANIMATE, "Timer for animating icons"},
        {IDS_TIMER_POLL, "Timer for polling the server"},
        {IDS_RESERVED_EVENT, "Entry to reserve a constant for theis event"},
        {IDS_HOME_URL, ZV_SITE_HOME},
        {IDS_APP_CAPTION, ZV_PRODUCT_NAME},
        {IDS_POPUP_LINE1, "There are new"},
        {IDS_DEFAULT_SOUND_PATH, " "},
        {IDS_DEFAULT_URL_HOST, ZV_SITE_HOST},
        {IDS_DEFAULT_URL_PORT, "80"},
        {IDS_DEFAULT_URL_PATH, "/.newsupdate"},
        {IDS_DEFAULT_PROXY_HOST, "proxy"},
        {IDS_DEFAULT_PROXY_PORT, "8001"},
        {IDS_MENU_TITLE_MAX, "35"},
        {IDS_MENU_ENTRIES_MAX, "10"},
        {IDS_HIDDEN_TITLE, ZV_HIDDEN_TITLE},
        {IDS_HELP_URL, ZV_SITE_HELP},
        {IDS_VERSION, ZV_VERSION},
        {IDS_PRODUCT_NAME, ZV_PRODUCT_NAME},
        {IDS_TIMER_POPUP, "Message WindowTimer ID"},
        {IDS_POPUP_LINE3, "Click here to view"},
        {IDS_POPUP_LINE2, "articles on Zavora"},
    };
    for (const auto& row : rows) {
        char text[512] = {};
        const int length = LoadStringA(m_module, row.id, text, sizeof text);
        EXPECT_EQ(length, static_cast<int>(std::strlen(row.text))) << "string " << row.id;
        EXPECT_STREQ(text, row.text) << "string " << row.id;
    }
    char text[16] = {};
    EXPECT_EQ(LoadStringA(m_module, 100, text, sizeof text), 0) << "no string below 101";
    EXPECT_EQ(LoadStringA(m_module, 125, text, sizeof text), 0) << "no string above 124";
}

// ---- Menus --------------------------------------------------------------------------------

struct MenuRow {
    UINT id; // 0 for a separator
    const char* text;
};

std::string MenuText(HMENU menu, UINT position) {
    char text[256] = {};
    GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
    return text;
}

void ExpectMenu(HMODULE module, int menuId, const char* popupName,
                const std::vector<MenuRow>& rows) {
    HMENU menu = LoadMenuA(module, MAKEINTRESOURCEA(menuId));
    ASSERT_NE(menu, nullptr) << "menu " << menuId;
    EXPECT_EQ(GetMenuItemCount(menu), 1) << "one popup in menu " << menuId;
    EXPECT_EQ(MenuText(menu, 0), popupName);
    HMENU popup = GetSubMenu(menu, 0);
    ASSERT_NE(popup, nullptr);
    ASSERT_EQ(GetMenuItemCount(popup), static_cast<int>(rows.size()));
    for (UINT i = 0; i < rows.size(); ++i) {
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_SUBMENU | MIIM_STATE;
        ASSERT_TRUE(GetMenuItemInfoA(popup, i, TRUE, &info));
        EXPECT_EQ(info.hSubMenu, nullptr) << "item " << i;
        if (rows[i].id == 0) {
            EXPECT_TRUE(info.fType & MFT_SEPARATOR) << "item " << i << " is a separator";
            continue;
        }
        EXPECT_FALSE(info.fType & MFT_SEPARATOR) << "item " << i;
        EXPECT_EQ(info.fState & (MFS_DISABLED | MFS_CHECKED | MFS_DEFAULT), 0u) << "item " << i;
        EXPECT_EQ(info.wID, rows[i].id) << "item " << i;
        EXPECT_EQ(MenuText(popup, i), rows[i].text) << "item " << i;
    }
    DestroyMenu(menu);
}

TEST_P(ResourceTest, TrayMenuListsTheCommandsInOrder) {
    ExpectMenu(m_module, IDR_TRAY_MENU, "&taskbar",
               {{ID_TASKBAR_DISABLE, "&Disable"},
                {ID_TASKBAR_REFRESH, "&Refresh"},
                {0, nullptr},
                {ID_TASKBAR_CONFIGURE, "&Configure"},
                {ID_TASKBAR_ABOUT, "&About"},
                {0, nullptr},
                {ID_TASKBAR_EXIT, "E&xit"}});
}

TEST_P(ResourceTest, EntriesMenuHoldsOnlyTheHomePageItem) {
    ExpectMenu(m_module, IDR_ENTRIES_MENU, "&0", {{ID_SITE_HOME, ZV_SITE_NAME}});
}

// ---- Accelerators -------------------------------------------------------------------------

TEST_P(ResourceTest, ConfigAcceleratorMapsCtrlRToTheReset) {
    HACCEL table = LoadAcceleratorsA(m_module, MAKEINTRESOURCEA(IDR_CONFIG_ACCEL));
    ASSERT_NE(table, nullptr);
    ACCEL entries[4] = {};
    ASSERT_EQ(CopyAcceleratorTableA(table, entries, 4), 1);
    EXPECT_EQ(entries[0].fVirt, FVIRTKEY | FCONTROL | FNOINVERT);
    EXPECT_EQ(entries[0].key, 'R');
    EXPECT_EQ(entries[0].cmd, ID_RESET_MARKERS);
    DestroyAcceleratorTable(table);
}

// ---- Dialog templates ---------------------------------------------------------------------

struct ItemRow {
    int id;
    const char* className;
    const char* text;
    int x, y, cx, cy;
    DWORD style;
};

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kLabel = kChild | WS_GROUP | SS_LEFT;
constexpr DWORD kRightLabel = kChild | WS_GROUP | SS_RIGHT | WS_DISABLED;
// Shown only when a setting of the page is set by policy.
constexpr DWORD kHiddenLabel = kLabel & ~WS_VISIBLE;
constexpr DWORD kCheckBox = kChild | WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr DWORD kEdit = kChild | WS_BORDER | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
constexpr DWORD kPage = DS_SETFONT | WS_CHILD | WS_DISABLED | WS_CAPTION;

DialogTemplate LoadTemplate(HMODULE module, int id) {
    const std::string bytes = ResourceBytes(module, MAKEINTRESOURCEA(id), RT_DIALOG);
    DialogTemplate dialog;
    EXPECT_FALSE(bytes.empty()) << "dialog " << id;
    EXPECT_TRUE(ParseDialogTemplate(bytes.data(), bytes.size(), dialog)) << "dialog " << id;
    return dialog;
}

void ExpectFrame(const DialogTemplate& dialog, DWORD style, DWORD exStyle, int cx, int cy,
                 const char* title) {
    EXPECT_EQ(dialog.style, style);
    EXPECT_EQ(dialog.exStyle, exStyle);
    EXPECT_EQ(dialog.x, 0);
    EXPECT_EQ(dialog.y, 0);
    EXPECT_EQ(dialog.cx, cx);
    EXPECT_EQ(dialog.cy, cy);
    EXPECT_EQ(dialog.menu, "");
    EXPECT_EQ(dialog.className, "");
    EXPECT_EQ(dialog.title, title);
    EXPECT_EQ(dialog.pointSize, 8);
    EXPECT_EQ(dialog.faceName, "MS Sans Serif");
}

void ExpectItems(const DialogTemplate& dialog, const std::vector<ItemRow>& rows) {
    ASSERT_EQ(dialog.items.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const DialogItem& item = dialog.items[i];
        const ItemRow& row = rows[i];
        SCOPED_TRACE("control " + std::to_string(i) + " (id " + std::to_string(row.id) + ")");
        EXPECT_EQ(item.id, row.id);
        EXPECT_EQ(item.className, row.className);
        EXPECT_EQ(item.text, row.text);
        EXPECT_EQ(item.x, row.x);
        EXPECT_EQ(item.y, row.y);
        EXPECT_EQ(item.cx, row.cx);
        EXPECT_EQ(item.cy, row.cy);
        EXPECT_EQ(item.style, row.style) << std::hex << item.style << " vs " << row.style;
        EXPECT_EQ(item.exStyle, 0u);
        EXPECT_EQ(item.extraBytes, 0u);
    }
}

const std::vector<ItemRow>& AboutItems() {
    static const std::vector<ItemRow> rows = {
        {IDC_STATIC, "Static", "#128", 15, 7, 21, 20, kChild | SS_ICON},
        {IDC_ABOUT_PRODUCT, "Static", ZV_PRODUCT_NAME " v" ZV_VERSION, 46, 7, 126, 8,
         kLabel | SS_NOPREFIX},
        {IDC_STATIC, "Static", ZV_SITE_HOME, 46, 18, 119, 8, kLabel},
        {IDC_STATIC, "Static", "Copyright (C) 2026 " ZV_COMPANY, 46, 28, 119, 8, kLabel},
        {IDOK, "Button", "OK", 180, 13, 32, 14, kChild | WS_GROUP | WS_TABSTOP | BS_DEFPUSHBUTTON},
        {IDC_ABOUT_LAST_POLL, "Edit", "", 15, 44, 203, 80, kChild | ES_MULTILINE | ES_READONLY},
    };
    return rows;
}

const std::vector<ItemRow>& ConnectionItems() {
    static const std::vector<ItemRow> rows = {
        {IDC_STATIC, "Static", "Poll for updates to Zavora every", 13, 15, 106, 8, kLabel},
        {IDC_POLL_INTERVAL, "ComboBox", "", 123, 13, 51, 73,
         kChild | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP},
        {IDC_USE_PROXY, "Button", "Use the following HTTP proxy server:", 13, 35, 133, 10,
         kCheckBox},
        {IDC_PROXY_HOST_LABEL, "Static", "proxy host name:", 17, 53, 54, 8, kRightLabel},
        {IDC_PROXY_HOST, "Edit", "", 76, 52, 69, 14, kEdit | WS_DISABLED},
        {IDC_PROXY_PORT_LABEL, "Static", "on port:", 151, 53, 25, 8, kRightLabel},
        {IDC_PROXY_PORT, "Edit", "", 181, 51, 42, 14, kEdit | WS_DISABLED},
        {IDC_USE_PROXY_AUTH, "Button", "proxy requires authentication:", 13, 77, 108, 10,
         kCheckBox | WS_DISABLED},
        {IDC_USERNAME_LABEL, "Static", "username:", 21, 93, 34, 8, kRightLabel},
        {IDC_USERNAME, "Edit", "", 61, 92, 59, 14, kEdit | WS_DISABLED},
        {IDC_PASSWORD_LABEL, "Static", "password:", 130, 93, 33, 8, kRightLabel},
        {IDC_PASSWORD, "Edit", "", 168, 92, 54, 14, kEdit | ES_PASSWORD | WS_DISABLED},
        {IDC_STATIC, "Static", "Without the proxy above, the agent uses Windows' proxy settings.",
         13, 110, 217, 8, kLabel},
        {IDC_POLICY_NOTE, "Static", "Set by your administrator", 13, 121, 209, 8, kHiddenLabel},
    };
    return rows;
}

const std::vector<ItemRow>& NotificationItems() {
    static const std::vector<ItemRow> rows = {
        {IDC_ALERT_MESSAGE, "Button", "Indicate update with Message Dialog", 16, 22, 133, 10,
         kCheckBox},
        {IDC_ALERT_USER_SOUND, "Button", "Indicate update with User-defined sound:", 15, 55, 145,
         10, kCheckBox},
        {IDC_SOUND_PATH, "Edit", "", 27, 74, 170, 14, kEdit},
        {IDC_SOUND_BROWSE, "Button", "...", 203, 74, 19, 12,
         kChild | WS_TABSTOP | BS_PUSHBUTTON | WS_DISABLED},
        {IDC_ALERT_SYSTEM_SOUND, "Button", "Indicate update with standard Windows Alert sound", 16,
         38, 178, 10, kCheckBox},
        {IDC_POLICY_NOTE, "Static", "Set by your administrator", 13, 110, 209, 8, kHiddenLabel},
    };
    return rows;
}

TEST_P(ResourceTest, HiddenWindowTemplateIsAnEmptyBorderedPopup) {
    const DialogTemplate dialog = LoadTemplate(m_module, IDD_AGENT);
    ExpectFrame(dialog, WS_POPUP | WS_BORDER | DS_SETFONT, WS_EX_APPWINDOW, 102, 42, "");
    EXPECT_TRUE(dialog.items.empty());
}

TEST_P(ResourceTest, AboutBoxTemplate) {
    const DialogTemplate dialog = LoadTemplate(m_module, IDD_ABOUTBOX);
    ExpectFrame(dialog, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, 0, 225,
                131, "About " ZV_PRODUCT_NAME);
    ExpectItems(dialog, AboutItems());
}

TEST_P(ResourceTest, ConnectionPageTemplate) {
    const DialogTemplate dialog = LoadTemplate(m_module, IDD_CONNECTION);
    ExpectFrame(dialog, kPage, 0, 243, 132, "Connection");
    ExpectItems(dialog, ConnectionItems());
}

TEST_P(ResourceTest, NotificationPageTemplate) {
    const DialogTemplate dialog = LoadTemplate(m_module, IDD_NOTIFICATION);
    ExpectFrame(dialog, kPage, 0, 243, 122, "Notification");
    ExpectItems(dialog, NotificationItems());
}

TEST_P(ResourceTest, ConnectionPageInitDataFillsTheIntervalList) {
    const std::string bytes = Bytes(IDD_CONNECTION, MAKEINTRESOURCEA(240)); // RT_DLGINIT
    std::vector<DialogInitRecord> records;
    ASSERT_TRUE(ParseDialogInit(bytes.data(), bytes.size(), records));
    const char* const intervals[] = {"5 minutes", "10 minutes", "30 minutes",
                                     "1 hour",    "2 hours",    "4 hours"};
    ASSERT_EQ(records.size(), 6u);
    for (size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(records[i].controlId, IDC_POLL_INTERVAL);
        EXPECT_EQ(records[i].message, 0x403u) << "the add-string message of list init data";
        EXPECT_EQ(records[i].text, intervals[i]);
    }
}

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

INT_PTR CALLBACK QuietDialogProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

// A hidden top-level window for the templates to be created in.
class ParentWindow {
public:
    ParentWindow() {
        WNDCLASSA parentClass = {};
        parentClass.lpfnWndProc = ParentProc;
        parentClass.hInstance = GetModuleHandleA(nullptr);
        parentClass.lpszClassName = "ZvResTestParent";
        RegisterClassA(&parentClass);
        m_window = CreateWindowExA(0, "ZvResTestParent", "", WS_POPUP, 0, 0, 400, 300, nullptr,
                                   nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    ~ParentWindow() {
        DestroyWindow(m_window);
        UnregisterClassA("ZvResTestParent", GetModuleHandleA(nullptr));
    }
    ParentWindow(const ParentWindow&) = delete;
    ParentWindow& operator=(const ParentWindow&) = delete;
    HWND get() const { return m_window; }

private:
    HWND m_window;
};

// Creates each template for real: every control must come up with its class and its
// enabled state, and the About box's icon control must find icon 128.
TEST_P(ResourceTest, TemplatesCreateTheirControls) {
    const ParentWindow parentWindow;
    const HWND parent = parentWindow.get();
    ASSERT_NE(parent, nullptr);

    const struct {
        int id;
        const std::vector<ItemRow>* rows;
    } templates[] = {{IDD_ABOUTBOX, &AboutItems()},
                     {IDD_CONNECTION, &ConnectionItems()},
                     {IDD_NOTIFICATION, &NotificationItems()}};
    for (const auto& t : templates) {
        SCOPED_TRACE("dialog " + std::to_string(t.id));
        HWND dialog =
            CreateDialogParamA(m_module, MAKEINTRESOURCEA(t.id), parent, QuietDialogProc, 0);
        ASSERT_NE(dialog, nullptr);
        HWND child = GetWindow(dialog, GW_CHILD);
        for (const ItemRow& row : *t.rows) {
            ASSERT_NE(child, nullptr) << "control " << row.id;
            char className[64] = {};
            GetClassNameA(child, className, sizeof className);
            EXPECT_STRCASEEQ(className, row.className) << "control " << row.id;
            EXPECT_EQ(GetDlgCtrlID(child), row.id == IDC_STATIC ? 0xFFFF : row.id);
            EXPECT_EQ(IsWindowEnabled(child) != FALSE, !(row.style & WS_DISABLED))
                << "control " << row.id;
            const bool isIcon =
                std::strcmp(row.className, "Static") == 0 && (row.style & SS_TYPEMASK) == SS_ICON;
            if (isIcon) {
                EXPECT_NE(SendMessageA(child, STM_GETICON, 0, 0), 0) << "icon 128 shows";
            }
            child = GetWindow(child, GW_HWNDNEXT);
        }
        EXPECT_EQ(child, nullptr) << "no further controls";
        DestroyWindow(dialog);
    }
}

// ---- Icons --------------------------------------------------------------------------------

const int kIconIds[] = {IDI_APP,    IDI_IDLE,  IDI_POLL_1, IDI_POLL_2,   IDI_POLL_3,
                        IDI_FAILED, IDI_NEW_1, IDI_NEW_2,  IDI_DISABLED, IDI_SHUTTING_DOWN};

struct IconImage {
    int width = 0, height = 0, colours = 0, bitCount = 0;
    int resourceId = 0;
};

// The entries of an icon group as the group directory lists them.
std::vector<IconImage> GroupEntries(const std::string& group) {
    std::vector<IconImage> entries;
    const auto byte = [&](size_t at) { return static_cast<unsigned char>(group[at]); };
    const auto word = [&](size_t at) { return byte(at) | byte(at + 1) << 8; };
    if (group.size() < 6 || word(2) != 1)
        return entries;
    const int count = word(4);
    if (group.size() < 6 + 14u * count)
        return entries;
    for (int i = 0; i < count; ++i) {
        const size_t at = 6 + 14u * i;
        IconImage entry;
        entry.width = byte(at);
        entry.height = byte(at + 1);
        entry.colours = byte(at + 2);
        entry.bitCount = word(at + 6);
        entry.resourceId = word(at + 12);
        entries.push_back(entry);
    }
    return entries;
}

// Each row: a size the system asks for (small icons at 100 to 200 %, large ones at 100 and
// 150 %), and whether its image is stored as PNG.
struct IconSize {
    int pixels;
    bool png;
};
const IconSize kIconSizes[] = {{32, true}, {16, false}, {48, true}, {24, true}, {20, true}};

TEST_P(ResourceTest, EveryIconGroupHoldsA16ColourImageAtEachSize) {
    for (int id : kIconIds) {
        SCOPED_TRACE("icon group " + std::to_string(id));
        const std::vector<IconImage> entries = GroupEntries(Bytes(id, RT_GROUP_ICON));
        ASSERT_EQ(entries.size(), std::size(kIconSizes));
        for (size_t i = 0; i < entries.size(); ++i) {
            const IconImage& entry = entries[i];
            EXPECT_EQ(entry.width, kIconSizes[i].pixels);
            EXPECT_EQ(entry.height, entry.width);
            EXPECT_EQ(entry.colours, 16);
            const std::string image = Bytes(entry.resourceId, RT_ICON);
            if (kIconSizes[i].png) {
                EXPECT_EQ(image.compare(0, 8, "\x89PNG\r\n\x1a\n"), 0);
                continue;
            }
            ASSERT_GE(image.size(), sizeof(BITMAPINFOHEADER));
            BITMAPINFOHEADER header;
            std::memcpy(&header, image.data(), sizeof header);
            EXPECT_EQ(header.biWidth, entry.width);
            EXPECT_EQ(header.biHeight, 2 * entry.width) << "colour and mask rows";
            EXPECT_EQ(header.biBitCount, 4);
        }
    }
}

// Every image loads, the PNG ones included, at its own size.
TEST_P(ResourceTest, EveryIconLoadsAtEachSize) {
    for (int id : kIconIds) {
        for (const IconSize& size : kIconSizes) {
            SCOPED_TRACE("icon " + std::to_string(id) + " at " + std::to_string(size.pixels));
            HICON icon = static_cast<HICON>(LoadImageA(m_module, MAKEINTRESOURCEA(id), IMAGE_ICON,
                                                       size.pixels, size.pixels, 0));
            ASSERT_NE(icon, nullptr);
            ICONINFO info = {};
            ASSERT_TRUE(GetIconInfo(icon, &info));
            BITMAP colour = {};
            ASSERT_TRUE(GetObjectA(info.hbmColor, sizeof colour, &colour));
            EXPECT_EQ(colour.bmWidth, size.pixels);
            EXPECT_EQ(colour.bmHeight, size.pixels);
            DeleteObject(info.hbmColor);
            DeleteObject(info.hbmMask);
            DestroyIcon(icon);
        }
    }
}

// Each state must be recognisable in the tray, so no two small pictures may be the same.
TEST_P(ResourceTest, SmallIconsAreAllDifferent) {
    std::vector<std::string> images;
    for (int id : kIconIds) {
        const std::vector<IconImage> entries = GroupEntries(Bytes(id, RT_GROUP_ICON));
        ASSERT_EQ(entries.size(), std::size(kIconSizes)) << "icon group " << id;
        images.push_back(Bytes(entries[1].resourceId, RT_ICON));
    }
    for (size_t a = 0; a < images.size(); ++a) {
        for (size_t b = a + 1; b < images.size(); ++b)
            EXPECT_NE(images[a], images[b]) << "icons " << kIconIds[a] << " and " << kIconIds[b];
    }
}

// A high-contrast theme paints the taskbar black or white but leaves the icons as they are:
// the pictures of the states (a first frame each) must still differ where they are drawn,
// by their shapes and not by shades the background could swallow.
TEST_P(ResourceTest, StatePicturesStayApartOnABlackAndAWhiteTaskbar) {
    const int states[] = {IDI_IDLE,  IDI_POLL_1,   IDI_FAILED,
                          IDI_NEW_1, IDI_DISABLED, IDI_SHUTTING_DOWN};
    for (int background : {BLACK_BRUSH, WHITE_BRUSH}) {
        std::vector<std::vector<COLORREF>> shown;
        const HDC dc = CreateCompatibleDC(nullptr);
        const HDC screen = GetDC(nullptr);
        const HBITMAP target = CreateCompatibleBitmap(screen, 16, 16);
        ReleaseDC(nullptr, screen);
        const HGDIOBJ previous = SelectObject(dc, target);
        for (int id : states) {
            const RECT all = {0, 0, 16, 16};
            FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(background)));
            const HICON icon = static_cast<HICON>(
                LoadImageA(m_module, MAKEINTRESOURCEA(id), IMAGE_ICON, 16, 16, 0));
            ASSERT_NE(nullptr, icon);
            DrawIconEx(dc, 0, 0, icon, 16, 16, 0, nullptr, DI_NORMAL);
            DestroyIcon(icon);
            std::vector<COLORREF> pixels;
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 16; ++x)
                    pixels.push_back(GetPixel(dc, x, y));
            shown.push_back(pixels);
        }
        SelectObject(dc, previous);
        DeleteObject(target);
        DeleteDC(dc);
        for (size_t a = 0; a < shown.size(); ++a) {
            for (size_t b = a + 1; b < shown.size(); ++b) {
                int differing = 0;
                for (size_t i = 0; i < shown[a].size(); ++i)
                    differing += shown[a][i] != shown[b][i];
                // Of 256 pixels; the corner badge of a state covers about 80.
                EXPECT_GE(differing, 32) << "icons " << states[a] << " and " << states[b] << " on "
                                         << (background == BLACK_BRUSH ? "black" : "white");
            }
        }
    }
}

// ---- The popup's picture ------------------------------------------------------------------

double Luminance(int r, int g, int b) {
    const auto linear = [](int value) {
        const double v = value / 255.0;
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(r) + 0.7152 * linear(g) + 0.0722 * linear(b);
}

double Contrast(double a, double b) {
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

TEST_P(ResourceTest, PopupBitmapIs150By120At24BitsAndDeepBehindTheText) {
    HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageA(m_module, MAKEINTRESOURCEA(IDB_POPUP), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ASSERT_NE(bitmap, nullptr);
    DIBSECTION dib = {};
    ASSERT_EQ(GetObjectA(bitmap, sizeof dib, &dib), static_cast<int>(sizeof dib));
    EXPECT_EQ(dib.dsBm.bmWidth, 150);
    EXPECT_EQ(dib.dsBm.bmHeight, 120);
    EXPECT_EQ(dib.dsBm.bmBitsPixel, 24);
    ASSERT_NE(dib.dsBm.bmBits, nullptr);

    // The three lines (tops 31, 47 and 73, 16 units high) are drawn in white, and the third
    // in RGB(50, 50, 255) under the mouse: white must read well on every pixel, and the
    // highlight must still stand apart from the background.
    const double white = Luminance(255, 255, 255);
    const double highlight = Luminance(50, 50, 255);
    double worstWhite = 100, worstHighlight = 100;
    const auto* bits = static_cast<const unsigned char*>(dib.dsBm.bmBits);
    for (int y = 31; y < 90; ++y) {
        const int row = dib.dsBmih.biHeight > 0 ? 119 - y : y;
        for (int x = 8; x < 142; ++x) {
            const unsigned char* pixel = bits + row * dib.dsBm.bmWidthBytes + 3 * x;
            const double l = Luminance(pixel[2], pixel[1], pixel[0]);
            worstWhite = std::min(worstWhite, Contrast(l, white));
            if (y >= 73)
                worstHighlight = std::min(worstHighlight, Contrast(l, highlight));
        }
    }
    EXPECT_GE(worstWhite, 4.5);
    EXPECT_GE(worstHighlight, 1.3);
    DeleteObject(bitmap);
}

// ---- Version and manifest -----------------------------------------------------------------

TEST_P(ResourceTest, VersionBlockNamesTheProduct) {
    const std::string path = ModulePath(GetParam());
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_GE(length, sizeof *fixed);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    // The numbers say what the version text says.
    unsigned major = 0;
    unsigned minor = 0;
    ASSERT_EQ(std::sscanf(ZV_VERSION, "%u.%u", &major, &minor), 2);
    EXPECT_EQ(fixed->dwFileVersionMS, major << 16 | minor);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, major << 16 | minor);
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_GE(length, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 1200);

    const struct {
        const char* name;
        const char* value;
    } rows[] = {
        {"ProductName", ZV_PRODUCT_NAME},     {"CompanyName", ZV_COMPANY},
        {"FileDescription", ZV_PRODUCT_NAME}, {"OriginalFilename", "ZavoraAgent.exe"},
        {"FileVersion", ZV_VERSION ".0.0"},   {"ProductVersion", ZV_VERSION ".0.0"},
    };
    for (const auto& row : rows) {
        char* value = nullptr;
        const std::string query = std::string("\\StringFileInfo\\040904B0\\") + row.name;
        ASSERT_TRUE(
            VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length))
            << row.name;
        EXPECT_STREQ(value, row.value) << row.name;
    }
}

BOOL CALLBACK CountName(HMODULE, LPCSTR, LPSTR, LONG_PTR count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

TEST_P(ResourceTest, ManifestNamesTheAgentAndAsksForCommonControls6AsInvokerAndDpiAwareness) {
    int manifests = 0;
    EnumResourceNamesA(m_module, MAKEINTRESOURCEA(24), CountName,
                       reinterpret_cast<LONG_PTR>(&manifests));
    EXPECT_EQ(manifests, 1) << "exactly one manifest";
    const std::string manifest = Bytes(1, MAKEINTRESOURCEA(24)); // RT_MANIFEST
    for (const char* part :
         {"<assemblyIdentity type=\"win32\" name=\"" ZV_COMPANY "." ZV_REG_PRODUCT
          "." ZV_REG_SECTION "\" version=\"" ZV_VERSION ".0.0\"",
          "<description>" ZV_PRODUCT_NAME "</description>",
          "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
          "publicKeyToken=\"6595b64144ccf1df\"", "level=\"asInvoker\"",
          "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true<",
          "<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">"
          "PerMonitorV2, System<"}) {
        EXPECT_NE(manifest.find(part), std::string::npos) << part;
    }
}

std::string SourceName(const ::testing::TestParamInfo<Source>& info) {
    return info.param == Source::Self ? "LinkedResources" : "AgentExecutable";
}

INSTANTIATE_TEST_SUITE_P(Resources, ResourceTest,
                         ::testing::Values(Source::Self
#ifdef ZV_AGENT_EXE
                                           ,
                                           Source::Agent
#endif
                                           ),
                         SourceName);

// ---- What the linked resources do to this process ------------------------------------------

TEST(LinkedResources, ManifestActivatesCommonControls6AndDpiAwareness) {
    // The process's activation context, made from the manifest, must send comctl32.dll to
    // the side-by-side version 6.
    ACTCTX_SECTION_KEYED_DATA redirection = {};
    redirection.cbSize = sizeof redirection;
    EXPECT_TRUE(FindActCtxSectionStringA(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION,
                                         "comctl32.dll", &redirection));
    EXPECT_TRUE(IsProcessDPIAware());
}

// ---- Dialog labels at every scale ------------------------------------------------------------

int SystemDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

// The width a label's or check box's text needs in the control's own font, and the width
// the control leaves for it.
struct TextFit {
    int needed;
    int available;
};

TextFit MeasureText(HWND control, bool checkBox) {
    char text[256] = {};
    GetWindowTextA(control, text, sizeof text);
    RECT client = {};
    GetClientRect(control, &client);
    HDC dc = GetDC(control);
    const HGDIOBJ previous =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    RECT needed = {0, 0, 0, 0};
    const bool noPrefix = !checkBox && (GetWindowLongA(control, GWL_STYLE) & SS_NOPREFIX);
    DrawTextA(dc, text, -1, &needed, DT_CALCRECT | DT_SINGLELINE | (noPrefix ? DT_NOPREFIX : 0));
    int indent = 0;
    if (checkBox) {
        // The box, then half a digit's width before the text.
        GetCharWidth32A(dc, '0', '0', &indent);
        indent = GetSystemMetrics(SM_CXMENUCHECK) + indent / 2;
    }
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    return TextFit{needed.right, client.right - indent};
}

// Measured in whatever DPI this process started with; the test below runs it at each.
TEST(DialogLabels, FitTheirTextAtThisDpi) {
    if (const char* expected = std::getenv("ZV_EXPECT_DPI")) {
        ASSERT_EQ(std::atoi(expected), SystemDpi()) << "the screen's DPI setting took no effect";
    }
    const ParentWindow parent;
    for (int id : {IDD_ABOUTBOX, IDD_CONNECTION, IDD_NOTIFICATION}) {
        HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id),
                                         parent.get(), QuietDialogProc, 0);
        ASSERT_NE(dialog, nullptr);
        for (HWND child = GetWindow(dialog, GW_CHILD); child;
             child = GetWindow(child, GW_HWNDNEXT)) {
            char className[64] = {};
            GetClassNameA(child, className, sizeof className);
            const LONG style = GetWindowLongA(child, GWL_STYLE);
            const bool label =
                lstrcmpiA(className, "Static") == 0 &&
                ((style & SS_TYPEMASK) == SS_LEFT || (style & SS_TYPEMASK) == SS_RIGHT);
            const bool checkBox =
                lstrcmpiA(className, "Button") == 0 && (style & BS_TYPEMASK) == BS_AUTOCHECKBOX;
            if (!label && !checkBox)
                continue;
            const TextFit fit = MeasureText(child, checkBox);
            char text[256] = {};
            GetWindowTextA(child, text, sizeof text);
            EXPECT_LE(fit.needed, fit.available)
                << "dialog " << id << " at " << SystemDpi() << " dpi clips \"" << text << "\"";
        }
        DestroyWindow(dialog);
    }
}

// Sets the screen's DPI for the programs started afterwards, and restores it at the end.
// Wine reads it from LogPixels when a program starts.
class ScreenDpiSetting {
public:
    explicit ScreenDpiSetting(DWORD dpi) {
        RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0,
                        KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &m_key, nullptr);
        DWORD size = sizeof m_previous;
        m_hadValue = RegQueryValueExA(m_key, "LogPixels", nullptr, nullptr,
                                      reinterpret_cast<BYTE*>(&m_previous), &size) == ERROR_SUCCESS;
        RegSetValueExA(m_key, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi),
                       sizeof dpi);
    }
    ~ScreenDpiSetting() {
        if (m_hadValue)
            RegSetValueExA(m_key, "LogPixels", 0, REG_DWORD,
                           reinterpret_cast<const BYTE*>(&m_previous), sizeof m_previous);
        else
            RegDeleteValueA(m_key, "LogPixels");
        RegCloseKey(m_key);
    }
    ScreenDpiSetting(const ScreenDpiSetting&) = delete;
    ScreenDpiSetting& operator=(const ScreenDpiSetting&) = delete;

private:
    HKEY m_key = nullptr;
    DWORD m_previous = 0;
    bool m_hadValue = false;
};

// Runs one test of this program in a new process that expects the given DPI; its exit code.
DWORD RunSelfAtDpi(const char* testName, int dpi) {
    SetEnvironmentVariableA("ZV_EXPECT_DPI", std::to_string(dpi).c_str());
    std::string commandLine = "\"" + SelfPath() + "\" --gtest_brief=1 --gtest_filter=" + testName;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    const BOOL started = CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0,
                                        nullptr, nullptr, &startup, &process);
    SetEnvironmentVariableA("ZV_EXPECT_DPI", nullptr);
    if (!started)
        return GetLastError() | 0x80000000u;
    DWORD code = WAIT_TIMEOUT;
    if (WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

// Each row: a screen DPI (100, 150 and 200 %). The DPI is fixed when a program starts, so
// each row measures in a fresh copy of this program.
TEST(DialogLabels, FitTheirTextAt96And144And192Dpi) {
    for (int dpi : {96, 144, 192}) {
        SCOPED_TRACE(std::to_string(dpi) + " dpi");
        const ScreenDpiSetting setting(static_cast<DWORD>(dpi));
        EXPECT_EQ(0u, RunSelfAtDpi("DialogLabels.FitTheirTextAtThisDpi", dpi));
    }
}

TEST(LinkedResources, LoadResStringReadsTheTable) {
    EXPECT_EQ(LoadResString(IDS_TRAY_TIP), "Zavora news agent");
    EXPECT_EQ(LoadResString(IDS_HELP_URL), ZV_SITE_HELP);
    EXPECT_EQ(LoadResString(IDS_DEFAULT_SOUND_PATH), " ");
    EXPECT_EQ(LoadResString(99), "");
}

} // namespace
