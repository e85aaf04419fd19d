// Temporary files are removed when lvpack is interrupted: the files being
// written are registered here, and the handler of SIGINT and SIGTERM deletes
// every registered file before the process ends with the signal.
#pragma once

#include <filesystem>

namespace lvpack {

// Registers `path` for removal on an interrupt; returns a token for
// ForgetTemporary, or -1 when the registry is full (the file is then only
// removed by its owner).
int RegisterTemporary(const std::filesystem::path& path);
void ForgetTemporary(int token);

// Installs the handlers (once, by the command line).
void InstallInterruptCleanup();

}  // namespace lvpack
