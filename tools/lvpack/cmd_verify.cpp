// lvpack verify SETUP.exe: exit 0 when sound, 1 with one line per problem.
#include <iostream>
#include <string>

#include "tools/lvpack/Commands.h"
#include "tools/lvpack/Verify.h"

namespace lvpack::cli {

void RegisterVerifyCommand(CLI::App& app, Outcome& outcome) {
  CLI::App* cmd = app.add_subcommand(
      "verify", "Check an installer as the installer will read it (exit 1 on problems)");
  auto installer = std::make_shared<std::string>();
  cmd->add_option("INSTALLER", *installer, "assembled installer")->required();
  cmd->callback([&outcome, installer] {
    const auto problems = VerifyInstaller(LoadInstaller(PathFromUtf8(*installer)));
    for (const std::string& p : problems) std::cout << p << "\n";
    if (problems.empty()) std::cout << *installer << ": ok\n";
    outcome.exitCode = problems.empty() ? kExitOk : kExitProblems;
  });
}

}  // namespace lvpack::cli
