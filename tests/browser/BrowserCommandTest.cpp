#include "BrowserCommand.h"

#include "CommandLineSplit.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

bool FakeEnvironment(const char* name, CString& value) {
    static const char* const kVariables[][2] = {
        {"SystemRoot", "C:\\windows"},
        {"ProgramFiles", "C:\\Program Files"},
        {"USERNAME", "alice"},
        {"EMPTY", ""},
    };
    for (const auto& variable : kVariables) {
        if (std::strcmp(name, variable[0]) == 0) {
            value = variable[1];
            return true;
        }
    }
    return false;
}

bool HugeEnvironment(const char*, CString& value) {
    value = CString('x', 3000);
    return true;
}

struct ComposeRow {
    const char* commandTemplate;
    const char* url;
    const char* expected;
};

TEST(BrowserCommand, ComposesTheCommandLine) {
    const ComposeRow rows[] = {
        // The address takes the place of the quoted %1; nothing is appended.
        {"\"C:\\b.exe\" -url \"%1\"", "http://x/a", "\"C:\\b.exe\" -url \"http://x/a\""},
        // No placeholder: a blank and the address are appended.
        {"C:\\b.exe -nohome", "http://x/a", "C:\\b.exe -nohome http://x/a"},
        {"", "http://x/a", " http://x/a"},
        // %1 and %L are each replaced once, whatever their order.
        {"b.exe \"%1\" %L", "http://x/a", "b.exe \"http://x/a\" http://x/a"},
        {"b.exe %L %1", "http://x/a", "b.exe http://x/a http://x/a"},
        // A second %1 stays; as the last '%' of the line it is written back.
        {"b.exe \"%1\" \"%1\"", "http://x/a", "b.exe \"http://x/a\" \"%1\""},
        // %l in lower case is no placeholder.
        {"b.exe %l", "http://x/a", "b.exe %l http://x/a"},
        // Variables of the template are expanded, at the start of the line too.
        {"%SystemRoot%\\b.exe %1", "http://x/a", "C:\\windows\\b.exe http://x/a"},
        {"\"%ProgramFiles%\\b.exe\" \"%1\"", "http://x/a",
         "\"C:\\Program Files\\b.exe\" \"http://x/a\""},
        {"b.exe %NOPE%x %EMPTY%y %1", "http://x/a", "b.exe x y http://x/a"},
        {"b.exe 100% \"%1\"", "http://x/a", "b.exe 100% \"http://x/a\""},
        {"b.exe -nohome %USERNAME%", "http://x/a", "b.exe -nohome alice http://x/a"},
        // The address is never expanded, and its escapes survive.
        {"b.exe %1", "http://x/%USERNAME%/", "b.exe http://x/%25USERNAME%25/"},
        {"b.exe %1", "http://x/a%20b%20c", "b.exe http://x/a%20b%20c"},
        {"b.exe %1", "http://x/%SystemRoot%", "b.exe http://x/%25SystemRoot%25"},
        // An address that tries to close its quotes and add an option stays one argument.
        {"\"C:\\b.exe\" \"%1\"", "http://x/a\" --gpu-launcher=\"calc.exe",
         "\"C:\\b.exe\" \"http://x/a%22%20--gpu-launcher=%22calc.exe\""},
    };
    for (const ComposeRow& row : rows) {
        CString line("unchanged");
        EXPECT_EQ(ComposeBrowserCommand(row.commandTemplate, row.url, FakeEnvironment, line),
                  BrowserCommandStatus::Ok)
            << row.commandTemplate << " | " << row.url;
        EXPECT_STREQ(line, row.expected) << row.commandTemplate << " | " << row.url;
    }
}

struct AddressRow {
    const char* url;
    const char* expected; // null when refused
};

TEST(BrowserCommand, PreparesOnlyWebAddresses) {
    const AddressRow rows[] = {
        {"http://x/", "http://x/"},
        {"HTTPS://X/Y", "HTTPS://X/Y"},
        {"hTtP://x", "hTtP://x"},
        {" \thttp://x/a\r\n", "http://x/a"},
        {"http://x/a b\tc", "http://x/a%20b%09c"},
        {"http://x/\"<>\\^`{|}", "http://x/%22%3C%3E%5C%5E%60%7B%7C%7D"},
        {"http://x/\x01\x1f\x7f\x80\xff", "http://x/%01%1F%7F%80%FF"},
        {"http://x/100%", "http://x/100%25"},
        {"http://x/%2", "http://x/%252"},
        {"http://x/%zz%4a%4A", "http://x/%25zz%4a%4A"},
        {"http://x/?a=1&b='c'(d)*+,;=:@!$#f[1]~", "http://x/?a=1&b='c'(d)*+,;=:@!$#f[1]~"},
        {"", nullptr},
        {"http:/x", nullptr},
        {"http:", nullptr},
        {"ftp://x/", nullptr},
        {"file:///C:/windows/system32/calc.exe", nullptr},
        {"javascript:alert(1)", nullptr},
        {"httpx://x", nullptr},
        {"xhttp://x", nullptr},
        {"\"http://x/\"", nullptr},
        {"C:\\b.exe http://x/", nullptr},
    };
    for (const AddressRow& row : rows) {
        CString address("unchanged");
        const BrowserCommandStatus status = PrepareWebAddress(row.url, address);
        if (row.expected) {
            EXPECT_EQ(status, BrowserCommandStatus::Ok) << row.url;
            EXPECT_STREQ(address, row.expected) << row.url;
        } else {
            EXPECT_EQ(status, BrowserCommandStatus::NotWebAddress) << row.url;
            EXPECT_STREQ(address, "unchanged") << row.url;
        }
    }
}

