// Browser command lines: whatever the registered template and the address, the composed line
// stays within its limit, and the address never adds, removes or splits an argument: the
// line splits into as many arguments as the same template with a plain address does.
// Input: the template, a zero byte, then the address; the first byte chooses whether the
// address gets an http:// scheme in front, so that most runs reach the composition.
#include "BrowserCommand.h"

#include "CommandLineSplit.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

bool Environment(const char* name, CString& value) {
    if (std::strcmp(name, "SystemRoot") == 0) {
        value = "C:\\windows";
        return true;
    }
    if (std::strcmp(name, "QUOTE") == 0) {
        value = "\"a b\\\"";
        return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const bool addScheme = data[0] & 1;
    const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
    const size_t split = input.find('\0');
    const std::string commandTemplate = input.substr(0, split);
    std::string url = split == std::string::npos ? std::string() : input.substr(split + 1);
    if (addScheme)
        url = "http://" + url;

    CString address;
    const BrowserCommandStatus prepared = PrepareWebAddress(CString(url), address);
    if (prepared == BrowserCommandStatus::Ok) {
        Require(address.GetLength() <= kMaxBrowserCommandLine);
        for (int i = 0; i < address.GetLength(); ++i) {
            const unsigned char ch = static_cast<unsigned char>(address[i]);
            Require(ch > 0x20 && ch < 0x7F && ch != '"' && ch != '\\');
        }
    }

    CString line;
    const BrowserCommandStatus composed =
        ComposeBrowserCommand(CString(commandTemplate), CString(url), Environment, line);
    Require(composed == prepared || composed == BrowserCommandStatus::TooLong);
    if (composed != BrowserCommandStatus::Ok)
        return 0;
    Require(line.GetLength() <= kMaxBrowserCommandLine);

    CString reference;
    if (ComposeBrowserCommand(CString(commandTemplate), "http://a/", Environment, reference) !=
        BrowserCommandStatus::Ok)
        return 0;
    Require(SplitCommandLine(line.str()).size() == SplitCommandLine(reference.str()).size());
    return 0;
}
