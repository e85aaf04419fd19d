// Checking an assembled installer the way the installer will use it.
#pragma once

#include <string>
#include <vector>

#include "tools/lvpack/Installer.h"

namespace lvpack {

// One line per problem; empty when the installer is sound: every record
// readable, compressed records exploding to their unpackedSize, names safe,
// destinations valid, the slots the header needs present, and the data file's
// entries and chunks sound.
std::vector<std::string> VerifyInstaller(const InstallerFile& file);

// The problems of a data file's bytes, prefixed with `label`.
void VerifyDataFile(const Bytes& data, const std::string& label, std::vector<std::string>& problems);

}  // namespace lvpack
