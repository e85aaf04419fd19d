// lvprobe: starts an installer, waits for its windows and saves screenshots of
// them, then closes it the way a user would.
//   lvprobe shots INSTALLER FOLDER   preparing window and installer window as BMP files
// Exit code 0 when both windows were seen and the installer ended by itself after Cancel.
//   lvprobe winver                   exit code: the Windows version this process is
//                                    told it runs on, major * 100 + minor (Wine: 501 for XP)
#include <cstdio>
#include <string>

#include "tests/helper/Probe.h"

namespace {

int Shots(const std::wstring& installer, const std::wstring& folder) {
  probe::Process process;
  if (!process.Start(installer)) {
    std::fprintf(stderr, "lvprobe: cannot start the installer\n");
    return 2;
  }
  HWND preparing = probe::WaitForWindow(process.id(), L"TpreparingInstallWnd", L"", true, 10000);
  if (preparing != nullptr) probe::SaveScreenshot(folder + L"\\preparing.bmp");
  HWND form = probe::WaitForWindow(process.id(), L"TInstallerForm", L"", true, 30000);
  if (form == nullptr) {
    std::fprintf(stderr, "lvprobe: the installer window did not appear\n");
    return 3;
  }
  probe::Pause(500);
  probe::SaveScreenshot(folder + L"\\installer.bmp");
  HWND cancel = probe::FindDescendant(form, L"Button", L"キャンセル");
  if (cancel != nullptr)
    probe::Click(cancel);
  else
    probe::RequestClose(form);
  DWORD code = 0;
  if (!process.WaitExit(code)) {
    std::fprintf(stderr, "lvprobe: the installer did not end\n");
    return 4;
  }
  return preparing != nullptr ? 0 : 5;
}

// The version the system reports, whatever this program's manifest says (RtlGetVersion).
int WindowsVersion() {
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  const auto get = reinterpret_cast<RtlGetVersionFn>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  if (get == nullptr || get(&info) != 0) return 0;
  return static_cast<int>(info.dwMajorVersion * 100 + info.dwMinorVersion);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 4 && std::wstring(argv[1]) == L"shots") return Shots(argv[2], argv[3]);
  if (argc == 2 && std::wstring(argv[1]) == L"winver") return WindowsVersion();
  std::fprintf(stderr, "usage: lvprobe shots INSTALLER FOLDER | lvprobe winver\n");
  return 1;
}
