#include "standins/samplesaver/SaverUninstall.h"

#include <vector>

#include "system/InstallJournal.h"
#include "system/LMV_FileUtils.h"
#include "system/LMV_RegistryUtils.h"

namespace {

std::wstring ShortPathOf(const std::wstring& path) {
  DWORD size = GetShortPathNameW(path.c_str(), nullptr, 0);
  if (size == 0) return path;
  std::vector<wchar_t> buffer(size + 1);
  DWORD length = GetShortPathNameW(path.c_str(), buffer.data(), size + 1);
  return length == 0 || length > size ? path : std::wstring(buffer.data(), length);
}

// The current screen saver stays only when it is another program.
void ForgetAsCurrentScreenSaver(const std::wstring& programPath) {
  wchar_t current[MAX_PATH + 1] = L"";
  GetPrivateProfileStringW(L"boot", L"SCRNSAVE.EXE", L"", current, MAX_PATH + 1, L"system.ini");
  if (lstrcmpiW(current, ShortPathOf(programPath).c_str()) != 0 &&
      lstrcmpiW(current, programPath.c_str()) != 0) {
    return;
  }
  WritePrivateProfileStringW(L"boot", L"SCRNSAVE.EXE", nullptr, L"system.ini");
  WritePrivateProfileStringW(nullptr, nullptr, nullptr, L"system.ini");
  SystemParametersInfoW(SPI_SETSCREENSAVEACTIVE, FALSE, nullptr, SPIF_SENDWININICHANGE);
}

bool RemoveEntry(HKEY root, const std::wstring& name) {
  LONG status = DeleteRegistryKeyTree(root, UninstallKeyPath(name));
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

}  // namespace

int UninstallSaver(const SaverContent& content) {
  // An installation of this saver that died half way is undone first; one that
  // still runs is not interfered with.
  Recovery found = Recovery::None;
  const std::wstring folder = content.programPath.substr(0, content.programPath.find_last_of(L'\\') + 1);
  if (RecoverInstallation(JournalPathFor(folder, content.name), found) != rc::kOk ||
      found == Recovery::OwnerRunning)
    return 1;
  // Undone, the installation may have put back an earlier copy of this program:
  // that copy is what is uninstalled now.
  bool complete = true;
  // ShortPathOf needs the file: before it is deleted.
  ForgetAsCurrentScreenSaver(content.programPath);
  complete &= DeleteFolderTree(content.dataFolder) == rc::kOk;
  complete &= RemoveEntry(HKEY_LOCAL_MACHINE, content.name);
  complete &= RemoveEntry(HKEY_CURRENT_USER, content.name);
  // The running program cannot delete its own file on Windows: the system
  // deletes it at the next restart.
  if (!DeleteFileW(content.programPath.c_str()) &&
      !MoveFileExW(content.programPath.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
    complete = false;
  }
  return complete ? 0 : 1;
}
