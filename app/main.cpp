// Program entry of the installer: the preparing window first (the main window),
// then the installer window, whose creation runs the whole start-up, then the
// message loop. No command line is read.
#include <windows.h>

#include <exception>

#include "app/Application.h"
#include "app/InstallerForm.h"
#include "app/PreparingWindow.h"

namespace {

// The file name, without folder, of the running program.
std::wstring RunningProgramName() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring name(path, length);
  const size_t slash = name.find_last_of(L"\\/:");
  return slash == std::wstring::npos ? name : name.substr(slash + 1);
}

int RunInstaller() {
  // 1.-2.
  if (!app::InitApplication(L"インストールの準備中...")) return 1;
  // 3.-5.
  TpreparingInstallWnd preparing;
  preparingInstallWnd = &preparing;
  preparing.Create(app::ApplicationWindow(), RunningProgramName());
  app::SetMainWindow(preparing.handle());
  app::ProcessMessages();
  // 6. The start-up runs inside the creation and may already end the application.
  TInstallerForm form;
  form.Create(app::ApplicationWindow());
  form.ShowAfterCreate();
  // 7.
  const int exitCode = app::RunMessageLoop();
  preparingInstallWnd = nullptr;
  return exitCode;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  try {
    return RunInstaller();
  } catch (...) {
    // Every step already turns failures into codes; nothing may escape the program.
    return 1;
  }
}
