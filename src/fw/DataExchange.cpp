#include "fw/DataExchange.h"

#include "fw/CString.h"

#include <climits>

bool ParseWholeNumber(const char* text, int& value) {
    if (!text)
        return false;
    const char* p = text;
    while (IsBlankChar(*p))
        ++p;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;
    if (*p < '0' || *p > '9')
        return false;
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    long long magnitude = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude > limit)
            return false;
    }
    while (IsBlankChar(*p))
        ++p;
    if (*p != '\0')
        return false;
    value = static_cast<int>(negative ? -magnitude : magnitude);
    return true;
}
