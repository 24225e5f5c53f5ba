// The feed's document through Windows' XmlLite, loaded on first use, with DTDs prohibited:
// no entity is ever expanded and nothing outside the document is ever fetched.
#include "Feed.h"

#include "SystemLibraryWin.h"

#include <windows.h>
#include <xmllite.h>

#include <memory>

namespace {

// IXmlReader's IID as Windows documents it: the toolchain's own IIDs are not relied on.
const GUID kIXmlReader = {
    0x7279fc81, 0x709d, 0x4095, {0xb6, 0x3d, 0x69, 0xfe, 0x4b, 0x0d, 0x90, 0x30}};

using CreateXmlReaderFunction = HRESULT WINAPI(REFIID, void**, IMalloc*);
using CreateMemStreamFunction = IStream* WINAPI(const BYTE*, UINT);

struct ReleaseInterface {
    void operator()(IUnknown* object) const { object->Release(); }
};
template <typename Interface> using InterfacePtr = std::unique_ptr<Interface, ReleaseInterface>;

CString Utf8(const WCHAR* text, UINT length) {
    // UTF-8 takes at most three bytes for each UTF-16 unit.
    const int most = static_cast<int>(length) * 3;
    CString utf8;
    utf8.ReleaseBuffer(WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length),
                                           utf8.GetBuffer(most), most, nullptr, nullptr));
    return utf8;
}

FailureKind FailureOf(HRESULT result) {
    switch (static_cast<DWORD>(result)) {
    case WC_E_DTDPROHIBITED:
        return FailureKind::FeedHasDtd;
    case SC_E_MAXELEMENTDEPTH:
        return FailureKind::FeedTooDeep;
    case MX_E_ENCODING:
    case MX_E_ENCODINGSWITCH:
    case MX_E_ENCODINGSIGNATURE:
    case WC_E_ENCNAME:
        return FailureKind::FeedEncoding;
    default:
        return FailureKind::FeedNotWellFormed;
    }
}

bool ForwardElement(IXmlReader& reader, CXmlEventSink& sink) {
    const WCHAR* text = nullptr;
    UINT length = 0;
    reader.GetNamespaceUri(&text, &length);
    const CString namespaceUri = Utf8(text, length);
    reader.GetLocalName(&text, &length);
    const CString localName = Utf8(text, length);
    for (HRESULT more = reader.MoveToFirstAttribute(); more == S_OK;
         more = reader.MoveToNextAttribute()) {
        reader.GetNamespaceUri(&text, &length);
        const CString attributeNamespace = Utf8(text, length);
        reader.GetLocalName(&text, &length);
        const CString attributeName = Utf8(text, length);
        reader.GetValue(&text, &length);
        sink.Attribute(attributeNamespace, attributeName, Utf8(text, length));
    }
    reader.MoveToElement();
    return sink.StartElement(namespaceUri, localName);
}

// Where a node is in the document.
struct Place {
    UINT line = 0;
    UINT column = 0;

    bool After(const Place& other) const {
        return line > other.line || (line == other.line && column > other.column);
    }
};

// Hands the document's elements and their text to sink. Wine's reader does not fail at a
// document that is cut off: it hands out its last node again and again, or ends an open
// element at the place of its start tag. So a node that repeats the one before it, a tag
// that does not come after the tag before it, or more nodes than the document has bytes,
// mean the document was cut off; it then reports line 0.
XmlReadResult ReadEvents(IXmlReader& reader, CXmlEventSink& sink, int bytes) {
    int open = 0;
    XmlNodeType previousType = XmlNodeType_None;
    Place previous;
    Place lastTag;
    for (int nodes = 0; nodes <= bytes; ++nodes) {
        XmlNodeType type = XmlNodeType_None;
        const HRESULT result = reader.Read(&type);
        Place place;
        reader.GetLineNumber(&place.line);
        reader.GetLinePosition(&place.column);
        if (FAILED(result))
            return {FailureOf(result), static_cast<int>(place.line)};
        const bool tag = type == XmlNodeType_Element || type == XmlNodeType_EndElement;
        if (result == S_FALSE || (type == previousType && !place.After(previous)) ||
            (tag && !place.After(lastTag))) {
            break;
        }
        previousType = type;
        previous = place;
        lastTag = tag ? place : lastTag;
        const WCHAR* text = nullptr;
        UINT length = 0;
        if (type == XmlNodeType_Element) {
            if (!ForwardElement(reader, sink))
                return {FailureKind::None, static_cast<int>(place.line)};
            if (reader.IsEmptyElement())
                sink.EndElement();
            else
                ++open;
        } else if (type == XmlNodeType_EndElement) {
            sink.EndElement();
            // The root element has ended: what may follow it is no concern of ours.
            if (--open == 0)
                return {FailureKind::None, static_cast<int>(place.line)};
        } else if ((type == XmlNodeType_Text || type == XmlNodeType_CDATA ||
                    type == XmlNodeType_Whitespace) &&
                   SUCCEEDED(reader.GetValue(&text, &length))) {
            sink.Text(Utf8(text, length));
        }
    }
    return {FailureKind::FeedNotWellFormed, 0};
}

// The day in the user's short date format.
CString FormatShortDate(const FeedTime& time) {
    SYSTEMTIME day = {};
    day.wYear = static_cast<WORD>(time.year);
    day.wMonth = static_cast<WORD>(time.month);
    day.wDay = static_cast<WORD>(time.day);
    WCHAR text[80];
    const int length = GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &day, nullptr, text,
                                      static_cast<int>(sizeof text / sizeof text[0]));
    return Utf8(text, static_cast<UINT>(length > 1 ? length - 1 : 0));
}

} // namespace

void ReadFeed(const XmlDocument& document, const CString& address, FeedList& feed) {
    CFeedBuilder builder(address, FormatShortDate, feed);
    XmlReadResult read = {FailureKind::FeedReaderMissing, 0};
    auto* create = SystemFunctionOf<CreateXmlReaderFunction>("xmllite.dll", "CreateXmlReader");
    auto* createStream =
        SystemFunctionOf<CreateMemStreamFunction>("shlwapi.dll", "SHCreateMemStream");
    void* created = nullptr;
    if (create && createStream && SUCCEEDED(create(kIXmlReader, &created, nullptr))) {
        const InterfacePtr<IXmlReader> reader(static_cast<IXmlReader*>(created));
        // The stream holds a copy of the document.
        const CString& bytes = document.bytes;
        const InterfacePtr<IStream> stream(
            createStream(reinterpret_cast<const BYTE*>(bytes.str().data()), bytes.GetLength()));
        if (stream &&
            SUCCEEDED(
                reader->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit)) &&
            SUCCEEDED(reader->SetInput(stream.get()))) {
            read = ReadEvents(*reader, builder, bytes.GetLength());
            read.line = read.line > 0 ? read.line + document.firstLine - 1 : document.lastLine;
        }
    }
    builder.Finish(read);
}
