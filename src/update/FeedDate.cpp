#include "FeedDate.h"

#include <cstring>

namespace {

bool IsBlank(char ch) {
    return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n';
}

// Reads a date from left to right; every step fails at the first character it cannot take.
struct DateScanner {
    const char* at;
    const char* end;

    char Next() const { return at < end ? *at : '\0'; }
    bool Take(const char* chars) {
        if (Next() == '\0' || !std::strchr(chars, Next()))
            return false;
        ++at;
        return true;
    }
    bool SkipBlanks() {
        const char* start = at;
        while (IsBlank(Next()))
            ++at;
        return at != start;
    }
    // The number of digits read, at most most of them.
    int Digits(int most, int& value) {
        int count = 0;
        for (value = 0; count < most && Next() >= '0' && Next() <= '9'; ++count)
            value = value * 10 + (*at++ - '0');
        return count;
    }
    // The number of letters of the word read; word receives its first three, in upper case.
    int Word(char (&word)[4]) {
        int letters = 0;
        for (; (Next() | 0x20) >= 'a' && (Next() | 0x20) <= 'z'; ++at) {
            if (letters < 3)
                word[letters] = static_cast<char>(*at & ~0x20);
            word[++letters < 3 ? letters : 3] = '\0';
        }
        return letters;
    }
};

struct Moment {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int offsetMinutes = 0; // east of UTC
};

// "hh:mm" or "hh:mm:ss".
bool ReadClock(DateScanner& scan, Moment& moment) {
    return scan.Digits(2, moment.hour) > 0 && scan.Take(":") &&
           scan.Digits(2, moment.minute) == 2 &&
           (!scan.Take(":") || scan.Digits(2, moment.second) == 2);
}

// "+hhmm", "-hhmm", "+hh:mm" or "-hh:mm".
bool ReadOffset(DateScanner& scan, Moment& moment) {
    const int sign = scan.Next() == '-' ? -1 : 1;
    int hours = 0;
    int minutes = 0;
    if (!scan.Take("+-") || scan.Digits(2, hours) != 2)
        return false;
    scan.Take(":");
    if (scan.Digits(2, minutes) != 2 || hours > 23 || minutes > 59)
        return false;
    moment.offsetMinutes = sign * (hours * 60 + minutes);
    return true;
}

// The zone names of RFC 822: universal time, the North American zones, and the military
// letters, which that standard defined with the wrong sign, so that they are read as UTC.
bool ReadZoneName(DateScanner& scan, Moment& moment) {
    static const char kZones[][4] = {"UT",  "UTC", "GMT", "EST", "EDT", "CST",
                                     "CDT", "MST", "MDT", "PST", "PDT"};
    static const signed char kHours[] = {0, 0, 0, -5, -4, -6, -5, -7, -6, -8, -7};
    char name[4] = {};
    const int letters = scan.Word(name);
    for (int zone = 0; letters <= 3 && zone < 11; ++zone) {
        if (std::strcmp(name, kZones[zone]) == 0) {
            moment.offsetMinutes = kHours[zone] * 60;
            return true;
        }
    }
    return letters == 1 && name[0] != 'J';
}

// A month's name, or its first three letters.
bool ReadMonth(DateScanner& scan, Moment& moment) {
    static const char kMonths[] = "JANFEBMARAPRMAYJUNJULAUGSEPOCTNOVDEC";
    char word[4] = {};
    const bool named = scan.Word(word) >= 3;
    for (moment.month = 12; named && moment.month > 0; --moment.month) {
        if (std::strncmp(word, kMonths + moment.month * 3 - 3, 3) == 0)
            return true;
    }
    return false;
}

// [weekday ","] day month year hh:mm[:ss] [zone] ["(" comment ")"]. A two-digit year below
// 50 is in this century, a three-digit one counts from 1900; without a zone, UTC.
bool ReadRfc822(DateScanner& scan, Moment& moment) {
    char weekday[4];
    if (scan.Word(weekday) > 0 && !scan.Take(",") && !scan.SkipBlanks())
        return false;
    scan.SkipBlanks();
    int digits = 0;
    if (scan.Digits(2, moment.day) == 0 || !scan.SkipBlanks() || !ReadMonth(scan, moment) ||
        !scan.SkipBlanks() || (digits = scan.Digits(4, moment.year)) < 2 || !scan.SkipBlanks() ||
        !ReadClock(scan, moment)) {
        return false;
    }
    moment.year += digits == 2 ? (moment.year < 50 ? 2000 : 1900) : digits == 3 ? 1900 : 0;
    scan.SkipBlanks();
    if (scan.Next() == '+' || scan.Next() == '-'
            ? !ReadOffset(scan, moment)
            : scan.Next() && scan.Next() != '(' && !ReadZoneName(scan, moment)) {
        return false;
    }
    scan.SkipBlanks();
    if (scan.Next() == '(' && scan.end[-1] == ')')
        scan.at = scan.end;
    return true;
}

// yyyy-mm-dd, alone (midnight UTC) or followed by "T" (or a blank), hh:mm[:ss[.fraction]],
// and "Z" or an offset.
bool ReadRfc3339(DateScanner& scan, Moment& moment) {
    int fraction = 0;
    if (scan.Digits(4, moment.year) != 4 || !scan.Take("-") || scan.Digits(2, moment.month) != 2 ||
        !scan.Take("-") || scan.Digits(2, moment.day) != 2) {
        return false;
    }
    return scan.at == scan.end || (scan.Take("Tt ") && ReadClock(scan, moment) &&
                                   (!scan.Take(".") || scan.Digits(9, fraction) > 0) &&
                                   (scan.Take("Zz") || ReadOffset(scan, moment)));
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static const unsigned char kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01, in the Gregorian calendar, for the years after 1600.
int DaysSinceEpoch(int year, int month, int day) {
    // Years are counted from March here, so that the leap day ends them.
    const int shifted = year - (month <= 2 ? 1 : 0);
    const int era = shifted / 400;
    const int yearOfEra = shifted - era * 400;
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    return era * 146097 + yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear - 719468;
}

} // namespace

bool ParseFeedDate(const CString& text, FeedTime& time) {
    DateScanner scan = {text.c_str(), text.c_str() + text.GetLength()};
    while (scan.at < scan.end && IsBlank(scan.end[-1]))
        --scan.end;
    scan.SkipBlanks();
    Moment moment;
    // RFC 3339 begins with a year and a "-"; RFC 822 with a weekday or a day.
    const bool read = scan.end - scan.at > 4 && scan.at[4] == '-' ? ReadRfc3339(scan, moment)
                                                                  : ReadRfc822(scan, moment);
    if (!read || scan.at != scan.end || moment.year < 1601 || moment.year > 9999 ||
        moment.month < 1 || moment.month > 12 || moment.day < 1 ||
        moment.day > DaysInMonth(moment.year, moment.month) || moment.hour > 23 ||
        moment.minute > 59 || moment.second > 60) {
        return false;
    }
    // A leap second is read as the second before it.
    const int second = moment.second == 60 ? 59 : moment.second;
    time.seconds =
        static_cast<int64_t>(DaysSinceEpoch(moment.year, moment.month, moment.day)) * 86400 +
        moment.hour * 3600 + moment.minute * 60 + second - moment.offsetMinutes * 60;
    time.year = moment.year;
    time.month = moment.month;
    time.day = moment.day;
    return true;
}
