// Checking an assembled installer the way the installer will use it: every
// package rule (PackageRules.h), one line per problem.
#pragma once

#include <string>
#include <vector>

#include "tools/lvpack/Installer.h"
#include "tools/lvpack/PackageRules.h"

namespace lvpack {

// "slot 6 (Night.scr): ..." or "header: saverName: ...".
std::string ProblemLine(const InstallerFile& file, const Problem& problem);

// One line per problem; empty when the installer can install the package.
std::vector<std::string> VerifyInstaller(const InstallerFile& file, const ProgressFn& progress = {});

}  // namespace lvpack
