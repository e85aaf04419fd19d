#include "payload/FileCopy.h"

#include <windows.h>

#include "system/InstallJournal.h"

namespace {
constexpr wchar_t kTemporarySuffix[] = L".lvtmp";

// Pushes the file's data to the disk, so that a power cut after the rename
// cannot leave the name on a file without its content.
rc::Result Flush(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return rc::FromWindowsError(GetLastError());
  const rc::Result result = FlushFileBuffers(file) ? rc::kOk : rc::FromWindowsError(GetLastError());
  CloseHandle(file);
  return result;
}

// A read-only, hidden or system target would refuse to be replaced.
void MakeNormal(const std::wstring& path) {
  if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES)
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}
}  // namespace

rc::Result CopyFileChecked(const std::wstring& source, const std::wstring& target) {
  // The source is often the user's own file (the installer itself): it is only read.
  MakeNormal(target);
  if (!CopyFileW(source.c_str(), target.c_str(), FALSE)) return rc::FromWindowsError(GetLastError());
  // The copy takes the source's attributes: a read-only copy could not be
  // replaced or removed later.
  MakeNormal(target);
  return rc::kOk;
}

std::wstring TemporaryPathFor(const std::wstring& path) { return path + kTemporarySuffix; }

rc::Result WriteIntoPlace(const std::wstring& path,
                          const std::function<rc::Result(const std::wstring& temporary)>& write,
                          Durability durability) {
  const std::wstring temporary = TemporaryPathFor(path);
  const bool installed = durability == Durability::Installed;
  if (installed) {
    if (const rc::Result noted = Journal.NoteCreatedFile(path, temporary); noted != rc::kOk)
      return noted;
  }
  rc::Result result = write(temporary);
  if (result == rc::kOk && installed) result = Flush(temporary);
  if (result == rc::kOk) {
    MakeNormal(path);
    // Only an installed file waits for its new name to reach the disk.
    const DWORD moveFlags = MOVEFILE_REPLACE_EXISTING | (installed ? MOVEFILE_WRITE_THROUGH : 0);
    if (!MoveFileExW(temporary.c_str(), path.c_str(), moveFlags))
      result = rc::FromWindowsError(GetLastError());
  }
  if (result != rc::kOk) {
    SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(temporary.c_str());
  }
  return result;
}

rc::Result CopyFileIntoPlace(const std::wstring& source, const std::wstring& target) {
  return WriteIntoPlace(target, [&source](const std::wstring& temporary) {
    return CopyFileChecked(source, temporary);
  });
}
