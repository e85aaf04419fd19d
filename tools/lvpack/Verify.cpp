#include "tools/lvpack/Verify.h"

namespace lvpack {

std::string ProblemLine(const InstallerFile& file, const Problem& problem) {
  if (problem.slot == kWholePackage)
    return "header: " + (problem.field.empty() ? "" : problem.field + ": ") + problem.text;
  return SlotLabel(file, problem.slot) + ": " + problem.text;
}

std::vector<std::string> VerifyInstaller(const InstallerFile& file, const ProgressFn& progress) {
  std::vector<std::string> lines;
  for (const Problem& p : CheckPackage(file, progress)) lines.push_back(ProblemLine(file, p));
  return lines;
}

}  // namespace lvpack
