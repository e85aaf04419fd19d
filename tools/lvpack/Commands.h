// The subcommands of lvpack, one file each (cmd_<name>.cpp). See main.cpp.
#pragma once

#include <cstdint>
#include <string>

#include <CLI/CLI.hpp>

namespace lvpack::cli {

// What a subcommand's callback leaves for main(): the process exit code.
// Errors are thrown as lvpack::ToolError (message to stderr, exit code by kind).
struct Outcome {
  int exitCode = 0;
};

// Exit codes shared by every subcommand.
constexpr int kExitOk = 0;
constexpr int kExitProblems = 1;  // a damaged package, a signature that does not check out, or I/O failed
constexpr int kExitUsage = 2;     // the command line, a manifest or an input is not acceptable

constexpr char kVersion[] = "lvpack 1.1";

// The progress of long work on standard error, one line rewritten in place,
// only when standard error is a terminal. Done ends the line.
void ShowProgress(const std::string& step, std::uint64_t done, std::uint64_t total);
void EndProgress();
// A message line on standard error ("lvpack: ...").
void Say(const std::string& text);

// "Examples:" lines at the end of a subcommand's --help.
inline void SetExamples(CLI::App& command, const std::string& examples) {
  command.footer("\nExamples:\n" + examples);
}

void RegisterBuildCommand(CLI::App& app, Outcome& outcome);
void RegisterListCommand(CLI::App& app, Outcome& outcome);
void RegisterExtractCommand(CLI::App& app, Outcome& outcome);
void RegisterVerifyCommand(CLI::App& app, Outcome& outcome);
void RegisterSignCommand(CLI::App& app, Outcome& outcome);
// implode and explode of raw streams (cmd_codec.cpp).
void RegisterCodecCommands(CLI::App& app, Outcome& outcome);
void RegisterMovieCommand(CLI::App& app, Outcome& outcome);

}  // namespace lvpack::cli
