// A small binary file that reads and writes exactly what the movie code needs,
// on the host (stdio) and on Windows (CreateFileW, so that wide paths work and
// readers can share a file while writers are kept out).
// Failures raise InstallerError: FileError with the OS error code for
// open/create/read/write failures, ReadError when the file ends too early.
#pragma once

#include <cstddef>
#include <cstdint>

#include "flash/MoviePath.h"

class BinaryFile {
 public:
  enum class Mode {
    ReadShared,  // open an existing file for reading; other readers allowed, writers denied
    Create,      // create or truncate for writing
  };

  BinaryFile() = default;
  BinaryFile(const MoviePath& path, Mode mode) { open(path, mode); }
  ~BinaryFile();
  BinaryFile(const BinaryFile&) = delete;
  BinaryFile& operator=(const BinaryFile&) = delete;

  // True when a regular file exists at `path` (folders do not count).
  static bool Exists(const MoviePath& path);

  void open(const MoviePath& path, Mode mode);
  void close() noexcept;
  bool isOpen() const noexcept;

  // Reads up to `count` bytes and returns how many were read (0 at the end).
  std::size_t read(void* buffer, std::size_t count);
  // Reads exactly `count` bytes or raises ReadError.
  void readExact(void* buffer, std::size_t count);
  // Writes all bytes or raises FileError.
  void write(const void* buffer, std::size_t count);

  std::int64_t position();
  std::int64_t size();
  void seek(std::int64_t offset);
  // Moves forward by `count` bytes; raises ReadError when that passes the end,
  // so that a damaged length never makes us read or wait for data that is absent.
  void skip(std::uint64_t count);

  const MoviePath& path() const noexcept { return path_; }

 private:
  [[noreturn]] void raiseFileError(const char* what, int code) const;

  MoviePath path_;
#ifdef _WIN32
  void* handle_ = nullptr;  // HANDLE; nullptr when closed
#else
  void* stream_ = nullptr;  // FILE*
#endif
};
