// tavrenix-cli: the command-line front end. Parses the arguments with CLI11 and runs the one
// subcommand given; every error ends as "tavrenix-cli: error: ..." on standard error and a
// non-zero exit status (1 for a failed command, 2 for a usage error).
#include "app/cli/commands.h"

#include "platform/run_time_error.h"

#include <CLI/CLI.hpp>

#include <exception>
#include <iostream>
#include <string>

#if defined(__GLIBC__)
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#endif

namespace tav {

void printError(std::string_view message)
{
    std::cerr << kProgramName << ": error: " << message << '\n' << std::flush;
}

namespace {

std::string usageError(const std::string& what)
{
    return std::string(kProgramName) + ": error: " + what + "\nRun with --help for more information.\n";
}

#if defined(__GLIBC__) && defined(MADV_POPULATE_WRITE)
// Maps in the next `bytes` of the heap in one call. A fresh page costs a fault when first
// touched (about 10 us here), and under 1 us when mapped in with the others.
void prefaultHeap(std::size_t bytes)
{
    // A block below the mapping threshold comes from the heap's free end, growing the heap by
    // the top pad when it has to; the next allocations are carved from where it was.
    void* probe = std::malloc(64 << 10);
    const std::uintptr_t begin = reinterpret_cast<std::uintptr_t>(probe) & ~std::uintptr_t(4095);
    std::free(probe);
    const std::uintptr_t end = std::min(begin + bytes, reinterpret_cast<std::uintptr_t>(::sbrk(0)));
    if (probe && end > begin)
        ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
}
#endif

}  // namespace

}  // namespace tav

int main(int argc, char** argv)
{
    using namespace tav;
#if defined(__GLIBC__) && defined(M_ARENA_MAX)
    // One heap for every thread. The helper threads allocate little (a decoder's working
    // memory), and an arena of their own is fresh memory, a page fault for each page it
    // touches: the startup logo's run took 175 page faults with one arena per thread, 143 with
    // one in all, 0.35 ms less.
    mallopt(M_ARENA_MAX, 1);
    // The heap grows a megabyte at a time and keeps what is freed while the short run lasts:
    // the startup logo's run moved the heap's end 7 times, now 2 (each move is a system call
    // of some tens of microseconds here).
    mallopt(M_TOP_PAD, 1 << 20);
    mallopt(M_TRIM_THRESHOLD, 32 << 20);
#endif
#if defined(__GLIBC__) && defined(MADV_POPULATE_WRITE)
    // What a run allocates in small blocks: the startup logo's run touched about 220 KB of
    // heap from here on, in 54 page faults; mapped in at once, the run took 0.17 ms less
    // (120 interleaved runs).
    prefaultHeap(256 << 10);
#endif
    CLI::App app{"Makes the startup logo and loading-screen images of a game client from a picture.",
        std::string(kProgramName)};
    app.set_version_flag("--version", std::string(kProgramName) + " " + TAVRENIX_VERSION);
    // At most one command; none at all is reported after parsing, so that a misspelt command
    // is named as unexpected rather than reported as missing.
    app.require_subcommand(0, 1);
    app.failure_message([](const CLI::App*, const CLI::Error& e) { return usageError(e.what()); });

    addMakeCommand(app);
    addSeasonsCommand(app);
    addInfoCommand(app);
    addEncodeCommand(app);
    addWrapCommand(app);
    addUnwrapCommand(app);

    try {
        app.parse(argc, argv);
    } catch (const CLI::RuntimeError& e) {
        // A command that has already reported its failures.
        return e.get_exit_code();
    } catch (const CLI::ParseError& e) {
        const int status = app.exit(e);
        return status == 0 ? 0 : kExitUsage;
    } catch (const RunTimeError& e) {
        printError(e.what());
        return kExitFailure;
    } catch (const std::exception& e) {
        printError(e.what());
        return kExitFailure;
    }
    if (app.get_subcommands().empty()) {
        std::cerr << usageError("a command is required") << std::flush;
        return kExitUsage;
    }
    return 0;
}
