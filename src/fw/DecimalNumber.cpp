#include "DecimalNumber.h"

#include "CString.h"

#include <climits>

NumberScan ScanDecimalNumber(const char* text, int& value, const char** end) {
    if (!text)
        return NumberScan::NoNumber;
    const char* p = text;
    while (IsBlankChar(*p))
        ++p;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;
    if (*p < '0' || *p > '9')
        return NumberScan::NoNumber;
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    long long magnitude = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude > limit)
            return NumberScan::OutOfRange;
    }
    value = static_cast<int>(negative ? -magnitude : magnitude);
    if (end)
        *end = p;
    return NumberScan::Number;
}

bool ParseWholeNumber(const char* text, int& value) {
    int number = 0;
    const char* p = nullptr;
    if (ScanDecimalNumber(text, number, &p) != NumberScan::Number)
        return false;
    while (IsBlankChar(*p))
        ++p;
    if (*p != '\0')
        return false;
    value = number;
    return true;
}
