// lvpack extract SETUP.exe [SLOT|ROLE...] -d DIR [--unpack-data]
#include <iostream>
#include <string>
#include <vector>

#include "tools/lvpack/Commands.h"
#include "tools/lvpack/Extract.h"
#include "tools/lvpack/Manifest.h"
#include "tools/lvpack/ToolError.h"

namespace lvpack::cli {

void RegisterExtractCommand(CLI::App& app, Outcome& outcome) {
  CLI::App* cmd = app.add_subcommand(
      "extract", "Write records' files (compressed ones exploded) into a folder; nothing from a "
                 "damaged installer");
  auto installer = std::make_shared<std::string>();
  auto slots = std::make_shared<std::vector<std::string>>();
  auto folder = std::make_shared<std::string>();
  auto unpack = std::make_shared<bool>(false);
  cmd->add_option("INSTALLER", *installer, "assembled installer")->required();
  cmd->add_option("SLOT", *slots,
                  "slot numbers 0-10 or role names (" + RoleList() + "); default: every non-empty slot");
  cmd->add_option("-d,--dir", *folder, "output folder (created if missing)")->required();
  cmd->add_flag("-u,--unpack-data", *unpack,
                "also unpack the data file's entries and saver.dat into \"<saverName> dir\"");
  SetExamples(*cmd, "  lvpack extract DemoSaver-setup.exe -d out\n"
                    "  lvpack extract DemoSaver-setup.exe saver engine1 9 -d out\n"
                    "  lvpack extract DemoSaver-setup.exe installerImage -d image   (the bare image)\n"
                    "  lvpack extract DemoSaver-setup.exe dataFile -u -d out\n");
  cmd->callback([&outcome, installer, slots, folder, unpack] {
    ExtractOptions options;
    for (const std::string& word : *slots) {
      const int slot = SlotOfRole(word);
      if (slot < 0)
        throw ToolError("\"" + word + "\" is not a slot; give 0 to 10 or a role name (" + RoleList() + ")");
      options.slots.push_back(slot);
    }
    options.unpackDataFile = *unpack;
    options.progress = [](std::uint64_t done, std::uint64_t total) { ShowProgress("checking", done, total); };
    const InstallerFile file = LoadInstaller(PathFromUtf8(*installer));
    const auto written = ExtractInstaller(file, PathFromUtf8(*folder), options);
    EndProgress();
    for (const fs::path& p : written) std::cout << PathText(p) << "\n";
    outcome.exitCode = kExitOk;
  });
}

}  // namespace lvpack::cli
