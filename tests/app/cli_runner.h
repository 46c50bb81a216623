// Runs the real tavrenix-cli binary with standard output and error kept apart.
#pragma once

#include "app_test_support.h"
#include "tests/support/cli_under_test.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tav::test {

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string quoted(const std::string& s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

inline std::string slurp(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs the program with the arguments; standard output and error are kept apart.
inline CliRun runCli(const TempDir& dir, const std::vector<std::string>& args)
{
    std::string command = quoted(cliUnderTest(TAVRENIX_CLI));
    for (const std::string& a : args)
        command += " " + quoted(a);
    const auto outFile = dir / "stdout.txt";
    const auto errFile = dir / "stderr.txt";
    command += " >" + quoted(outFile.string()) + " 2>" + quoted(errFile.string()) + " </dev/null";
    CliRun run;
    const int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = printedAsOnLinux(slurp(outFile));
    run.err = printedAsOnLinux(slurp(errFile));
    return run;
}

}  // namespace tav::test
