#pragma once
// 8-bit counted string with value semantics. It may hold zero bytes; the conversion to
// const char* stops at the first one, as every C API does.
#include <cstdarg>
#include <string>

class CString {
public:
    // Making, copying, moving and destroying are out of line: inlined, the string's code for
    // them is repeated wherever a CString is used, which made the agent 2 KB larger.
    CString() = default;
    CString(const char* text);
    CString(const char* data, int length);
    CString(char ch, int repeat);
    CString(const std::string& text);
    CString(const CString& other);
    CString(CString&& other) noexcept;
    ~CString();
    CString& operator=(const CString& other);
    CString& operator=(CString&& other) noexcept;

    int GetLength() const { return static_cast<int>(m_text.size()); }
    bool IsEmpty() const { return m_text.empty(); }
    void Empty() { m_text.clear(); }
    operator const char*() const { return m_text.c_str(); }
    const char* c_str() const { return m_text.c_str(); }
    const std::string& str() const { return m_text; }
    char GetAt(int index) const { return m_text[static_cast<size_t>(index)]; }
    char operator[](int index) const { return GetAt(index); }

    CString& operator=(const char* text);
    CString& operator+=(const CString& other);
    CString& operator+=(const char* text);
    CString& operator+=(char ch);
    void Append(const char* data, int length);

    int CompareNoCase(const char* text) const;

    CString Left(int count) const;
    CString Right(int count) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;

    int Find(char ch, int start = 0) const;
    int Find(const char* sub, int start = 0) const;
    int ReverseFind(char ch) const;

    CString& MakeUpper();
    // Blanks, tabs, carriage returns, line feeds, vertical tabs and form feeds.
    CString& TrimLeft();
    CString& TrimRight();
    CString& Trim();

    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void FormatV(const char* format, va_list args);

    // Direct access for C APIs that fill a buffer: GetBuffer makes room for at least
    // minLength characters; ReleaseBuffer(-1) cuts at the first zero byte.
    char* GetBuffer(int minLength);
    void ReleaseBuffer(int newLength = -1);

private:
    std::string m_text;
};

bool operator==(const CString& a, const CString& b);
bool operator==(const CString& a, const char* b);
bool operator==(const char* a, const CString& b);
bool operator!=(const CString& a, const CString& b);
bool operator!=(const CString& a, const char* b);
bool operator!=(const char* a, const CString& b);
bool operator<(const CString& a, const CString& b);
CString operator+(const CString& a, const CString& b);
CString operator+(const CString& a, const char* b);
CString operator+(const char* a, const CString& b);
CString operator+(const CString& a, char b);

// Whitespace as the string class trims it.
bool IsBlankChar(char ch);
