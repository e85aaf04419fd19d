// TCompressor: the adapter to the decompressor library "impborl.dll" that the
// package carries. It loads the library at construction, explodes compressed
// records from memory into files, and unloads the library when destroyed.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "system/ResultCodes.h"

class TCompressor {
 public:
  // Loads folder + "impborl.dll" (folder ends with a backslash), or the bare
  // name through the system's search when folder is empty. Failures are not
  // raised: they go to the trace log and leave the library unloaded.
  explicit TCompressor(const std::wstring& folder);
  ~TCompressor();
  TCompressor(const TCompressor&) = delete;
  TCompressor& operator=(const TCompressor&) = delete;

  bool Loaded() const { return library_ != nullptr; }

  // Why loading failed (0 when loaded): kDecompressorFileMissing,
  // kDecompressorEntryMissing or LoadLibrary's error. For the trace log and tests.
  rc::Result loadCode() const { return loadCode_; }

  // Explodes `length` bytes at `buffer` into a new file at `path` (replacing
  // any). Returns 0, or the Windows error code of creating or writing the
  // file; a failure to create it is also shown in an error box. Whether the
  // data were a complete stream is judged by the caller from the file's length.
  rc::Result ExplodeToFile(const std::wstring& path, const std::uint8_t* buffer,
                           std::uint32_t length);

  // The library's own result of the last ExplodeToFile (rc::kDclOk, kDclBadData, ...).
  unsigned lastExplodeResult() const { return lastExplodeResult_; }

 private:
  using ImplodeFn = unsigned(__cdecl*)(void*, void*, char*, void*, unsigned*, unsigned*);
  using ExplodeFn = unsigned(__cdecl*)(unsigned(__cdecl*)(char*, unsigned*, void*),
                                       void(__cdecl*)(char*, unsigned*, void*), char*, void*);
  using Crc32Fn = unsigned long(__cdecl*)(char*, unsigned*, unsigned long*);

  static unsigned __cdecl ReadInput(char* buf, unsigned* size, void* param);
  static void __cdecl WriteOutput(char* buf, unsigned* size, void* param);

  HMODULE library_ = nullptr;
  rc::Result loadCode_ = rc::kOk;
  ImplodeFn implode_ = nullptr;
  ExplodeFn explode_ = nullptr;
  Crc32Fn crc32_ = nullptr;

  // The memory stream and output file of the ExplodeToFile in progress.
  const std::uint8_t* input_ = nullptr;
  std::uint32_t inputLength_ = 0;
  std::uint32_t inputPos_ = 0;
  HANDLE output_ = INVALID_HANDLE_VALUE;
  DWORD writeError_ = 0;
  unsigned lastExplodeResult_ = 0;
};
