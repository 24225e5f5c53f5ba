// Base64 round trip: any bytes encode to alphabet text of the right length that decodes
// back to the same bytes; decoding arbitrary text never overruns the buffers.
#include "Base64Encoder.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

bool IsBase64Char(char ch) {
    return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') ||
           ch == '+' || ch == '/' || ch == '=';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint32_t length = static_cast<uint32_t>(size);
    CBase64Encoder encoder;
    encoder.Encode(data, length);
    uint32_t textLength = (length + 2) / 3 * 4;
    Require(encoder.EncodedLength() == textLength);
    if (length > 0) {
        const char* text = encoder.GetEncodedText();
        Require(std::strlen(text) == textLength);
        for (uint32_t i = 0; i < textLength; ++i) {
            Require(IsBase64Char(text[i]));
        }
        CBase64Encoder decoder;
        decoder.DecodeString(text);
        Require(decoder.DecodedLength() == length);
        Require(std::memcmp(decoder.GetDecodedData(), data, length) == 0);
    }

    // The same object, reused on the input read as text.
    encoder.Decode(reinterpret_cast<const char*>(data), length);
    Require(encoder.DecodedLength() <= length);
    return 0;
}
