#include "tools/lvpack/FileIo.h"

#include <fstream>
#include <iterator>
#include <system_error>

#include "tools/lvpack/ToolError.h"

namespace lvpack {

std::string PathText(const fs::path& path) {
  const auto u8 = path.u8string();
  return std::string(u8.begin(), u8.end());
}

fs::path PathFromUtf8(const std::string& utf8) { return fs::u8path(utf8); }

Bytes ReadFileBytes(const fs::path& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) {
    if (fs::exists(path, ec)) throw ToolError(PathText(path) + ": not a regular file");
    throw ToolError(PathText(path) + ": file not found");
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ToolError(PathText(path) + ": cannot open for reading");
  Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw ToolError(PathText(path) + ": read error");
  return bytes;
}

void WriteFileAtomic(const fs::path& path, const Bytes& bytes) {
  const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
  std::error_code ec;
  if (!fs::is_directory(folder, ec))
    throw ToolError(PathText(path) + ": output folder does not exist");
  fs::path temp = path;
  temp += ".lvpack-tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) throw ToolError(PathText(path) + ": cannot create " + PathText(temp));
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      fs::remove(temp, ec);
      throw ToolError(PathText(path) + ": write error");
    }
  }
  fs::rename(temp, path, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    throw ToolError(PathText(path) + ": cannot replace the file: " + ec.message());
  }
}

}  // namespace lvpack
