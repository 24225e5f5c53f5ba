#include "Base64Encoder.h"

#include <cstring>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
const unsigned char kNotInAlphabet = 254;
const unsigned char kPadding = 255;
const uint32_t kBufferStep = 4096;

struct ReverseTable {
    unsigned char value[256];

    // Built at compile time: a function-local table would need a thread-safe guard, and
    // the guard drags the threading runtime into the executable.
    constexpr ReverseTable() : value() {
        for (unsigned char& entry : value) {
            entry = kNotInAlphabet;
        }
        for (unsigned char index = 0; index < 64; ++index) {
            unsigned char ch = static_cast<unsigned char>(kAlphabet[index]);
            // Characters with the high bit set decode like their 7-bit counterparts.
            value[ch] = index;
            value[ch | 0x80] = index;
        }
        value[static_cast<unsigned char>('=')] = kPadding;
        value[static_cast<unsigned char>('=') | 0x80] = kPadding;
    }
};

constexpr ReverseTable kReverse;

const ReverseTable& Reverse() {
    return kReverse;
}

uint32_t GrownCapacity(uint32_t size) {
    return (size / kBufferStep + 1) * kBufferStep;
}

// Looks up the characters of one group; padding counts as a zero value and not as real.
Base64Group LookUpGroup(const char* text, uint32_t length) {
    Base64Group group = {{0, 0, 0, 0}, 0};
    for (uint32_t i = 0; i < length; ++i) {
        unsigned char value = Reverse().value[static_cast<unsigned char>(text[i])];
        if (value == kPadding) {
            value = 0;
        } else {
            group.count = static_cast<unsigned char>(i + 1);
        }
        group.bytes[i] = value;
    }
    return group;
}

} // namespace

void CBase64Encoder::EncodeString(const char* text) {
    if (text) {
        Encode(reinterpret_cast<const unsigned char*>(text),
               static_cast<uint32_t>(std::strlen(text)));
    }
}

void CBase64Encoder::DecodeString(const char* text) {
    if (text) {
        Decode(text, static_cast<uint32_t>(std::strlen(text)));
    }
}

void CBase64Encoder::Encode(const unsigned char* data, uint32_t length) {
    LoadData(data, length);
    // Twice the input always leaves room for the terminating zero of the text.
    PrepareTextBuffer(length * 2);
    uint32_t done = 0;
    while (m_dataLength - done > 0) {
        uint32_t count = m_dataLength - done < 3 ? m_dataLength - done : 3;
        Base64Group group = {{0, 0, 0, 0}, static_cast<unsigned char>(count)};
        std::memcpy(group.bytes, m_data.get() + done, count);
        EncodeGroup(group, m_text.get() + m_textLength);
        m_textLength += 4;
        done += count;
    }
}

void CBase64Encoder::Decode(const char* text, uint32_t length) {
    LoadText(text, length);
    PrepareDataBuffer(length);
    for (uint32_t done = 0; done < m_textLength; done += 4) {
        uint32_t count = m_textLength - done < 4 ? m_textLength - done : 4;
        Base64Group group = LookUpGroup(m_text.get() + done, count);
        m_dataLength += static_cast<uint32_t>(DecodeGroup(group, m_data.get() + m_dataLength));
    }
}

void CBase64Encoder::PrepareTextBuffer(uint32_t size) {
    if (m_textCapacity < size) {
        m_textCapacity = GrownCapacity(size);
        m_text.reset(new char[m_textCapacity]);
    }
    if (m_text) {
        std::memset(m_text.get(), 0, m_textCapacity);
    }
    m_textLength = 0;
}

void CBase64Encoder::PrepareDataBuffer(uint32_t size) {
    if (m_dataCapacity < size) {
        m_dataCapacity = GrownCapacity(size);
        m_data.reset(new unsigned char[m_dataCapacity]);
    }
    if (m_data) {
        std::memset(m_data.get(), 0, m_dataCapacity);
    }
    m_dataLength = 0;
}

void CBase64Encoder::LoadText(const char* text, uint32_t length) {
    PrepareTextBuffer(length);
    for (uint32_t i = 0; i < length; ++i) {
        if (!IsWhitespace(text[i])) {
            m_text[m_textLength++] = text[i];
        }
    }
}

void CBase64Encoder::LoadData(const unsigned char* data, uint32_t length) {
    PrepareDataBuffer(length);
    if (length > 0) {
        std::memcpy(m_data.get(), data, length);
    }
    m_dataLength = length;
}

void CBase64Encoder::EncodeGroup(const Base64Group& group, char* output) {
    unsigned char values[4];
    SplitGroup(values, group);
    for (int i = 0; i < 4; ++i) {
        output[i] = kAlphabet[values[i]];
    }
    if (group.count < 3) {
        output[3] = '=';
    }
    if (group.count < 2) {
        output[2] = '=';
    }
}

int CBase64Encoder::DecodeGroup(const Base64Group& group, unsigned char* output) {
    unsigned char bytes[3];
    JoinGroup(bytes, group);
    // n real values carry n - 1 whole bytes; a lone value carries none.
    int real = group.count > 1 ? group.count - 1 : 0;
    std::memcpy(output, bytes, static_cast<size_t>(real));
    return real;
}

void CBase64Encoder::SplitGroup(unsigned char* values, const Base64Group& group) {
    const unsigned char* b = group.bytes;
    values[0] = static_cast<unsigned char>(b[0] >> 2);
    values[1] = static_cast<unsigned char>(((b[0] & 0x03) << 4) | (b[1] >> 4));
    values[2] = static_cast<unsigned char>(((b[1] & 0x0F) << 2) | (b[2] >> 6));
    values[3] = static_cast<unsigned char>(b[2] & 0x3F);
}

void CBase64Encoder::JoinGroup(unsigned char* bytes, const Base64Group& group) {
    const unsigned char* v = group.bytes;
    bytes[0] = static_cast<unsigned char>((v[0] << 2) | ((v[1] >> 4) & 0x03));
    bytes[1] = static_cast<unsigned char>(((v[1] & 0x0F) << 4) | ((v[2] >> 2) & 0x0F));
    bytes[2] = static_cast<unsigned char>(((v[2] & 0x03) << 6) | (v[3] & 0x3F));
}

bool CBase64Encoder::IsWhitespace(char ch) const {
    unsigned char byte = static_cast<unsigned char>(ch);
    return (byte >= 7 && byte <= 13) || byte == 32;
}
