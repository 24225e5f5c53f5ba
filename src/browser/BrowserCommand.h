#pragma once
// Composition of the command line that starts the browser registered for web pages. Pure
// text work, so it is tested and fuzzed off Windows; BrowserWin.cpp reads the registry and
// starts the process.
#include "CString.h"

// Longest command line handed to the process creator, terminator excluded. Far beyond any
// browser's registered command with a real article address, and far below the 32767
// characters a process command line may hold.
constexpr int kMaxBrowserCommandLine = 2047;

enum class BrowserCommandStatus {
    Ok,
    NotWebAddress, // not an http:// or https:// address
    TooLong,       // the address or the command line would exceed kMaxBrowserCommandLine
};

// Looks up an environment variable by its exact name; false when it does not exist.
using EnvironmentLookup = bool (*)(const char* name, CString& value);

// Makes url safe to hand to a browser. Only http:// and https:// addresses (scheme in any
// case) are accepted. Blanks and control characters around the address are dropped, as a
// browser drops them; inside it, control characters, blanks, '"', '<', '>', '\', '^', '`',
// '{', '|', '}', bytes above 0x7E and any '%' that does not start a %XX escape are
// percent-encoded. The result can neither end an argument of a command line nor start a
// variable reference.
BrowserCommandStatus PrepareWebAddress(const CString& url, CString& address);

// Builds the command line from the registered template and url. The template's first "%1"
// and its first "%L" are the places of the address; with neither, a blank and the address
// are appended. Environment variables (%NAME%) are expanded in the template only; the
// address, prepared by PrepareWebAddress, goes in afterwards unchanged. The template is
// read up to its first zero byte.
BrowserCommandStatus ComposeBrowserCommand(const CString& commandTemplate, const CString& url,
                                           EnvironmentLookup lookup, CString& commandLine);
