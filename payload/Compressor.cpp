#include "payload/Compressor.h"

#include <cstring>

#include "messages/MessageBox.h"
#include "messages/SystemText.h"
#include "messages/Messages.h"
#include "messages/logFile.h"
#include "system/LMV_StringUtils.h"
#include "system/SafeLoading.h"

namespace {

const wchar_t kLibraryName[] = L"impborl.dll";
const wchar_t kLogRoutine[] = L"TCompressor.Create";

// Work area handed to the library's explode (which needs 12,574 bytes): one
// process-wide block, as the installer runs one explode at a time.
constexpr std::size_t kExplodeWorkArea = 12596;
alignas(8) char gExplodeWork[kExplodeWorkArea];

// Closes a file handle when leaving scope.
class FileHandle {
 public:
  explicit FileHandle(HANDLE h) : h_(h) {}
  ~FileHandle() {
    if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

// The system's text for a Windows error code, without the trailing line break.
std::wstring SystemErrorText(DWORD code) {
  std::wstring result = SystemMessageText(code);
  while (!result.empty() && (result.back() == L'\n' || result.back() == L'\r'))
    result.pop_back();
  return result;
}

void ShowExpandError(DWORD code) {
  ShowErrorBox(LoadMessage(msg::sZipExpandError) + L"\r\n\r\n" + SystemErrorText(code));
}

}  // namespace

TCompressor::TCompressor(const std::wstring& folder) {
  LogEnter(kLogRoutine, folder);
  const std::wstring path = folder.empty() ? std::wstring(kLibraryName) : folder + kLibraryName;
  LogMessage(L"libraryPath: " + path);

  if (!folder.empty() && GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    loadCode_ = rc::kDecompressorFileMissing;
  } else {
    // No system box for a damaged or unreadable library: the code tells.
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    library_ = LoadLibraryW(path.c_str());
    const DWORD loadError = GetLastError();
    SetErrorMode(oldMode);
    if (library_ == nullptr) {
      loadCode_ = static_cast<rc::Result>(loadError);
    } else {
      implode_ = ExportedFunction<ImplodeFn>(library_, "_implode");
      explode_ = ExportedFunction<ExplodeFn>(library_, "_explode");
      crc32_ = ExportedFunction<Crc32Fn>(library_, "_crc32");
      if (implode_ == nullptr || explode_ == nullptr || crc32_ == nullptr) {
        FreeLibrary(library_);
        library_ = nullptr;
        implode_ = nullptr;
        explode_ = nullptr;
        crc32_ = nullptr;
        loadCode_ = rc::kDecompressorEntryMissing;
      }
    }
  }
  if (loadCode_ != rc::kOk) LogMessage(L"TCompressor.Create failed: " + DecimalText(loadCode_));
  LogLeave(kLogRoutine);
}

TCompressor::~TCompressor() {
  if (library_ != nullptr) FreeLibrary(library_);
}

unsigned __cdecl TCompressor::ReadInput(char* buf, unsigned* size, void* param) {
  TCompressor* self = *static_cast<TCompressor**>(param);
  const std::uint32_t left = self->inputLength_ - self->inputPos_;
  const std::uint32_t n = *size < left ? *size : left;
  if (n != 0) std::memcpy(buf, self->input_ + self->inputPos_, n);
  self->inputPos_ += n;
  return n;
}

void __cdecl TCompressor::WriteOutput(char* buf, unsigned* size, void* param) {
  TCompressor* self = *static_cast<TCompressor**>(param);
  if (self->writeError_ != 0 || *size == 0) return;  // after a failure, drop the rest
  DWORD written = 0;
  if (!WriteFile(self->output_, buf, *size, &written, nullptr))
    self->writeError_ = GetLastError();
  else if (written != *size)
    self->writeError_ = ERROR_HANDLE_DISK_FULL;
}

rc::Result TCompressor::ExplodeToFile(const std::wstring& path, const std::uint8_t* buffer,
                                      std::uint32_t length) {
  if (explode_ == nullptr) return rc::kDecompressorUnavailable;

  FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    ShowExpandError(code);
    return static_cast<rc::Result>(code);
  }

  // The stream reads straight from the caller's buffer: it stays unchanged
  // for the whole call, so no copy is needed.
  input_ = buffer;
  inputLength_ = buffer != nullptr ? length : 0;
  inputPos_ = 0;
  output_ = file.get();
  writeError_ = 0;

  TCompressor* self = this;
  lastExplodeResult_ = explode_(ReadInput, WriteOutput, gExplodeWork, &self);
  LogMessage(L"explode result: " + DecimalText(lastExplodeResult_));

  input_ = nullptr;
  output_ = INVALID_HANDLE_VALUE;
  return static_cast<rc::Result>(writeError_);
}
