#include "payload/FileStream.h"

#include <vector>

namespace {
constexpr std::uint32_t kCopyBlock = 64 * 1024;  // stored data moves in blocks of this size
}  // namespace

rc::Result FileStream::OpenRead(const std::wstring& path) {
  Close();
  handle_ = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
  return IsOpen() ? rc::kOk : rc::FromWindowsError(GetLastError());
}

rc::Result FileStream::Create(const std::wstring& path) {
  Close();
  handle_ = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
  return IsOpen() ? rc::kOk : rc::FromWindowsError(GetLastError());
}

rc::Result FileStream::Seek(std::int64_t offset) {
  if (!IsOpen()) return ERROR_INVALID_HANDLE;
  if (offset < 0) return ERROR_NEGATIVE_SEEK;
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  return SetFilePointerEx(handle_, distance, nullptr, FILE_BEGIN) ? rc::kOk : rc::FromWindowsError(GetLastError());
}

rc::Result FileStream::Read(void* buffer, std::uint32_t size, std::uint32_t& got) {
  got = 0;
  if (!IsOpen()) return ERROR_INVALID_HANDLE;
  DWORD read = 0;
  if (!ReadFile(handle_, buffer, size, &read, nullptr)) return rc::FromWindowsError(GetLastError());
  got = read;
  return rc::kOk;
}

rc::Result FileStream::Write(const void* buffer, std::uint32_t size) {
  if (!IsOpen()) return ERROR_INVALID_HANDLE;
  DWORD written = 0;
  if (!WriteFile(handle_, buffer, size, &written, nullptr)) return rc::FromWindowsError(GetLastError());
  return written == size ? rc::kOk : static_cast<rc::Result>(ERROR_WRITE_FAULT);
}

rc::Result FileStream::Size(std::int64_t& size) const {
  size = 0;
  LARGE_INTEGER value;
  if (!IsOpen()) return ERROR_INVALID_HANDLE;
  if (!GetFileSizeEx(handle_, &value)) return rc::FromWindowsError(GetLastError());
  size = value.QuadPart;
  return rc::kOk;
}

rc::Result FileStream::Close() {
  if (!IsOpen()) return rc::kOk;
  const BOOL closed = CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
  return closed ? rc::kOk : rc::FromWindowsError(GetLastError());
}

rc::Result ReadExactly(FileStream& file, void* buffer, std::uint32_t size, std::uint32_t& got) {
  got = 0;
  auto* bytes = static_cast<std::uint8_t*>(buffer);
  while (got < size) {
    std::uint32_t part = 0;
    const rc::Result result = file.Read(bytes + got, size - got, part);
    if (result != rc::kOk) return result;
    if (part == 0) return rc::kShortRead;
    got += part;
  }
  return rc::kOk;
}

rc::Result CopyBytes(FileStream& from, FileStream& to, std::uint32_t size, std::uint32_t& copied) {
  copied = 0;
  std::vector<std::uint8_t> block(size < kCopyBlock ? size : kCopyBlock);
  while (copied < size) {
    const std::uint32_t want =
        size - copied < kCopyBlock ? size - copied : kCopyBlock;
    std::uint32_t got = 0;
    const rc::Result readResult = ReadExactly(from, block.data(), want, got);
    if (got > 0) {
      const rc::Result writeResult = to.Write(block.data(), got);
      if (writeResult != rc::kOk) return writeResult;
      copied += got;
    }
    if (readResult != rc::kOk) return readResult;
  }
  return rc::kOk;
}

bool GetExistingFileSize(const std::wstring& path, std::int64_t& size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  size = (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}
