// The subcommands of tavrenix-cli. Each registers itself on the application with its options
// and a callback; a callback that fails for some of its work reports each failure on standard
// error as it goes and then throws CommandFailed, so the program exits non-zero after doing
// whatever it could.
#pragma once

#include <CLI/CLI.hpp>

#include <string_view>

namespace tav {

// Name of the program in every message.
inline constexpr std::string_view kProgramName = "tavrenix-cli";
// Exit status of a command that failed for some of its work (usage errors give 2).
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Thrown by a command callback after it has reported its failures.
class CommandFailed : public CLI::RuntimeError {
public:
    CommandFailed() : CLI::RuntimeError(kExitFailure) {}
};

// Refuses an empty file or folder name as a usage error that says so; without it an empty
// name reached the file system and came back as an error that names nothing.
inline const CLI::Validator kNonEmptyName(
    [](std::string& name) { return name.empty() ? std::string("the name is empty") : std::string(); }, "NAME");

// Writes "tavrenix-cli: error: <message>" to standard error.
void printError(std::string_view message);

// tavrenix-cli info PICTURE...
void addInfoCommand(CLI::App& app);

// tavrenix-cli encode [--quality Q] [--sampling H1xV1,H2xV2,H3xV3 | --grey] [--comment TEXT] PICTURE OUT
void addEncodeCommand(CLI::App& app);

// tavrenix-cli make --season N (--startup-logo OUT.ozj | --loading-screen FOLDER) [--work-dir DIR] PICTURE
void addMakeCommand(CLI::App& app);

// tavrenix-cli seasons
void addSeasonsCommand(CLI::App& app);

// tavrenix-cli wrap JPEG OZJ, tavrenix-cli unwrap OZJ JPEG
void addWrapCommand(CLI::App& app);
void addUnwrapCommand(CLI::App& app);

}  // namespace tav
