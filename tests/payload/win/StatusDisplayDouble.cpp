// The status display for the extraction tests: the same contract as the
// installer window's (no update while windowMode is 4 or without a view, error
// boxes composed from the catalogue), without the window, the movie and the
// Flash Player set-up that the real one also serves.
#include <windows.h>

#include "app/InstallErrorText.h"
#include "app/InstallerState.h"
#include "app/StatusDisplay.h"
#include "messages/MessageBox.h"
#include "messages/Messages.h"

namespace {
StatusView* g_view = nullptr;
}

void SetStatusView(StatusView* view) { g_view = view; }

void ShowStatus(const std::wstring& text) {
  if (windowMode == kWindowModeSilent || g_view == nullptr) return;
  g_view->SetStatusText(text);
}

void StepProgress() {
  if (windowMode == kWindowModeSilent || g_view == nullptr) return;
  g_view->StepProgressBar();
  PauseBriefly();
}

void PauseBriefly() {
  if (g_view != nullptr) g_view->RunPauseTimer();
}

void ShowInstallError(rc::Result code, const std::wstring& detail) {
  ShowErrorBox(ComposeInstallErrorText(code, detail, LoadMessage, std::wstring()));
}
