#pragma once
// An XML document as the system's XML reader gets it, and the events the reader hands on:
// the boundary between the Win32 reader (FeedReaderWin.cpp) and the portable code that
// makes feed entries of the events.
#include "CString.h"
#include "PollFailure.h"

struct XmlDocument {
    CString bytes;     // from the first "<" on
    int firstLine = 1; // the body's line of that "<"
    int lastLine = 1;  // the body's last line that is not blank: where a cut-off one ends
};

// A body (of size bytes) is read as XML when its first character after a byte-order mark and blanks
// is "<"; in UTF-16 (told by its byte-order mark, or by the zero byte of its first character) it is
// handed on as it is. A document of bytes whose XML declaration names ISO-8859-1,
// Windows-1252 or US-ASCII is converted to UTF-8, and its declaration then names UTF-8;
// every other encoding is left to the reader. False for a body that is not XML.
bool PrepareXmlDocument(const char* body, int size, XmlDocument& document);

// The reader's events. Names come with their namespace URI, which is what identifies them
// (prefixes are the document's own choice); all text is UTF-8.
class CXmlEventSink {
public:
    virtual ~CXmlEventSink() = default;
    // One attribute of the element that starts next.
    virtual void Attribute(const CString& namespaceUri, const CString& localName,
                           const CString& value) = 0;
    // False when the sink needs nothing more of the document: the reader stops there.
    virtual bool StartElement(const CString& namespaceUri, const CString& localName) = 0;
    // Character data inside an element (text, CDATA, blanks), references decoded.
    virtual void Text(const CString& text) = 0;
    virtual void EndElement() = 0;
};

struct XmlReadResult {
    FailureKind failure = FailureKind::None; // one of the Feed* kinds, or None
    int line = 0;                            // the body's line where reading stopped
};
