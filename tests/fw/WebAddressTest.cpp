#include "WebAddress.h"

#include <gtest/gtest.h>

TEST(WebAddress, OnlyHttpAndHttpsAreWebAddresses) {
    EXPECT_TRUE(IsWebAddress("http://a.example/"));
    EXPECT_TRUE(IsWebAddress(" \tHTTPS://a.example/x\r\n"));
    EXPECT_FALSE(IsWebAddress("ftp://a.example/"));
    EXPECT_FALSE(IsWebAddress("http:/a.example/"));
    EXPECT_FALSE(IsWebAddress("javascript:alert(1)"));
    EXPECT_FALSE(IsWebAddress(""));
}

TEST(WebAddress, ResolvesReferencesAsBrowsersDo) {
    const struct {
        const char* base;
        const char* reference;
        const char* resolved;
    } rows[] = {
        {"http://h.example:8080/a/b/c?q#f", "https://other.example/x", "https://other.example/x"},
        {"http://h.example:8080/a/b/c?q#f", "mailto:someone", "mailto:someone"},
        {"http://h.example:8080/a/b/c?q#f", "//cdn.example/x", "http://cdn.example/x"},
        {"http://h.example:8080/a/b/c?q#f", "/x?y", "http://h.example:8080/x?y"},
        {"http://h.example:8080/a/b/c?q#f", "d", "http://h.example:8080/a/b/d"},
        {"http://h.example:8080/a/b/c?q#f", "d/e?f#g", "http://h.example:8080/a/b/d/e?f#g"},
        {"http://h.example:8080/a/b/c?q#f", "../d", "http://h.example:8080/a/b/../d"},
        {"http://h.example:8080/a/b/c?q#f", "?z", "http://h.example:8080/a/b/c?z"},
        {"http://h.example:8080/a/b/c?q#f", "#g", "http://h.example:8080/a/b/c?q#g"},
        {"http://h.example:8080/a/b/c?q#f", "", "http://h.example:8080/a/b/c?q"},
        {"http://h.example", "x", "http://h.example/x"},
        {"http://h.example", "?q", "http://h.example?q"},
        {"http://h.example?q=/a/b", "x", "http://h.example/x"},
        {"https://h.example/dir/", "x:y/z", "x:y/z"},
        {"relative/base", "x", "x"},
        {"", "/x", "/x"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(CString(row.resolved), ResolveReference(row.base, row.reference))
            << row.base << " + " << row.reference;
    }
}
