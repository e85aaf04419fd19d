// Whole-file reading and atomic writing for the tool. Paths are std::filesystem
// paths; texts shown to the user are UTF-8.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace lvpack {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

// A path as UTF-8 text for messages.
std::string PathText(const fs::path& path);
// A UTF-8 text (from a manifest or the command line) as a path.
fs::path PathFromUtf8(const std::string& utf8);

// Reads a whole file; ToolError naming the file when it cannot.
Bytes ReadFileBytes(const fs::path& path);

// Writes to a temporary file beside `path`, then renames it over `path`: a
// failure leaves `path` as it was and no temporary file behind.
void WriteFileAtomic(const fs::path& path, const Bytes& bytes);

}  // namespace lvpack
