// Assembling an installer: the image with PayloadOffset set, the header, the
// eleven records and their data, laid out in slot order behind the table.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "tools/lvpack/FileIo.h"
#include "tools/lvpack/Manifest.h"

namespace lvpack {

struct BuildOptions {
  std::optional<fs::path> image;  // overrides the manifest's image
  std::function<void(const std::string&)> progress;  // long steps; may be empty
};

// The whole installer file. ToolError on anything the manifest gets wrong.
Bytes BuildInstaller(const PackagePlan& plan, const BuildOptions& options = {});

// The screen-saver data file from a content folder. `field` names the manifest
// field in messages.
Bytes BuildDataFile(const PackagePlan& plan, const DataFileContent& content,
                    const std::string& field);

// Implodes with the given mode and dictionary; ToolError naming `what` on failure.
Bytes Implode(const Bytes& input, const Compression& compression, const std::string& what);

// Slots the installer cannot do without for this header: 1, the presentation
// for windowed kinds, the licence and document when the header asks for them,
// and 6 to 10, which the installation extracts without checking.
bool IsRequiredSlot(int slot, std::uint8_t contentKind, bool showLicense, bool hasDocument);

}  // namespace lvpack
