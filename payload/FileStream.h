// A thin owner of a Win32 file handle for the package and data-file readers and
// for the files they write. Every operation reports failure as the Windows error
// code (0 = success), which the extraction steps treat as an I/O error.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "system/ResultCodes.h"

class FileStream {
 public:
  FileStream() = default;
  ~FileStream() { Close(); }
  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;

  // Opens an existing file for reading (others may read it at the same time).
  rc::Result OpenRead(const std::wstring& path);
  // Creates the file for writing, replacing any file of that name.
  rc::Result Create(const std::wstring& path);
  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

  // Positions at `offset` bytes from the start; negative offsets are refused.
  rc::Result Seek(std::int64_t offset);
  // Reads up to `size` bytes; `got` tells how many arrived (fewer at the end).
  rc::Result Read(void* buffer, std::uint32_t size, std::uint32_t& got);
  rc::Result Write(const void* buffer, std::uint32_t size);
  rc::Result Size(std::int64_t& size) const;
  // Closes the handle if open; the result of the close.
  rc::Result Close();

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// Reads exactly `size` bytes at the current position. A file that ends first
// gives rc::kShortRead; `got` tells how many arrived.
rc::Result ReadExactly(FileStream& file, void* buffer, std::uint32_t size, std::uint32_t& got);

// Copies `size` bytes from the current position of `from` to `to`; `copied`
// tells how many reached `to`. A source that ends first gives rc::kShortRead.
rc::Result CopyBytes(FileStream& from, FileStream& to, std::uint32_t size, std::uint32_t& copied);

// The size of an existing file (any attributes); false when it does not exist.
bool GetExistingFileSize(const std::wstring& path, std::int64_t& size);
