#include "Base64Encoder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Encoded(const std::string& data) {
    CBase64Encoder encoder;
    encoder.Encode(reinterpret_cast<const unsigned char*>(data.data()),
                   static_cast<uint32_t>(data.size()));
    return encoder.GetEncodedText() ? encoder.GetEncodedText() : "<null>";
}

std::string Decoded(const std::string& text) {
    CBase64Encoder encoder;
    encoder.DecodeString(text.c_str());
    const char* data = reinterpret_cast<const char*>(encoder.GetDecodedData());
    return data ? std::string(data, encoder.DecodedLength()) : "<null>";
}

TEST(Base64, EncodesWithPadding) {
    struct Row {
        std::string data, text;
    } rows[] = {
        {"", "<null>"},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foobar", "Zm9vYmFy"},
        {":", "Og=="},
        {"agent:s3cret", "YWdlbnQ6czNjcmV0"},
        {std::string("\0\xff\x10", 3), "AP8Q"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.text, Encoded(row.data)) << row.data;
    }
}

TEST(Base64, DecodesSkippingWhitespaceAndPadding) {
    struct Row {
        std::string text, data;
    } rows[] = {
        {"Zg==", "f"},
        {"Zm8=", "fo"},
        {"Zm9v", "foo"},
        {"Zm9v\r\n Ym\tFy", "foobar"},
        {"Zm9vYg", "foob"}, // padding left out
        {"YWdlbnQ6czNjcmV0", "agent:s3cret"},
        {"\xda\xed\xb9\xf6", "foo"}, // high bit set on each character
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.data, Decoded(row.text)) << row.text;
    }
}

TEST(Base64, BuffersGrowInSteps) {
    CBase64Encoder encoder;
    std::string big(3000, 'a');
    encoder.Encode(reinterpret_cast<const unsigned char*>(big.data()), 3000);
    EXPECT_EQ(8192u, encoder.TextCapacity()); // asks for 6000
    EXPECT_EQ(4096u, encoder.DataCapacity());
    EXPECT_EQ(4000u, encoder.EncodedLength());

    // A shorter encoding reuses the buffers and leaves nothing of the earlier text behind.
    encoder.EncodeString("f");
    EXPECT_EQ(8192u, encoder.TextCapacity());
    EXPECT_STREQ("Zg==", encoder.GetEncodedText());

    CBase64Encoder fresh;
    std::string exact(4096, 'b');
    fresh.Encode(reinterpret_cast<const unsigned char*>(exact.data()), 4096);
    EXPECT_EQ(8192u, fresh.DataCapacity());
    EXPECT_EQ(12288u, fresh.TextCapacity());
}

} // namespace
