// Writing the files of an installer's records into a folder.
#pragma once

#include <string>
#include <vector>

#include "tools/lvpack/Installer.h"

namespace lvpack {

struct ExtractOptions {
  std::vector<int> slots;       // empty: every non-empty slot
  bool unpackDataFile = false;  // also place the data file's entries in "<saverName> dir"
  ProgressFn progress;          // bytes of the package done
};

// The package is checked with every rule first: a damaged one gives ToolError
// (I/O) with one line per problem, and nothing is written. Each file is then
// written atomically under `folder` with its record name; slot 0 is written
// as the bare installer image (PayloadOffset 0, no signature entry), ready
// for another build. Returns the paths written.
std::vector<fs::path> ExtractInstaller(const InstallerFile& file, const fs::path& folder,
                                       const ExtractOptions& options);

}  // namespace lvpack
