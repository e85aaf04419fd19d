#include "payload/FileCopy.h"

#include <windows.h>

namespace {
// A read-only, hidden or system target would refuse to be replaced.
void MakeNormal(const std::wstring& path) {
  if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES)
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}
}  // namespace

rc::Result CopyFileChecked(const std::wstring& source, const std::wstring& target) {
  // The source is often the user's own file (the installer itself): it is only read.
  MakeNormal(target);
  if (!CopyFileW(source.c_str(), target.c_str(), FALSE)) {
    const DWORD error = GetLastError();
    return error != 0 ? static_cast<rc::Result>(error) : static_cast<rc::Result>(ERROR_GEN_FAILURE);
  }
  // The copy takes the source's attributes: a read-only copy could not be
  // replaced or removed later.
  MakeNormal(target);
  return rc::kOk;
}
