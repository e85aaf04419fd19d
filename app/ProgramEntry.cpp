#include "app/ProgramEntry.h"

#include <windows.h>

#include "app/Application.h"
#include "app/InstallerForm.h"
#include "app/OutcomeText.h"
#include "app/PreparingWindow.h"
#include "app/StepMarks.h"
#include "messages/MessageBox.h"
#include "messages/Messages.h"
#include "system/ResultCodes.h"

namespace {

// The file name, without folder, of the running program.
std::wstring RunningProgramName() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring name(path, length);
  const size_t slash = name.find_last_of(L"\\/:");
  return slash == std::wstring::npos ? name : name.substr(slash + 1);
}

// Boxes belong to the window the user sees: the installer window once it is
// shown, the preparing window while it is the only one. Never the hidden
// application window, and never none while one of ours is on the screen (an
// ownerless box can end up behind the topmost installer window).
HWND BoxOwnerWindow() {
  if (InstallerForm != nullptr && !InstallerForm->Closed() && InstallerForm->IsVisible())
    return InstallerForm->handle();
  if (preparingInstallWnd != nullptr && preparingInstallWnd->IsVisible())
    return preparingInstallWnd->handle();
  return nullptr;
}

// A window that cannot be made ends the program at once, with the start-up's
// failure message, instead of leaving it without a window to end it.
int WindowNotCreated() {
  ShowErrorBox(ComposeDamagedInstallerText(rc::kWindowNotCreated, LoadMessage));
  return rc::kWindowNotCreated;
}

// Keeps the process-wide preparing-window pointer valid only while the window lives.
class PreparingWindowScope {
 public:
  explicit PreparingWindowScope(TpreparingInstallWnd& window) { preparingInstallWnd = &window; }
  ~PreparingWindowScope() { preparingInstallWnd = nullptr; }
  PreparingWindowScope(const PreparingWindowScope&) = delete;
  PreparingWindowScope& operator=(const PreparingWindowScope&) = delete;
};

}  // namespace

int RunInstallerProgram() {
  LV_STEP_MARK("entry");
  SetBoxOwnerSource(&BoxOwnerWindow);
  // The hidden application window carries the title shown on the taskbar.
  if (!app::InitApplication(L"インストールの準備中...")) return WindowNotCreated();
  LV_STEP_MARK("application");
  // The preparing window, named after the program's file, is the main window;
  // it is painted before the start-up begins.
  TpreparingInstallWnd preparing;
  PreparingWindowScope preparingScope(preparing);
  if (!preparing.Create(app::ApplicationWindow(), RunningProgramName())) return WindowNotCreated();
  app::SetMainWindow(preparing.handle());
  app::ProcessMessages();
  LV_STEP_MARK("preparing-window");
  if (app::Terminated()) return app::ExitCode();  // closed before the start-up began
  // The start-up runs inside the installer window's creation and may already end
  // the application.
  TInstallerForm form;
  if (!form.Create(app::ApplicationWindow())) return WindowNotCreated();
  form.ShowAfterCreate();
  return app::RunMessageLoop();
}
