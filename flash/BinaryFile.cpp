#include "flash/BinaryFile.h"

#include <string>

#include "system/InstallerError.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#endif

namespace {
constexpr rc::Result kNoOsCode = 0;
}

void BinaryFile::raiseFileError(const char* what, int code) const {
  throw InstallerError(ErrorKind::FileError, code,
                       std::string(what) + " \"" + PathUtf8(path_) + "\"");
}

void BinaryFile::readExact(void* buffer, std::size_t count) {
  auto* bytes = static_cast<unsigned char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    std::size_t got = read(bytes + done, count - done);
    if (got == 0)
      throw InstallerError(ErrorKind::ReadError, rc::kShortRead,
                           "Read past the end of \"" + PathUtf8(path_) + "\"");
    done += got;
  }
}

void BinaryFile::skip(std::uint64_t count) {
  std::int64_t here = position();
  std::int64_t end = size();
  if (count > static_cast<std::uint64_t>(end - here))
    throw InstallerError(ErrorKind::ReadError, rc::kShortRead,
                         "Read past the end of \"" + PathUtf8(path_) + "\"");
  seek(here + static_cast<std::int64_t>(count));
}

#ifdef _WIN32

BinaryFile::~BinaryFile() { close(); }

bool BinaryFile::Exists(const MoviePath& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void BinaryFile::open(const MoviePath& path, Mode mode) {
  close();
  path_ = path;
  HANDLE h = mode == Mode::ReadShared
                 ? CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
                 : CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE)
    raiseFileError(mode == Mode::ReadShared ? "Cannot open file" : "Cannot create file",
                   static_cast<int>(GetLastError()));
  handle_ = h;
}

void BinaryFile::close() noexcept {
  if (handle_) CloseHandle(static_cast<HANDLE>(handle_));
  handle_ = nullptr;
}

bool BinaryFile::isOpen() const noexcept { return handle_ != nullptr; }

std::size_t BinaryFile::read(void* buffer, std::size_t count) {
  DWORD got = 0;
  if (!ReadFile(static_cast<HANDLE>(handle_), buffer, static_cast<DWORD>(count), &got, nullptr))
    raiseFileError("Cannot read file", static_cast<int>(GetLastError()));
  return got;
}

void BinaryFile::write(const void* buffer, std::size_t count) {
  DWORD put = 0;
  if (!WriteFile(static_cast<HANDLE>(handle_), buffer, static_cast<DWORD>(count), &put, nullptr))
    raiseFileError("Cannot write file", static_cast<int>(GetLastError()));
  if (put != count) raiseFileError("Cannot write file", ERROR_DISK_FULL);
}

std::int64_t BinaryFile::position() {
  LARGE_INTEGER zero{}, where{};
  if (!SetFilePointerEx(static_cast<HANDLE>(handle_), zero, &where, FILE_CURRENT))
    raiseFileError("Cannot seek in file", static_cast<int>(GetLastError()));
  return where.QuadPart;
}

std::int64_t BinaryFile::size() {
  LARGE_INTEGER bytes{};
  if (!GetFileSizeEx(static_cast<HANDLE>(handle_), &bytes))
    raiseFileError("Cannot read file size", static_cast<int>(GetLastError()));
  return bytes.QuadPart;
}

void BinaryFile::seek(std::int64_t offset) {
  LARGE_INTEGER where{};
  where.QuadPart = offset;
  if (!SetFilePointerEx(static_cast<HANDLE>(handle_), where, nullptr, FILE_BEGIN))
    raiseFileError("Cannot seek in file", static_cast<int>(GetLastError()));
}

#else  // host

BinaryFile::~BinaryFile() { close(); }

bool BinaryFile::Exists(const MoviePath& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

void BinaryFile::open(const MoviePath& path, Mode mode) {
  close();
  path_ = path;
  std::FILE* f = std::fopen(path.c_str(), mode == Mode::ReadShared ? "rb" : "wb");
  if (!f)
    raiseFileError(mode == Mode::ReadShared ? "Cannot open file" : "Cannot create file", errno);
  stream_ = f;
}

void BinaryFile::close() noexcept {
  if (stream_) std::fclose(static_cast<std::FILE*>(stream_));
  stream_ = nullptr;
}

bool BinaryFile::isOpen() const noexcept { return stream_ != nullptr; }

std::size_t BinaryFile::read(void* buffer, std::size_t count) {
  auto* f = static_cast<std::FILE*>(stream_);
  std::size_t got = std::fread(buffer, 1, count, f);
  if (got < count && std::ferror(f)) raiseFileError("Cannot read file", errno);
  return got;
}

void BinaryFile::write(const void* buffer, std::size_t count) {
  if (std::fwrite(buffer, 1, count, static_cast<std::FILE*>(stream_)) != count)
    raiseFileError("Cannot write file", errno ? errno : kNoOsCode);
}

std::int64_t BinaryFile::position() {
  off_t where = ::ftello(static_cast<std::FILE*>(stream_));
  if (where < 0) raiseFileError("Cannot seek in file", errno);
  return where;
}

std::int64_t BinaryFile::size() {
  struct stat info {};
  if (::fstat(::fileno(static_cast<std::FILE*>(stream_)), &info) != 0)
    raiseFileError("Cannot read file size", errno);
  return info.st_size;
}

void BinaryFile::seek(std::int64_t offset) {
  if (::fseeko(static_cast<std::FILE*>(stream_), static_cast<off_t>(offset), SEEK_SET) != 0)
    raiseFileError("Cannot seek in file", errno);
}

#endif
