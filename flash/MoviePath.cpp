#include "flash/MoviePath.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdlib>
#include <sys/stat.h>
#endif

namespace {
#ifdef _WIN32
constexpr MoviePath::value_type kSeparator = L'\\';
#else
constexpr MoviePath::value_type kSeparator = '/';
#endif

bool EndsInSeparator(const MoviePath& path) {
  return !path.empty() && (path.back() == kSeparator || path.back() == '/');
}
}  // namespace

MoviePath JoinPath(const MoviePath& folder, const std::string& name) {
  MoviePath joined = folder;
  if (!joined.empty() && !EndsInSeparator(joined)) joined += kSeparator;
  joined.append(name.begin(), name.end());
  return joined;
}

#ifdef _WIN32
bool PathExists(const MoviePath& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

MoviePath SystemTempFolder() {
  wchar_t folder[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
  return length > 0 && length <= MAX_PATH ? MoviePath(folder, length) : MoviePath();
}

std::string PathUtf8(const MoviePath& path) {
  if (path.empty()) return {};
  const int length = static_cast<int>(path.size());
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, path.data(), length, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
  if (bytes > 0) WideCharToMultiByte(CP_UTF8, 0, path.data(), length, text.data(), bytes, nullptr, nullptr);
  return text;
}
#else
bool PathExists(const MoviePath& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

MoviePath SystemTempFolder() {
  if (const char* folder = std::getenv("TMPDIR"); folder && *folder) return folder;
  return "/tmp";
}

std::string PathUtf8(const MoviePath& path) { return path; }
#endif
