#include "CString.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

int Clamp(int value, int low, int high) {
    return std::max(low, std::min(value, high));
}

char LowerAscii(char ch) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
}

// On Windows the C runtime's own formatting serves: the C99 functions of the MinGW runtime
// bring a 20 KB formatter (floating point included) for texts that hold only %d and %s.
#ifdef _WIN32
int FormattedLength(const char* format, va_list args) {
    return _vscprintf(format, args);
}
void FormatInto(char* out, size_t size, const char* format, va_list args) {
    _vsnprintf(out, size, format, args);
}
#else
int FormattedLength(const char* format, va_list args) {
    return std::vsnprintf(nullptr, 0, format, args);
}
void FormatInto(char* out, size_t size, const char* format, va_list args) {
    std::vsnprintf(out, size, format, args);
}
#endif

} // namespace

bool IsBlankChar(char ch) {
    return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n' || ch == '\v' || ch == '\f';
}

CString::CString(const char* text) : m_text(text ? text : "") {}
CString::CString(const char* data, int length) : m_text(data, length > 0 ? length : 0) {}
CString::CString(char ch, int repeat) : m_text(repeat > 0 ? repeat : 0, ch) {}
CString::CString(const std::string& text) : m_text(text) {}
CString::CString(const CString& other) = default;
CString::CString(CString&& other) noexcept = default;
CString::~CString() = default;
CString& CString::operator=(const CString& other) = default;
CString& CString::operator=(CString&& other) noexcept = default;

CString& CString::operator=(const char* text) {
    m_text = text ? text : "";
    return *this;
}

CString& CString::operator+=(const CString& other) {
    m_text += other.m_text;
    return *this;
}

CString& CString::operator+=(const char* text) {
    if (text)
        m_text += text;
    return *this;
}

CString& CString::operator+=(char ch) {
    m_text += ch;
    return *this;
}

void CString::Append(const char* data, int length) {
    if (data && length > 0)
        m_text.append(data, static_cast<size_t>(length));
}

int CString::CompareNoCase(const char* text) const {
    const char* a = c_str();
    const char* b = text ? text : "";
    for (;; ++a, ++b) {
        const int diff =
            static_cast<unsigned char>(LowerAscii(*a)) - static_cast<unsigned char>(LowerAscii(*b));
        if (diff != 0 || *a == '\0')
            return diff;
    }
}

CString CString::Left(int count) const {
    return CString(m_text.substr(0, static_cast<size_t>(Clamp(count, 0, GetLength()))));
}

CString CString::Right(int count) const {
    const int n = Clamp(count, 0, GetLength());
    return CString(m_text.substr(static_cast<size_t>(GetLength() - n)));
}

CString CString::Mid(int first) const {
    return Mid(first, GetLength());
}

CString CString::Mid(int first, int count) const {
    const int start = Clamp(first, 0, GetLength());
    const int n = Clamp(count, 0, GetLength() - start);
    return CString(m_text.substr(static_cast<size_t>(start), static_cast<size_t>(n)));
}

int CString::Find(char ch, int start) const {
    if (start < 0 || start >= GetLength())
        return -1;
    const size_t pos = m_text.find(ch, static_cast<size_t>(start));
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::Find(const char* sub, int start) const {
    if (!sub || start < 0 || start > GetLength())
        return -1;
    const size_t pos = m_text.find(sub, static_cast<size_t>(start));
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::ReverseFind(char ch) const {
    const size_t pos = m_text.rfind(ch);
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

CString& CString::MakeUpper() {
    std::transform(m_text.begin(), m_text.end(), m_text.begin(), [](char ch) {
        return static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    });
    return *this;
}

CString& CString::TrimLeft() {
    const auto first = std::find_if_not(m_text.begin(), m_text.end(), IsBlankChar);
    m_text.erase(m_text.begin(), first);
    return *this;
}

CString& CString::TrimRight() {
    const auto last = std::find_if_not(m_text.rbegin(), m_text.rend(), IsBlankChar);
    m_text.erase(last.base(), m_text.end());
    return *this;
}

CString& CString::Trim() {
    return TrimRight().TrimLeft();
}

void CString::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

void CString::FormatV(const char* format, va_list args) {
    va_list probe;
    va_copy(probe, args);
    const int length = FormattedLength(format, probe);
    va_end(probe);
    if (length < 0) {
        m_text.clear();
        return;
    }
    std::string out(static_cast<size_t>(length) + 1, '\0');
    FormatInto(&out[0], out.size(), format, args);
    out.resize(static_cast<size_t>(length));
    m_text.swap(out);
}

char* CString::GetBuffer(int minLength) {
    if (minLength > GetLength())
        m_text.resize(static_cast<size_t>(minLength));
    return &m_text[0];
}

void CString::ReleaseBuffer(int newLength) {
    if (newLength < 0)
        newLength = static_cast<int>(std::strlen(m_text.c_str()));
    m_text.resize(static_cast<size_t>(Clamp(newLength, 0, GetLength())));
}

bool operator==(const CString& a, const CString& b) {
    return a.str() == b.str();
}
bool operator==(const CString& a, const char* b) {
    return a.str() == (b ? b : "");
}
bool operator==(const char* a, const CString& b) {
    return b == a;
}
bool operator!=(const CString& a, const CString& b) {
    return !(a == b);
}
bool operator!=(const CString& a, const char* b) {
    return !(a == b);
}
bool operator!=(const char* a, const CString& b) {
    return !(b == a);
}
bool operator<(const CString& a, const CString& b) {
    return a.str() < b.str();
}

CString operator+(const CString& a, const CString& b) {
    CString out(a);
    out += b;
    return out;
}

CString operator+(const CString& a, const char* b) {
    CString out(a);
    out += b;
    return out;
}

CString operator+(const char* a, const CString& b) {
    CString out(a);
    out += b;
    return out;
}

CString operator+(const CString& a, char b) {
    CString out(a);
    out += b;
    return out;
}
