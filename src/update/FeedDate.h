#pragma once
// The dates of feed entries: RFC 822 dates as RSS writes them ("Mon, 07 Dec 2026 08:30:00
// +0100", or with a zone name such as "GMT" or "EST") and RFC 3339 dates as Atom and
// Dublin Core write them ("2026-12-07T08:30:00+01:00", or only the day, "2026-12-07").
#include "CString.h"

#include <cstdint>

struct FeedTime {
    int64_t seconds = 0; // since 1970-01-01 00:00 UTC, to tell which entry is the newest
    // The day as the feed wrote it, in the feed's own time zone: it is shown as it is, as the
    // date of a news list is.
    int year = 0;
    int month = 0;
    int day = 0;
};

// False for text in neither form, for a day or time that does not exist, for a zone name
// other than UT, UTC, GMT, Z, the North American ones and the military letters, and for a
// year before 1601 or after 9999 (outside what Windows shows).
bool ParseFeedDate(const CString& text, FeedTime& time);
