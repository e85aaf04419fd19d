#include "app/StatusDisplay.h"

#include <windows.h>

#include "app/Application.h"
#include "app/InstallErrorText.h"
#include "flash/LMV_FlashUtils.h"
#include "app/InstallerState.h"
#include "messages/MessageBox.h"
#include "messages/Messages.h"
#include "messages/SystemText.h"

namespace {
constexpr int kPromptAttemptsInPause = 10;
StatusView* g_view = nullptr;

}  // namespace

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
  // The Flash Player set-up may have opened its prompt meanwhile: answer it.
  if (restartNeeded && !flashPromptClosed) closeFlashSetupPrompt(kPromptAttemptsInPause);
  app::BringApplicationToFront();
}

void ShowInstallError(rc::Result code, const std::wstring& detail) {
  const std::wstring systemText =
      code == rc::kCannotCopyInstaller ? SystemMessageText(static_cast<unsigned long>(code)) : std::wstring();
  ShowErrorBox(ComposeInstallErrorText(code, detail, LoadMessage, systemText));
}
