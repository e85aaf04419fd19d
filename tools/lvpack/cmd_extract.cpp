// lvpack extract SETUP.exe [SLOT...] -d DIR [--unpack-data]
#include <iostream>
#include <string>
#include <vector>

#include "tools/lvpack/Commands.h"
#include "tools/lvpack/Extract.h"

namespace lvpack::cli {

void RegisterExtractCommand(CLI::App& app, Outcome& outcome) {
  CLI::App* cmd = app.add_subcommand(
      "extract", "Write records' files (compressed ones exploded) into a folder");
  auto installer = std::make_shared<std::string>();
  auto slots = std::make_shared<std::vector<int>>();
  auto folder = std::make_shared<std::string>();
  auto unpack = std::make_shared<bool>(false);
  cmd->add_option("INSTALLER", *installer, "assembled installer")->required();
  cmd->add_option("SLOT", *slots, "slot numbers (default: every non-empty slot)")
      ->check(CLI::Range(0, 10));
  cmd->add_option("-d,--dir", *folder, "output folder (created if missing)")->required();
  cmd->add_flag("-u,--unpack-data", *unpack,
                "also unpack the data file's entries and settings into <name>.d");
  cmd->callback([&outcome, installer, slots, folder, unpack] {
    const InstallerFile file = LoadInstaller(PathFromUtf8(*installer));
    ExtractOptions options;
    options.slots = *slots;
    options.unpackDataFile = *unpack;
    for (const fs::path& p : ExtractInstaller(file, PathFromUtf8(*folder), options))
      std::cout << PathText(p) << "\n";
    outcome.exitCode = kExitOk;
  });
}

}  // namespace lvpack::cli
