// lvpack build MANIFEST -o SETUP.exe [--image IMAGE]
#include <iostream>
#include <string>

#include "tools/lvpack/Builder.h"
#include "tools/lvpack/Commands.h"
#include "tools/lvpack/Manifest.h"

namespace lvpack::cli {

void RegisterBuildCommand(CLI::App& app, Outcome& outcome) {
  CLI::App* cmd = app.add_subcommand(
      "build", "Assemble an installer from a manifest; only a package the installer can install "
               "is written");
  auto manifest = std::make_shared<std::string>();
  auto output = std::make_shared<std::string>();
  auto image = std::make_shared<std::string>();
  cmd->add_option("MANIFEST", *manifest, "JSON manifest; its paths are relative to it")->required();
  cmd->add_option("-o,--output", *output, "installer to write (replaced atomically)")->required();
  cmd->add_option("--image", *image, "installer image (overrides the manifest's \"image\")");
  SetExamples(*cmd, "  lvpack build DemoSaver.json -o DemoSaver-setup.exe\n"
                    "  lvpack build DemoSaver.json -o setup.exe --image build/win32/app/install.exe\n");
  cmd->callback([&outcome, manifest, output, image] {
    const PackagePlan plan = LoadManifest(PathFromUtf8(*manifest));
    BuildOptions options;
    if (!image->empty()) options.image = PathFromUtf8(*image);
    options.progress = ShowProgress;
    const BuildReport report = BuildInstallerFile(plan, PathFromUtf8(*output), options);
    EndProgress();
    for (const std::string& note : report.notes) std::cout << "note: " << note << "\n";
    std::cout << "wrote " << *output << " (" << report.size << " bytes)\n";
    outcome.exitCode = kExitOk;
  });
}

}  // namespace lvpack::cli
