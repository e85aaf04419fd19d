// lvpack: the screen-saver maker's tool that assembles installers (an installer
// image with a package appended) and lists, extracts and verifies them.
//
// Subcommands. Each lives in its own file cmd_<name>.cpp and exports one
// function, declared in Commands.h:
//
//   void Register<Name>Command(CLI::App& app, Outcome& outcome) {
//     CLI::App* cmd = app.add_subcommand("<name>", "one-line description");
//     ... options bound to variables captured by the callback ...
//     cmd->callback([&outcome, ...] { do the work; outcome.exitCode = ...; });
//   }
//
// The callback throws lvpack::ToolError for anything the user got wrong (main
// prints the message and exits with 2) and sets outcome.exitCode otherwise.
// To add a subcommand: write the file, declare the function in Commands.h,
// call it below, and list the file in tools/lvpack/CMakeLists.txt.
#include <cstdio>
#include <iostream>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "tools/lvpack/Commands.h"
#include "tools/lvpack/ToolError.h"

namespace lvpack::cli {

bool ProgressWanted() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(fileno(stderr)) != 0;
#endif
}

void ShowProgress(const std::string& text) {
  if (ProgressWanted()) std::cerr << "lvpack: " << text << "\n";
}

}  // namespace lvpack::cli

int main(int argc, char** argv) {
  using namespace lvpack::cli;
  CLI::App app{"lvpack: assemble, list, extract and verify screen-saver installers"};
  app.require_subcommand(1, 1);
  Outcome outcome;

  RegisterBuildCommand(app, outcome);
  RegisterListCommand(app, outcome);
  RegisterExtractCommand(app, outcome);
  RegisterVerifyCommand(app, outcome);
  RegisterCodecCommands(app, outcome);
  RegisterMovieCommand(app, outcome);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? kExitOk : kExitError;
  } catch (const lvpack::ToolError& e) {
    std::cerr << "lvpack: " << e.what() << "\n";
    return kExitError;
  } catch (const std::exception& e) {
    std::cerr << "lvpack: " << e.what() << "\n";
    return kExitError;
  }
  return outcome.exitCode;
}
