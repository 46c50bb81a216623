// tavrenix-cli: the command-line front end. Parses the arguments with CLI11 and runs the one
// subcommand given; every error ends as "tavrenix-cli: error: ..." on standard error and a
// non-zero exit status (1 for a failed command, 2 for a usage error).
#include "app/cli/commands.h"

#include "platform/program_environment.h"
#include "platform/run_time_error.h"

#include <CLI/CLI.hpp>

#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

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

// A file whose name begins with a dash is read as an option; when the arguments did not parse
// and one of them names such a file, say how to give it.
void hintAtDashedFileNames(const std::vector<std::string>& arguments)
{
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--")
            return;
        std::error_code ec;
        if (argument.size() > 1 && argument[0] == '-' && std::filesystem::exists(pathFromUtf8(argument), ec))
            std::cerr << kProgramName << ": " << argument << " was taken for an option; give a file whose name "
                      << "begins with a dash after -- or as ./" << argument << '\n';
    }
}

}  // namespace

}  // namespace tav

int main(int argc, char** argv)
{
    using namespace tav;
    useUtf8Console();
    const std::vector<std::string> arguments = programArguments(argc, argv);
    std::vector<const char*> argumentTexts;
    for (const std::string& argument : arguments)
        argumentTexts.push_back(argument.c_str());
    CLI::App app{"Makes the startup logo and loading-screen images of a game client from a picture.",
        std::string(kProgramName)};
    app.set_version_flag("--version", std::string(kProgramName) + " " + TAVRENIX_VERSION);
    // The same options everywhere: CLI11 on Windows would otherwise read "/name" as an option,
    // and a path written with forward slashes with it. Subcommands inherit the setting.
    app.allow_windows_style_options(false);
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
        app.parse(int(argumentTexts.size()), argumentTexts.data());
    } catch (const CLI::RuntimeError& e) {
        // A command that has already reported its failures.
        return e.get_exit_code();
    } catch (const CLI::ParseError& e) {
        const int status = app.exit(e);
        if (status == 0)
            return 0;
        hintAtDashedFileNames(arguments);
        std::cerr << std::flush;
        return kExitUsage;
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
