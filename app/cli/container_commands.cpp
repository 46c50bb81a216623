// tavrenix-cli wrap JPEG OZJ and tavrenix-cli unwrap OZJ JPEG: the container on its own.
// wrap keeps its JPEG; unwrap checks that the container holds a JPEG behind a copy of its own
// first 24 bytes. The output is replaced whole or not at all.
#include "app/cli/commands.h"

#include "app/ozj_container.h"
#include "platform/program_environment.h"
#include "platform/file_access.h"
#include "platform/run_time_error.h"

#include <iostream>
#include <memory>
#include <string>

namespace tav {

namespace {

struct Paths {
    std::string input;
    std::string output;
};

void run(const Paths& p, bool wrap)
{
    try {
        const std::vector<std::uint8_t> in = readWholeFile(pathFromUtf8(p.input));
        if (wrap && (in.size() < 2 || in[0] != 0xFF || in[1] != 0xD8))
            throw RunTimeError(kErrBadFileFormat, "not a JPEG file (no start-of-image marker)");
        const std::vector<std::uint8_t> out = wrap ? wrapOzj(in) : unwrapOzj(in);
        replaceFile(pathFromUtf8(p.output), out);
        std::cout << p.output << " (" << out.size() << " bytes)\n";
    } catch (const RunTimeError& e) {
        const std::string what = e.what();
        // File errors already name their file; format errors are about the input.
        printError(what.rfind(p.input, 0) == 0 || what.rfind(p.output, 0) == 0 ? what : p.input + ": " + what);
        throw CommandFailed();
    }
}

void addContainerCommand(CLI::App& app, const char* name, const char* description, const char* in, const char* out,
    bool wrap)
{
    auto paths = std::make_shared<Paths>();
    CLI::App* command = app.add_subcommand(name, description);
    command->add_option(in, paths->input)->required()->check(kNonEmptyName);
    command->add_option(out, paths->output)->required()->check(kNonEmptyName);
    command->callback([paths, wrap] { run(*paths, wrap); });
}

}  // namespace

void addWrapCommand(CLI::App& app)
{
    addContainerCommand(app, "wrap", "Wrap a JPEG file into an OZJ container (the JPEG is kept)", "JPEG", "OZJ", true);
}

void addUnwrapCommand(CLI::App& app)
{
    addContainerCommand(app, "unwrap", "Take the JPEG out of an OZJ container", "OZJ", "JPEG", false);
}

}  // namespace tav
