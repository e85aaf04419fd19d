#include "system/SaverRegistration.h"

#include <windows.h>

#include <vector>

#include "messages/Messages.h"
#include "system/InstallJournal.h"
#include "system/LMV_FileUtils.h"
#include "system/LMV_RegistryUtils.h"
#include "system/LMV_StringUtils.h"
#include "system/SafeLoading.h"

namespace {

const wchar_t kProfileFile[] = L"system.ini";  // bare name: the copy in the Windows folder
const wchar_t kProfileSection[] = L"boot";
const wchar_t kProfileKey[] = L"SCRNSAVE.EXE";
// The display control panel: rundll32.exe of the system folder (never one beside
// the installer) with these arguments.
const wchar_t kDisplayPropertiesProgram[] = L"rundll32.exe";
const wchar_t kDisplayPropertiesArguments[] = L"shell32.dll,Control_RunDLL desk.cpl,,1";
const wchar_t kEnglishDisplayPropertiesTitle[] = L"Display Properties";
constexpr int kCancelItem = 2;               // IDCANCEL of the dialog
constexpr int kOpenSearchAttempts = 1000;    // window searches right after starting the panel
constexpr UINT kClickTimeoutMs = 5000;       // a hung panel must not hang the installer
constexpr int kCloseWaitSteps = 100;         // up to 100 x 10 ms for the window to go
constexpr DWORD kCloseWaitStepMs = 10;

HWND FindDisplayProperties() {
  HWND window = FindWindowW(nullptr, LoadMessage(msg::sDisplayPropertiesTitle).c_str());
  if (window == nullptr) window = FindWindowW(nullptr, kEnglishDisplayPropertiesTitle);
  return window;
}

}  // namespace

std::wstring MakeInstallCaption(const std::wstring& name) {
  return MakeInstallCaption(name, LoadMessage);
}

rc::Result SetCurrentScreenSaver(const std::wstring& programPath) {
  if (programPath.empty()) return rc::kFileMissing;
  DWORD size = GetShortPathNameW(programPath.c_str(), nullptr, 0);
  if (size == 0) return rc::kFileMissing;
  std::vector<wchar_t> buffer(size + 1);
  DWORD length = GetShortPathNameW(programPath.c_str(), buffer.data(), size + 1);
  if (length == 0 || length > size) return rc::kFileMissing;
  const std::wstring shortPath(buffer.data(), length);

  // The entry of before is recorded, to be written back should the installation die.
  if (const rc::Result noted = Journal.NoteProfileValue(kProfileFile, kProfileSection, kProfileKey);
      noted != rc::kOk)
    return noted;
  if (!WritePrivateProfileStringW(kProfileSection, kProfileKey, shortPath.c_str(), kProfileFile)) {
    DWORD error = GetLastError();
    return static_cast<rc::Result>(error != 0 ? error : ERROR_WRITE_FAULT);
  }
  // All-null arguments flush the system's cached copy of the file to disk.
  WritePrivateProfileStringW(nullptr, nullptr, nullptr, kProfileFile);
  SystemParametersInfoW(SPI_SETSCREENSAVEACTIVE, TRUE, nullptr, SPIF_SENDWININICHANGE);
  return rc::kOk;
}

void OpenDisplayProperties(bool offer) {
  if (!offer) return;
  HCURSOR remembered = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  StartSystemProgram(kDisplayPropertiesProgram, kDisplayPropertiesArguments, SW_SHOWNORMAL);
  const std::wstring title = LoadMessage(msg::sDisplayPropertiesTitle);
  for (int attempt = 0; attempt < kOpenSearchAttempts; ++attempt) {
    if (FindWindowW(nullptr, title.c_str()) != nullptr) break;
  }
  SetCursor(remembered);
}

void CloseDisplayProperties() {
  HWND window = FindDisplayProperties();
  if (window == nullptr) return;
  HWND cancel = GetDlgItem(window, kCancelItem);
  if (cancel == nullptr) return;
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(cancel, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, kClickTimeoutMs, &ignored);
  // The preview inside the window holds the old program open until it is gone.
  for (int step = 0; step < kCloseWaitSteps && IsWindow(window); ++step) Sleep(kCloseWaitStepMs);
}

void RemoveInstalledSaver(const std::wstring& dataFolder, const std::wstring& programPath,
                          const std::wstring& name) {
  if (!dataFolder.empty()) DeleteFolderTree(dataFolder);
  if (!programPath.empty()) DeleteFileForced(programPath);
  if (!name.empty()) UnregisterUninstallEntry(name);
}