TEST(BrowserCommand, AddressKeepsZeroBytesOutOfTheLine) {
    CString address;
    ASSERT_EQ(PrepareWebAddress(CString("http://x/a\0b", 12), address), BrowserCommandStatus::Ok);
    EXPECT_EQ(address, "http://x/a%00b");
    EXPECT_EQ(address.GetLength(), 14);
}

TEST(BrowserCommand, CapsTheLength) {
    const CString prefix("http://x/");
    const CString fits = prefix + CString('a', kMaxBrowserCommandLine - prefix.GetLength());
    CString line;
    EXPECT_EQ(PrepareWebAddress(fits, line), BrowserCommandStatus::Ok);
    EXPECT_EQ(line.GetLength(), kMaxBrowserCommandLine);
    EXPECT_EQ(PrepareWebAddress(fits + "a", line), BrowserCommandStatus::TooLong);
    // Encoding triples a blank, so an address can grow past the limit.
    EXPECT_EQ(PrepareWebAddress(prefix + CString(' ', 700) + "a", line),
              BrowserCommandStatus::TooLong);

    // The template and the address fit alone but not together.
    line = "unchanged";
    EXPECT_EQ(ComposeBrowserCommand("b.exe %1", fits, FakeEnvironment, line),
              BrowserCommandStatus::TooLong);
    EXPECT_EQ(line, "unchanged");
    const CString exactTemplate = CString('b', kMaxBrowserCommandLine - 10) + " %1";
    EXPECT_EQ(ComposeBrowserCommand(exactTemplate, "http://x/", FakeEnvironment, line),
              BrowserCommandStatus::Ok);
    EXPECT_EQ(line.GetLength(), kMaxBrowserCommandLine);
    EXPECT_EQ(ComposeBrowserCommand(exactTemplate, "http://x/a", FakeEnvironment, line),
              BrowserCommandStatus::TooLong);
    // A variable's value counts as well.
    EXPECT_EQ(ComposeBrowserCommand("%BIG% %1", "http://x/", HugeEnvironment, line),
              BrowserCommandStatus::TooLong);
    EXPECT_EQ(ComposeBrowserCommand("b.exe %1", "javascript:x", FakeEnvironment, line),
              BrowserCommandStatus::NotWebAddress);
}

TEST(BrowserCommand, HostileAddressNeverAddsAnArgument) {
    const char* const templates[] = {
        "\"C:\\b.exe\" \"%1\"",
        "C:\\b.exe %1",
        "C:\\b.exe -url %L",
        "\"C:\\b.exe\" -nohome",
        "C:\\b.exe \"\\%1\"",
        "C:\\b.exe \"%1\\\" x",
        "\"C:\\b.exe\" \"\"\"%1\"\"",
        "%1 -x",
        "\"%1\" -x",
    };
    const char* const urls[] = {
        "http://x/a\" --gpu-launcher=\"calc.exe",
        "http://x/a b c",
        "http://x/a\t-x\t-y",
        "http://x/a\\\" -y",
        "http://x/a\\",
        "http://x/a\\\\\"\"\" z",
        "http://x/a\r\n-z",
    };
    for (const char* commandTemplate : templates) {
        CString reference;
        ASSERT_EQ(ComposeBrowserCommand(commandTemplate, "http://x/", FakeEnvironment, reference),
                  BrowserCommandStatus::Ok);
        const size_t expectedCount = SplitCommandLine(reference.str()).size();
        for (const char* url : urls) {
            CString line;
            ASSERT_EQ(ComposeBrowserCommand(commandTemplate, url, FakeEnvironment, line),
                      BrowserCommandStatus::Ok);
            EXPECT_EQ(SplitCommandLine(line.str()).size(), expectedCount)
                << commandTemplate << " | " << url << " -> " << line.c_str();
        }
    }
}

TEST(CommandLineSplit, FollowsTheWindowsRules) {
    const struct {
        const char* line;
        std::vector<std::string> args;
    } rows[] = {
        {"", {""}},
        {"a.exe", {"a.exe"}},
        {"\"C:\\a b\\a.exe\"x y", {"C:\\a b\\a.exe", "x", "y"}},
        {"a.exe  one\ttwo  ", {"a.exe", "one", "two"}},
        {"a.exe \"one two\" three", {"a.exe", "one two", "three"}},
        {"a.exe a\\\\b", {"a.exe", "a\\\\b"}},
        {"a.exe a\\\"b", {"a.exe", "a\"b"}},
        {"a.exe a\\\\\"b c\"", {"a.exe", "a\\b c"}},
        {"a.exe \"a\"\"\"b\"", {"a.exe", "a\"b"}},
        {"a.exe \"\"", {"a.exe", ""}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(SplitCommandLine(row.line), row.args) << row.line;
}

} // namespace
