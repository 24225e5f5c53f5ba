#include "DialogTemplate.h"

#include <cctype>

namespace {

constexpr uint32_t kSetFont = 0x40; // DS_SETFONT

// Little-endian reader over a resource's bytes; every read checks the bounds and a failed
// read leaves the reader failed.
class Reader {
public:
    Reader(const void* data, size_t size)
        : m_data(static_cast<const unsigned char*>(data)), m_size(data ? size : 0) {}

    bool ok() const { return m_ok; }
    size_t offset() const { return m_offset; }

    uint16_t word() {
        if (!need(2))
            return 0;
        const uint16_t value = static_cast<uint16_t>(m_data[m_offset] | m_data[m_offset + 1] << 8);
        m_offset += 2;
        return value;
    }

    uint32_t dword() {
        const uint32_t low = word();
        return low | static_cast<uint32_t>(word()) << 16;
    }

    int16_t coordinate() { return static_cast<int16_t>(word()); }

    // A zero-terminated UTF-16 string; the texts of our resources are ASCII.
    std::string wideString() {
        std::string text;
        for (uint16_t ch = word(); m_ok && ch != 0; ch = word())
            text += ch < 0x80 ? static_cast<char>(ch) : '?';
        return text;
    }

    // Either 0xFFFF and an ordinal, or a string (empty when the first word is zero).
    std::string stringOrOrdinal() {
        if (peekWord() == 0xFFFF) {
            word();
            return "#" + std::to_string(word());
        }
        return wideString();
    }

    std::string bytes(size_t count) {
        if (!need(count))
            return std::string();
        std::string text(reinterpret_cast<const char*>(m_data + m_offset), count);
        m_offset += count;
        return text;
    }

    void skip(size_t count) { bytes(count); }

    void alignToDword() { skip((4 - m_offset % 4) % 4); }

private:
    uint16_t peekWord() const {
        if (m_offset + 2 > m_size)
            return 0;
        return static_cast<uint16_t>(m_data[m_offset] | m_data[m_offset + 1] << 8);
    }

    bool need(size_t count) {
        if (!m_ok || count > m_size - m_offset)
            m_ok = false;
        return m_ok;
    }

    const unsigned char* m_data;
    size_t m_size;
    size_t m_offset = 0;
    bool m_ok = true;
};

bool SameName(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return i == a.size() && !b[i];
}

// The predefined control classes may be stored as atoms or as names in any case.
std::string ClassName(const std::string& stored) {
    static const char* const names[] = {"Button",  "Edit",      "Static",
                                        "ListBox", "ScrollBar", "ComboBox"};
    for (unsigned atom = 0x80; atom <= 0x85; ++atom) {
        if (stored == "#" + std::to_string(atom) || SameName(stored, names[atom - 0x80]))
            return names[atom - 0x80];
    }
    return stored;
}

} // namespace

bool ParseDialogTemplate(const void* data, size_t size, DialogTemplate& out) {
    Reader in(data, size);
    out = DialogTemplate();
    out.style = in.dword();
    // An extended template starts with the words 1 and 0xFFFF where the style would be.
    if (out.style == 0xFFFF0001)
        return false;
    out.exStyle = in.dword();
    const unsigned count = in.word();
    out.x = in.coordinate();
    out.y = in.coordinate();
    out.cx = in.coordinate();
    out.cy = in.coordinate();
    out.menu = in.stringOrOrdinal();
    out.className = in.stringOrOrdinal();
    out.title = in.wideString();
    if (out.style & kSetFont) {
        out.pointSize = in.word();
        out.faceName = in.wideString();
    }
    for (unsigned i = 0; i < count && in.ok(); ++i) {
        in.alignToDword();
        DialogItem item;
        item.style = in.dword();
        item.exStyle = in.dword();
        item.x = in.coordinate();
        item.y = in.coordinate();
        item.cx = in.coordinate();
        item.cy = in.coordinate();
        item.id = static_cast<int16_t>(in.word());
        item.className = ClassName(in.stringOrOrdinal());
        item.text = in.stringOrOrdinal();
        item.extraBytes = in.word();
        in.skip(item.extraBytes);
        out.items.push_back(item);
    }
    return in.ok();
}

bool ParseDialogInit(const void* data, size_t size, std::vector<DialogInitRecord>& out) {
    Reader in(data, size);
    out.clear();
    for (;;) {
        const int controlId = in.word();
        if (!in.ok())
            return false;
        if (controlId == 0)
            return true;
        DialogInitRecord record;
        record.controlId = controlId;
        record.message = in.word();
        const uint32_t length = in.dword();
        std::string text = in.bytes(length);
        if (!in.ok() || text.empty() || text.back() != '\0')
            return false;
        text.pop_back();
        if (text.find('\0') != std::string::npos)
            return false;
        record.text = text;
        out.push_back(record);
    }
}
