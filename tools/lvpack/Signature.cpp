#include "tools/lvpack/Signature.h"

#include <sstream>

#include "system/Cp932.h"
#include "tools/lvpack/Process.h"
#include "tools/lvpack/ToolError.h"
#include "tools/lvpack/Verify.h"

namespace lvpack {
namespace {

// The value after "<label>:" on the first line that starts with `label`.
std::string FieldOf(const std::string& output, const std::string& label) {
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    const std::size_t at = line.find_first_not_of(" \t");
    if (at == std::string::npos || line.compare(at, label.size(), label) != 0) continue;
    const std::size_t colon = line.find(':', at + label.size());
    if (colon == std::string::npos) continue;
    std::string value = line.substr(colon + 1);
    value.erase(0, value.find_first_not_of(" \t"));
    value.erase(value.find_last_not_of(" \t\r") + 1);
    return value;
  }
  return "";
}

std::string FirstWord(const std::string& text) { return text.substr(0, text.find(' ')); }

std::string NotFound() {
  return std::string(kSigningTool) + " not found; install Debian's " + kSigningTool + " package";
}

}  // namespace

SignatureReport CheckSignature(const InstallerFile& file, const std::optional<fs::path>& ca) {
  SignatureReport report;
  report.present = file.certificates.offset != 0;
  if (!report.present) return report;
  const std::uint64_t start = file.certificates.offset;
  if (start < PackageEnd(file) || start + file.certificates.size != file.Size()) {
    report.problem = "the signature's table does not lie behind the package at the end of the file";
    return report;
  }
  std::vector<std::string> arguments{"verify", "-in", PathText(file.path)};
  if (ca) arguments.insert(arguments.end(), {"-CAfile", PathText(*ca)});
  const ProgramRun run = RunProgram(kSigningTool, arguments);
  if (!run.started) {
    report.note = "not checked: " + (run.output.empty() ? NotFound() : run.output);
    return report;
  }
  const std::string current = FirstWord(FieldOf(run.output, "Current message digest"));
  const std::string calculated = FirstWord(FieldOf(run.output, "Calculated message digest"));
  report.signer = FieldOf(run.output, "Subject");
  report.checked = !current.empty() && !calculated.empty();
  if (!report.checked) {
    report.problem = "the signature cannot be read";
    return report;
  }
  report.intact = current == calculated;
  report.trusted = run.exitCode == 0;
  if (!report.intact) {
    report.problem = "the file has changed since it was signed (its digest no longer matches)";
  } else if (!report.trusted) {
    std::string why = FieldOf(run.output, "Error");
    if (why.empty()) why = "the certificate chain does not verify";
    if (ca) report.problem = "the signer's certificate does not verify against " + PathText(*ca) + ": " + why;
    else report.note = "certificate chain not trusted on this machine (" + why + "); give --ca to check it";
  }
  return report;
}

void SignInstaller(const fs::path& installer, const fs::path& output, const SignOptions& options) {
  const InstallerFile file = LoadInstaller(installer);
  if (file.certificates.offset != 0)
    throw ToolError(PathText(installer) + ": is signed already; sign the installer that build wrote");
  const auto problems = VerifyInstaller(file);
  if (!problems.empty()) {
    std::string message = PathText(installer) + ": not signed: the package is damaged";
    for (const std::string& p : problems) message += "\n" + PathText(installer) + ": " + p;
    throw IoError(message);
  }
  for (const fs::path& input : {options.certificate, options.key}) InputFile check(input);
  RequireNotAnInput(output, {options.certificate, options.key});
  std::string description = options.description;
  if (description.empty())
    description = text::Cp932ToUtf8(payload::ScreenSaverNameBytes(file.block.header));

  // The tool writes a new file of its own, under a temporary name beside the output.
  ForeignOutput out(output);
  const fs::path signedFile = out.path();
  std::vector<std::string> arguments{"sign", "-certs", PathText(options.certificate), "-key",
                                     PathText(options.key), "-h", "sha256", "-n", description};
  if (options.passwordFile) arguments.insert(arguments.end(), {"-readpass", PathText(*options.passwordFile)});
  if (options.timestampUrl) arguments.insert(arguments.end(), {"-ts", *options.timestampUrl});
  arguments.insert(arguments.end(), {"-in", PathText(installer), "-out", PathText(signedFile)});
  const ProgramRun run = RunProgram(kSigningTool, arguments);
  if (!run.started) throw IoError(PathText(installer) + ": not signed: " + NotFound());
  if (run.exitCode != 0) {
    std::string why = run.output.substr(0, run.output.find('\n'));
    throw IoError(PathText(installer) + ": not signed: " + kSigningTool + " failed: " + why);
  }
  InstallerFile signedInstaller = LoadInstaller(signedFile);
  signedInstaller.path = signedFile;
  const SignatureReport report = CheckSignature(signedInstaller, options.certificate);
  if (!report.intact)
    throw IoError(PathText(installer) + ": the signed file does not check out: " + report.problem);
  out.Commit();
}

}  // namespace lvpack
