// lvpack sign SETUP.exe --cert CERT --key KEY [-o SIGNED.exe] [--pass-file F]
//   [--description TEXT] [--timestamp URL]
#include <iostream>
#include <string>

#include "tools/lvpack/Commands.h"
#include "tools/lvpack/Signature.h"

namespace lvpack::cli {

void RegisterSignCommand(CLI::App& app, Outcome& outcome) {
  CLI::App* cmd = app.add_subcommand(
      "sign", "Give an installer an Authenticode signature (with osslsigncode) behind its package");
  auto installer = std::make_shared<std::string>();
  auto output = std::make_shared<std::string>();
  auto options = std::make_shared<SignOptions>();
  auto cert = std::make_shared<std::string>();
  auto key = std::make_shared<std::string>();
  auto pass = std::make_shared<std::string>();
  auto url = std::make_shared<std::string>();
  cmd->add_option("INSTALLER", *installer, "installer written by build")->required();
  cmd->add_option("--cert", *cert, "code-signing certificate, PEM (with its chain)")->required();
  cmd->add_option("--key", *key, "its private key, PEM")->required();
  cmd->add_option("-o,--output", *output, "signed installer to write (default: INSTALLER itself)");
  cmd->add_option("--pass-file", *pass, "file holding the key's password");
  cmd->add_option("--description", options->description, "text Windows shows (default: saverName)");
  cmd->add_option("--timestamp", *url, "RFC 3161 time-stamping server URL");
  SetExamples(*cmd, "  lvpack sign DemoSaver-setup.exe --cert maker.pem --key maker.key\n"
                    "  lvpack sign setup.exe --cert maker.pem --key maker.key -o setup-signed.exe\n"
                    "  lvpack verify setup-signed.exe --ca maker.pem\n");
  cmd->callback([&outcome, installer, output, options, cert, key, pass, url] {
    options->certificate = PathFromUtf8(*cert);
    options->key = PathFromUtf8(*key);
    if (!pass->empty()) options->passwordFile = PathFromUtf8(*pass);
    if (!url->empty()) options->timestampUrl = *url;
    const std::string target = output->empty() ? *installer : *output;
    SignInstaller(PathFromUtf8(*installer), PathFromUtf8(target), *options);
    std::cout << "signed " << target << "\n";
    outcome.exitCode = kExitOk;
  });
}

}  // namespace lvpack::cli
