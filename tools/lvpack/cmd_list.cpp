// lvpack list SETUP.exe
#include <iostream>
#include <string>

#include "tools/lvpack/Commands.h"
#include "tools/lvpack/Installer.h"

namespace lvpack::cli {

void RegisterListCommand(CLI::App& app, Outcome& outcome) {
  CLI::App* cmd = app.add_subcommand("list", "Print an installer's header and record table");
  auto installer = std::make_shared<std::string>();
  cmd->add_option("INSTALLER", *installer, "assembled installer")->required();
  cmd->callback([&outcome, installer] {
    std::cout << Listing(LoadInstaller(PathFromUtf8(*installer)));
    outcome.exitCode = kExitOk;
  });
}

}  // namespace lvpack::cli
