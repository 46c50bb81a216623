// The tavrenix-cli that the command-line tests run: the one built beside them, or the one named
// by TAVRENIX_CLI_UNDER_TEST, so that `./dev.sh test` can hold the optimised release program to
// the same bytes as the debug one, and `./dev.sh windows-test` the Windows program under Wine
// (TAVRENIX_CLI_UNDER_TEST_IS_WINDOWS=1).
#pragma once

#include <cstdlib>
#include <string>

namespace tav::test {

inline std::string cliUnderTest(const char* builtBeside)
{
    const char* chosen = std::getenv("TAVRENIX_CLI_UNDER_TEST");
    return chosen && *chosen ? std::string(chosen) : std::string(builtBeside);
}

// Whether the program under test is the Windows one. Its command line holds at most 32,767
// characters, and what it prints differs as Windows wants it: lines end in CR LF, and a file
// name is joined to its folder with a backslash.
inline bool cliUnderTestIsWindows()
{
    const char* windows = std::getenv("TAVRENIX_CLI_UNDER_TEST_IS_WINDOWS");
    return windows && std::string(windows) == "1";
}

// What the program printed, in the form the tests expect it on Linux.
inline std::string printedAsOnLinux(std::string text)
{
    if (!cliUnderTestIsWindows())
        return text;
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        plain += text[i] == '\\' ? '/' : text[i];
    }
    return plain;
}

}  // namespace tav::test
