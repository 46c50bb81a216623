// The tavrenix-cli that the command-line tests run: the one built beside them, or the one named
// by TAVRENIX_CLI_UNDER_TEST, so that `./dev.sh test` can hold the optimised release program to
// the same bytes as the debug one.
#pragma once

#include <cstdlib>
#include <string>

namespace tav::test {

inline std::string cliUnderTest(const char* builtBeside)
{
    const char* chosen = std::getenv("TAVRENIX_CLI_UNDER_TEST");
    return chosen && *chosen ? std::string(chosen) : std::string(builtBeside);
}

}  // namespace tav::test
