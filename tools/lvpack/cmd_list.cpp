// lvpack list SETUP.exe [--json]
#include <iostream>
#include <string>

#include "tools/lvpack/Commands.h"
#include "tools/lvpack/Installer.h"

namespace lvpack::cli {

void RegisterListCommand(CLI::App& app, Outcome& outcome) {
  CLI::App* cmd = app.add_subcommand("list", "Print an installer's header and record table");
  auto installer = std::make_shared<std::string>();
  auto json = std::make_shared<bool>(false);
  cmd->add_option("INSTALLER", *installer, "assembled installer")->required();
  cmd->add_flag("--json", *json, "one JSON object (schema in the README)");
  SetExamples(*cmd, "  lvpack list DemoSaver-setup.exe\n  lvpack list DemoSaver-setup.exe --json\n");
  cmd->callback([&outcome, installer, json] {
    const InstallerFile file = LoadInstaller(PathFromUtf8(*installer));
    std::cout << (*json ? ListingJson(file) : Listing(file));
    outcome.exitCode = kExitOk;
  });
}

}  // namespace lvpack::cli
