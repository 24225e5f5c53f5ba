#include "ProxySignIn.h"

#include <cctype>
#include <cstring>

namespace {

bool IsBase64Char(char ch) {
    // Upper and lower case letters alike, by the bit that tells them apart in ASCII.
    const unsigned letter = static_cast<unsigned char>(ch | 0x20) - 'a';
    const unsigned digit = static_cast<unsigned char>(ch) - '0';
    return letter < 26 || digit < 10 || ch == '+' || ch == '/';
}

// Base64 characters, then nothing but padding: a token that does not decode cleanly is no
// token at all.
bool IsBase64Token(const char* at, const char* end) {
    const char* start = at;
    while (at < end && IsBase64Char(*at))
        ++at;
    const bool characters = at > start;
    while (at < end && *at == '=')
        ++at;
    return characters && at == end;
}

// Whether the word of that length is the name, a word of letters and hyphens, in any case:
// the bit that tells the cases of an ASCII letter apart is left out.
bool SameWord(const char* word, int length, const char* name) {
    for (int i = 0; i < length; ++i) {
        if ((word[i] | 0x20) != (name[i] | 0x20))
            return false;
    }
    return !name[length];
}

// One comma-separated item of a Proxy-Authenticate value, from at to end: an offer "scheme
// [token or parameter]", or a further parameter "name=value" of the offer before it, which
// tells the agent nothing.
void ReadOffer(const char* at, const char* end, ProxyChallenge& challenge) {
    while (at < end && IsBlankChar(*at))
        ++at;
    while (end > at && IsBlankChar(end[-1]))
        --end;
    const char* word = at;
    while (at < end && !IsBlankChar(*at)) {
        if (*at++ == '=')
            return;
    }
    const int length = static_cast<int>(at - word);
    int scheme = 3;
    while (scheme > 0 && !SameWord(word, length, SchemeName(static_cast<SignInScheme>(scheme))))
        --scheme;
    if (scheme == 0 && challenge.unknown.IsEmpty())
        challenge.unknown.Append(word, length);
    if (scheme <= static_cast<int>(challenge.scheme))
        return;
    challenge.scheme = static_cast<SignInScheme>(scheme);
    while (at < end && IsBlankChar(*at))
        ++at;
    challenge.token.Empty();
    if (scheme > 1 && IsBase64Token(at, end))
        challenge.token.Append(at, static_cast<int>(end - at));
}

// The items of a value, from at to end, split at commas outside quoted strings.
void ReadOffers(const char* at, const char* end, ProxyChallenge& challenge) {
    bool quoted = false;
    for (const char* item = at;; ++at) {
        if (at == end || (*at == ',' && !quoted)) {
            ReadOffer(item, at, challenge);
            if (at == end)
                return;
            item = at + 1;
        } else if (*at == '"') {
            quoted = !quoted;
        } else if (*at == '\\' && quoted && at + 1 < end) {
            ++at;
        }
    }
}

} // namespace

bool AsksForProxySignIn(const CString& answer) {
    // "HTTP/1.0 407 Proxy Authentication Required": the code right after the first blank.
    const int space = answer.Find(' ');
    return space > 0 && answer.Find(" 407") == space && !std::isdigit(answer[space + 4]);
}

ProxyChallenge ReadProxyChallenge(const CString& answer) {
    static const char kHeader[] = "Proxy-Authenticate";
    const int headerLength = static_cast<int>(sizeof kHeader) - 1;
    ProxyChallenge challenge;
    // The lines after the status line, up to the blank line that ends the head.
    for (const char* line = std::strchr(answer, '\n'); line;) {
        const char* end = std::strchr(++line, '\n');
        const char* stop = end ? end : line + std::strlen(line);
        const char* at = line;
        while (at < stop && IsBlankChar(*at))
            ++at;
        if (at == stop)
            break;
        if (SameWord(at, headerLength, kHeader)) {
            at += headerLength;
            while (at < stop && IsBlankChar(*at))
                ++at;
            if (at < stop && *at == ':')
                ReadOffers(at + 1, stop, challenge);
        }
        line = end;
    }
    return challenge;
}

const char* SchemeName(SignInScheme scheme) {
    return scheme == SignInScheme::Negotiate ? "Negotiate"
           : scheme == SignInScheme::Ntlm    ? "NTLM"
                                             : "Basic";
}
