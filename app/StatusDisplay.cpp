#include "app/StatusDisplay.h"

#include <windows.h>

#include "app/Application.h"
#include "app/InstallErrorText.h"
#include "flash/LMV_FlashUtils.h"
#include "app/InstallerState.h"
#include "messages/MessageBox.h"
#include "messages/Messages.h"

namespace {
constexpr int kPromptAttemptsInPause = 10;
StatusView* g_view = nullptr;

// The system's message text for a number, or an empty text when it has none.
std::wstring SystemMessageText(rc::Result code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
  std::wstring text;
  if (length > 0 && buffer != nullptr) text.assign(buffer, length);
  if (buffer != nullptr) LocalFree(buffer);
  return text;
}
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
      code == rc::kCannotCopyInstaller ? SystemMessageText(code) : std::wstring();
  ShowErrorBox(ComposeInstallErrorText(code, detail, LoadMessage, systemText));
}
