// The subcommands of lvpack, one file each (cmd_<name>.cpp). See main.cpp.
#pragma once

#include <CLI/CLI.hpp>

namespace lvpack::cli {

// What a subcommand's callback leaves for main(): the process exit code.
// Errors are thrown as lvpack::ToolError (message to stderr, exit code 2).
struct Outcome {
  int exitCode = 0;
};

// Exit codes shared by every subcommand.
constexpr int kExitOk = 0;
constexpr int kExitProblems = 1;  // verify found problems
constexpr int kExitError = 2;     // usage, manifest or input error; nothing written

// Whether stderr is a terminal: progress lines go there and only there.
bool ProgressWanted();
void ShowProgress(const std::string& text);

void RegisterBuildCommand(CLI::App& app, Outcome& outcome);
void RegisterListCommand(CLI::App& app, Outcome& outcome);
void RegisterExtractCommand(CLI::App& app, Outcome& outcome);
void RegisterVerifyCommand(CLI::App& app, Outcome& outcome);
// implode and explode of raw streams (cmd_codec.cpp).
void RegisterCodecCommands(CLI::App& app, Outcome& outcome);
void RegisterMovieCommand(CLI::App& app, Outcome& outcome);

}  // namespace lvpack::cli
