// lvpack verify SETUP.exe [--json] [--ca FILE]: exit 0 when the installer can
// install the package and a signature (if any) checks out, 1 with one line
// per problem otherwise.
#include <iostream>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "tools/lvpack/Commands.h"
#include "tools/lvpack/Manifest.h"
#include "tools/lvpack/Signature.h"
#include "tools/lvpack/Verify.h"

namespace lvpack::cli {
namespace {

std::string SignatureLine(const SignatureReport& s) {
  if (!s.present) return "signature: none";
  std::string line = "signature: ";
  if (!s.problem.empty()) return line + s.problem;
  if (!s.checked) return line + "present, " + s.note;
  line += "present, the file is unchanged since signing";
  if (!s.signer.empty()) line += ", signed by " + s.signer;
  line += s.trusted ? ", certificate chain trusted" : "; " + s.note;
  return line;
}

nlohmann::json AsJson(const InstallerFile& file, const std::vector<Problem>& problems,
                      const SignatureReport& s) {
  nlohmann::json list = nlohmann::json::array();
  for (const Problem& p : problems) {
    nlohmann::json j = {{"slot", nullptr}, {"role", nullptr}, {"field", p.field}, {"message", ProblemLine(file, p)}};
    if (p.slot != kWholePackage) {
      j["slot"] = p.slot;
      j["role"] = kSlotRoles[static_cast<std::size_t>(p.slot)];
    }
    list.push_back(j);
  }
  const nlohmann::json signature = {{"present", s.present}, {"checked", s.checked},
                                    {"intact", s.intact},   {"trusted", s.trusted},
                                    {"signer", s.signer},   {"problem", s.problem},
                                    {"note", s.note}};
  return {{"installer", PathText(file.path)},
          {"ok", problems.empty() && s.problem.empty()},
          {"problems", list},
          {"signature", signature}};
}

}  // namespace

void RegisterVerifyCommand(CLI::App& app, Outcome& outcome) {
  CLI::App* cmd = app.add_subcommand(
      "verify", "Check an installer as the installer will read it, and its signature (exit 1 on "
                "problems)");
  auto installer = std::make_shared<std::string>();
  auto json = std::make_shared<bool>(false);
  auto ca = std::make_shared<std::string>();
  cmd->add_option("INSTALLER", *installer, "assembled installer")->required();
  cmd->add_flag("--json", *json, "one JSON object (schema in the README)");
  cmd->add_option("--ca", *ca, "certificate (PEM) the signature's chain must verify against");
  SetExamples(*cmd, "  lvpack verify DemoSaver-setup.exe\n"
                    "  lvpack verify DemoSaver-setup.exe --ca maker.pem --json\n");
  cmd->callback([&outcome, installer, json, ca] {
    const InstallerFile file = LoadInstaller(PathFromUtf8(*installer));
    const std::vector<Problem> problems = CheckPackage(
        file, [](std::uint64_t done, std::uint64_t total) { ShowProgress("checking", done, total); });
    EndProgress();
    std::optional<fs::path> caFile;
    if (!ca->empty()) caFile = PathFromUtf8(*ca);
    const SignatureReport signature = CheckSignature(file, caFile);
    const bool ok = problems.empty() && signature.problem.empty();
    if (*json) {
      std::cout << AsJson(file, problems, signature).dump(2, ' ', false,
                                                          nlohmann::json::error_handler_t::replace)
                << "\n";
    } else {
      for (const Problem& p : problems) std::cout << ProblemLine(file, p) << "\n";
      std::cout << SignatureLine(signature) << "\n";
      if (ok) std::cout << *installer << ": ok\n";
    }
    outcome.exitCode = ok ? kExitOk : kExitProblems;
  });
}

}  // namespace lvpack::cli
