#include "fw/DataExchange.h"

#include "fw/CString.h"

#include <climits>

const char* ScanDecimalNumber(const char* text, int& value) {
    if (!text)
        return nullptr;
    const char* p = text;
    while (IsBlankChar(*p))
        ++p;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;
    if (*p < '0' || *p > '9')
        return nullptr;
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    long long magnitude = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude > limit)
            return nullptr;
    }
    value = static_cast<int>(negative ? -magnitude : magnitude);
    return p;
}

bool ParseWholeNumber(const char* text, int& value) {
    int number = 0;
    const char* p = ScanDecimalNumber(text, number);
    if (!p)
        return false;
    while (IsBlankChar(*p))
        ++p;
    if (*p != '\0')
        return false;
    value = number;
    return true;
}
