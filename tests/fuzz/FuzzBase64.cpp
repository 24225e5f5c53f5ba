// Base64 round trip: any bytes encode to alphabet text of the right length that decodes
// back to the same bytes; decoding arbitrary text never overruns the buffers. The input read
// as a proxy's 407: a sign-in token that the challenge reader takes decodes to as many bytes
// as its characters carry, and those bytes survive another round trip.
#include "Base64Encoder.h"
#include "ResponseParser.h"

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

void CheckChallenge(const uint8_t* data, size_t size) {
    const ProxyChallenge challenge =
        ReadProxyChallenge(CString(reinterpret_cast<const char*>(data), static_cast<int>(size)));
    if (challenge.token.IsEmpty()) {
        return;
    }
    Require(challenge.scheme >= SignInScheme::Ntlm);
    uint32_t characters = 0;
    for (int i = 0; i < challenge.token.GetLength(); ++i) {
        Require(IsBase64Char(challenge.token[i]));
        characters += challenge.token[i] != '=';
    }
    CBase64Encoder decoder;
    decoder.DecodeString(challenge.token);
    const uint32_t rest = characters % 4;
    Require(decoder.DecodedLength() == characters / 4 * 3 + (rest > 1 ? rest - 1 : 0));
    if (decoder.DecodedLength() == 0) {
        return;
    }
    CBase64Encoder encoder;
    encoder.Encode(decoder.GetDecodedData(), decoder.DecodedLength());
    CBase64Encoder again;
    again.DecodeString(encoder.GetEncodedText());
    Require(again.DecodedLength() == decoder.DecodedLength());
    Require(std::memcmp(again.GetDecodedData(), decoder.GetDecodedData(),
                        decoder.DecodedLength()) == 0);
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
    CheckChallenge(data, size);
    return 0;
}
