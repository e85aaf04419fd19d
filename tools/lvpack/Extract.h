// Writing the files of an installer's records into a folder.
#pragma once

#include <string>
#include <vector>

#include "tools/lvpack/Installer.h"

namespace lvpack {

struct ExtractOptions {
  std::vector<int> slots;   // empty: every non-empty slot
  bool unpackDataFile = false;  // also place the data file's entries in "<name>.d"
};

// Everything is read and checked first; then each file is written atomically
// under `folder` with its record name. Returns the paths written.
// ToolError before anything is written when a record or entry is unsound.
std::vector<fs::path> ExtractInstaller(const InstallerFile& file, const fs::path& folder,
                                       const ExtractOptions& options);

}  // namespace lvpack
