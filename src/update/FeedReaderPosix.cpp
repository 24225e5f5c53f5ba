// Host builds have no XML reader: feeds are read by Windows' own (FeedReaderWin.cpp), and the
// portable rest of the feed code is tested on its own.
#include "Feed.h"

void ReadFeed(const XmlDocument&, const CString&, FeedList& feed) {
    feed.failure = FailureKind::FeedReaderMissing;
}
