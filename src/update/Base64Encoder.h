#pragma once
// Base64 with the standard alphabet and "=" padding, no line breaks. Every step is a
// virtual operation of its own so that a variant can replace one step alone. The input and
// the output live in two buffers that grow in steps of 4096 bytes and never shrink.
#include <cstdint>
#include <memory>

struct Base64Group {
    unsigned char bytes[4];
    unsigned char count; // how many of the bytes are real
};

class CBase64Encoder {
public:
    CBase64Encoder() = default;
    virtual ~CBase64Encoder() = default;
    CBase64Encoder(const CBase64Encoder&) = delete;
    CBase64Encoder& operator=(const CBase64Encoder&) = delete;

    virtual void EncodeString(const char* text);
    virtual void Encode(const unsigned char* data, uint32_t length);
    virtual void DecodeString(const char* text);
    virtual void Decode(const char* text, uint32_t length);
    // Null until a buffer has been allocated.
    virtual const unsigned char* GetDecodedData() const { return m_data.get(); }
    // Zero-terminated after Encode of one byte or more.
    virtual const char* GetEncodedText() const { return m_text.get(); }

    uint32_t DecodedLength() const { return m_dataLength; }
    uint32_t EncodedLength() const { return m_textLength; }
    uint32_t DataCapacity() const { return m_dataCapacity; }
    uint32_t TextCapacity() const { return m_textCapacity; }

protected:
    virtual void PrepareTextBuffer(uint32_t size);
    virtual void PrepareDataBuffer(uint32_t size);
    virtual void LoadText(const char* text, uint32_t length);
    virtual void LoadData(const unsigned char* data, uint32_t length);
    virtual void EncodeGroup(const Base64Group& group, char* output);
    // Writes the bytes of a group of 6-bit values and returns how many of them are real.
    virtual int DecodeGroup(const Base64Group& group, unsigned char* output);
    virtual void SplitGroup(unsigned char* values, const Base64Group& group);
    virtual void JoinGroup(unsigned char* bytes, const Base64Group& group);
    virtual bool IsWhitespace(char ch) const;

private:
    std::unique_ptr<unsigned char[]> m_data;
    std::unique_ptr<char[]> m_text;
    uint32_t m_dataCapacity = 0;
    uint32_t m_textCapacity = 0;
    uint32_t m_dataLength = 0;
    uint32_t m_textLength = 0;
};
