// lvpack: the screen-saver maker's tool that assembles installers (an installer
// image with a package appended) and lists, extracts, verifies and signs them.
//
// Subcommands. Each lives in its own file cmd_<name>.cpp and exports one
// function, declared in Commands.h:
//
//   void Register<Name>Command(CLI::App& app, Outcome& outcome) {
//     CLI::App* cmd = app.add_subcommand("<name>", "one-line description");
//     ... options bound to variables captured by the callback ...
//     SetExamples(*cmd, "  lvpack <name> ...\n");
//     cmd->callback([&outcome, ...] { do the work; outcome.exitCode = ...; });
//   }
//
// The callback throws lvpack::ToolError for anything that goes wrong (main
// prints the message, exit code 2 for what the user gave, 1 for I/O and
// damaged installers) and sets outcome.exitCode otherwise. To add a
// subcommand: write the file, declare the function in Commands.h, call it
// below, and list the file in tools/lvpack/CMakeLists.txt.
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <new>
#include <sstream>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "tools/lvpack/Commands.h"
#include "tools/lvpack/FileIo.h"
#include "tools/lvpack/Interrupt.h"
#include "tools/lvpack/ToolError.h"

namespace lvpack::cli {
namespace {

const char* const kSubcommands = "build, list, verify, extract, sign, movie, implode, explode";

bool StderrIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(fileno(stderr)) != 0;
#endif
}

struct ProgressState {
  bool shown = false;
  std::string step;
  int percent = -1;
  std::size_t width = 0;  // of the line on screen
};
ProgressState gProgress;

// Each line of a message gets the tool's name.
void PrintError(const std::string& message) {
  EndProgress();
  std::istringstream lines(message);
  for (std::string line; std::getline(lines, line);) std::cerr << "lvpack: " << line << "\n";
}

bool IsKnownSubcommand(const std::string& word) {
  std::istringstream names(kSubcommands);
  for (std::string name; std::getline(names >> std::ws, name, ',');)
    if (name == word) return true;
  return false;
}

}  // namespace

void ShowProgress(const std::string& step, std::uint64_t done, std::uint64_t total) {
  if (!StderrIsTerminal() || total == 0) return;
  const int percent = static_cast<int>(done * 100 / total);
  if (step == gProgress.step && percent == gProgress.percent) return;
  std::string line = "lvpack: " + step + ": " + std::to_string(percent) + "%";
  const std::size_t width = line.size();
  if (line.size() < gProgress.width) line.append(gProgress.width - line.size(), ' ');  // wipe the longer one
  gProgress = {true, step, percent, width};
  std::cerr << "\r" << line << std::flush;
}

void EndProgress() {
  if (!gProgress.shown) return;
  std::cerr << "\n";
  gProgress = ProgressState{};
}

void Say(const std::string& text) {
  EndProgress();
  std::cerr << "lvpack: " << text << "\n";
}

}  // namespace lvpack::cli

int main(int argc, char** argv) {
  using namespace lvpack::cli;
  lvpack::InstallInterruptCleanup();
  CLI::App app{"lvpack: assemble, list, verify, extract and sign screen-saver installers"};
  app.require_subcommand(1, 1);
  app.set_version_flag("--version", kVersion);
  SetExamples(app,
              "  lvpack build DemoSaver.json -o DemoSaver-setup.exe\n"
              "  lvpack verify DemoSaver-setup.exe\n"
              "  lvpack sign DemoSaver-setup.exe --cert maker.pem --key maker.key\n"
              "Exit codes: 0 done; 1 damaged installer, signature or I/O failure; 2 usage.\n");
  Outcome outcome;

  RegisterBuildCommand(app, outcome);
  RegisterListCommand(app, outcome);
  RegisterVerifyCommand(app, outcome);
  RegisterExtractCommand(app, outcome);
  RegisterSignCommand(app, outcome);
  RegisterMovieCommand(app, outcome);
  RegisterCodecCommands(app, outcome);

  // CLI11 would call an unknown first word "a subcommand is required".
  if (argc > 1 && argv[1][0] != '-' && !IsKnownSubcommand(argv[1])) {
    PrintError(std::string("unknown subcommand ") + argv[1] + "; use one of: " + kSubcommands +
               " (lvpack --help)");
    return kExitUsage;
  }

  int code = kExitOk;
  try {
    app.parse(argc, argv);
    code = outcome.exitCode;
  } catch (const CLI::ParseError& e) {
    code = app.exit(e) == 0 ? kExitOk : kExitUsage;
  } catch (const lvpack::ToolError& e) {
    PrintError(e.what());
    code = e.kind() == lvpack::ErrorKind::kIo ? kExitProblems : kExitUsage;
  } catch (const std::filesystem::filesystem_error& e) {
    PrintError(lvpack::PathText(e.path1()) + ": " + e.code().message());
    code = kExitProblems;
  } catch (const std::bad_alloc&) {
    PrintError("out of memory");
    code = kExitProblems;
  } catch (const std::exception&) {
    PrintError("internal error; nothing was written");
    code = kExitProblems;
  }
  EndProgress();
  return code;
}
