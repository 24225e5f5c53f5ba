#include "CString.h"
#include "ResString.h"
#include "resource.h"
#include "contract.h"

#include <gtest/gtest.h>

TEST(CString, HoldsZeroBytesButConvertsUpToTheFirst) {
    CString text("ab\0cd", 5);
    EXPECT_EQ(5, text.GetLength());
    EXPECT_STREQ("ab", static_cast<const char*>(text));
}

TEST(CString, NullPointerIsEmpty) {
    CString text(static_cast<const char*>(nullptr));
    EXPECT_TRUE(text.IsEmpty());
    text += static_cast<const char*>(nullptr);
    EXPECT_TRUE(text.IsEmpty());
}

TEST(CString, SubstringsClampOutOfRangeArguments) {
    const CString text("abcdef");
    EXPECT_EQ(CString("abc"), text.Left(3));
    EXPECT_EQ(CString("abcdef"), text.Left(99));
    EXPECT_EQ(CString(""), text.Left(-1));
    EXPECT_EQ(CString("ef"), text.Right(2));
    EXPECT_EQ(CString("abcdef"), text.Right(99));
    EXPECT_EQ(CString("cd"), text.Mid(2, 2));
    EXPECT_EQ(CString("cdef"), text.Mid(2));
    EXPECT_EQ(CString(""), text.Mid(9));
    EXPECT_EQ(CString("abc"), text.Mid(-4, 3));
}

TEST(CString, Find) {
    CString text("a-b-c");
    EXPECT_EQ(1, text.Find('-'));
    EXPECT_EQ(3, text.Find('-', 2));
    EXPECT_EQ(-1, text.Find('-', 99));
    EXPECT_EQ(3, text.ReverseFind('-'));
    EXPECT_EQ(2, text.Find("b-"));
}

TEST(CString, TrimsEveryBlankKind) {
    struct Row {
        const char* in;
        const char* left;
        const char* right;
        const char* both;
    } rows[] = {
        {"", "", "", ""},
        {" \t\r\n\v\f", "", "", ""},
        {"  a b  ", "a b  ", "  a b", "a b"},
        {"x\r", "x\r", "x", "x"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(CString(row.left), CString(row.in).TrimLeft()) << row.in;
        EXPECT_EQ(CString(row.right), CString(row.in).TrimRight()) << row.in;
        EXPECT_EQ(CString(row.both), CString(row.in).Trim()) << row.in;
    }
}

TEST(CString, FormatProducesTextOfAnyLength) {
    CString text;
    text.Format("%d", -5);
    EXPECT_EQ(CString("-5"), text);
    text.Format("%s%s", std::string(5000, 'x').c_str(), "y");
    EXPECT_EQ(5001, text.GetLength());
}

TEST(CString, CompareNoCase) {
    EXPECT_EQ(0, CString("IExplore").CompareNoCase("iexplore"));
    EXPECT_NE(0, CString("IExplore").CompareNoCase("iexplorer"));
    EXPECT_LT(CString("a").CompareNoCase("B"), 0);
}

TEST(CString, BufferRoundTrip) {
    CString text;
    char* buffer = text.GetBuffer(10);
    buffer[0] = 'h';
    buffer[1] = 'i';
    buffer[2] = '\0';
    text.ReleaseBuffer();
    EXPECT_EQ(CString("hi"), text);
}

TEST(ResString, TableTextsLoad) {
    EXPECT_EQ(CString(ZV_HIDDEN_TITLE), LoadResString(IDS_HIDDEN_TITLE));
    EXPECT_EQ(CString(" "), LoadResString(IDS_DEFAULT_SOUND_PATH));
    EXPECT_EQ(CString(""), LoadResString(9999));
}
