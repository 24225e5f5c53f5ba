#pragma once
// Splits a command line into arguments by the rules Windows programs use to parse theirs
// (CommandLineToArgvW): the program name ends at its closing quote or the first blank;
// later arguments end at a blank or tab outside quotes; 2n backslashes before a quote give n
// backslashes and the quote opens or closes quoting, 2n+1 give n backslashes and a literal
// quote; inside quotes, every third quote of a run is a literal quote. Portable, so the
// host tests and the fuzzer can check what a composed browser command line would pass.
#include <string>
#include <vector>

inline std::vector<std::string> SplitCommandLine(const std::string& line) {
    std::vector<std::string> args;
    size_t at = 0;
    std::string program;
    if (!line.empty() && line[0] == '"') {
        at = 1;
        while (at < line.size() && line[at] != '"')
            program += line[at++];
        if (at < line.size())
            ++at;
    } else {
        while (at < line.size() && line[at] != ' ' && line[at] != '\t')
            program += line[at++];
    }
    args.push_back(program);

    for (;;) {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t'))
            ++at;
        if (at >= line.size())
            return args;
        std::string arg;
        int quotes = 0;
        size_t backslashes = 0;
        while (at < line.size() && (quotes != 0 || (line[at] != ' ' && line[at] != '\t'))) {
            const char ch = line[at++];
            if (ch == '\\') {
                arg += ch;
                ++backslashes;
                continue;
            }
            if (ch != '"') {
                arg += ch;
                backslashes = 0;
                continue;
            }
            arg.resize(arg.size() - backslashes / 2);
            if (backslashes % 2 == 1) {
                arg.back() = '"';
            } else {
                ++quotes;
            }
            backslashes = 0;
            while (at < line.size() && line[at] == '"') {
                ++at;
                if (++quotes == 3) {
                    arg += '"';
                    quotes = 0;
                }
            }
            if (quotes == 2)
                quotes = 0;
        }
        args.push_back(arg);
    }
}
