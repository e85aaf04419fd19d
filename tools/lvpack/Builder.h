// Assembling an installer: the image with PayloadOffset set, the header, the
// eleven records and their data, laid out in slot order behind the table.
// Everything streams from the input files to the output.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tools/lvpack/FileIo.h"
#include "tools/lvpack/Manifest.h"

namespace lvpack {

// The most an installer may hold: its package's offsets are signed 32-bit
// values, so its last byte lies at 2,147,483,647 at most.
constexpr std::uint64_t kMaxInstallerSize = 2147483648ull;

struct BuildOptions {
  std::optional<fs::path> image;  // overrides the manifest's image
  // Long steps: what is being done, bytes done of the step's total.
  std::function<void(const std::string& step, std::uint64_t done, std::uint64_t total)> progress;
};

struct BuildReport {
  std::uint64_t size = 0;
  std::vector<std::string> notes;  // e.g. records stored as they are because imploding grew them
};

// Writes the whole installer to `out`. ToolError on anything the manifest or
// its inputs get wrong. The package rules are not applied here.
BuildReport WriteInstaller(const PackagePlan& plan, ByteSink& out, const BuildOptions& options = {});

// The installer in memory, without the package rules: for tests that make
// packages the installer must cope with.
Bytes BuildInstaller(const PackagePlan& plan, const BuildOptions& options = {});

// The build of the command line: refuses an output that is one of the inputs
// or not a regular file, writes a temporary file beside it, checks what was
// written with every package rule, and only then renames it into place.
BuildReport BuildInstallerFile(const PackagePlan& plan, const fs::path& output,
                               const BuildOptions& options = {});

}  // namespace lvpack
