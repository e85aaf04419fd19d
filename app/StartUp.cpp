// The start-up of the installer window: copies the installer into its work folder,
// reads the package, extracts what the first screen needs, checks the Flash Player
// and lays out the window. Ends in one of four ways: ready, failed (damaged-installer
// message), installed without the window, or silently installed.
#include <exception>
#include <vector>

#include "app/Application.h"
#include "app/InstallerForm.h"
#include "app/InstallerState.h"
#include "app/OutcomeText.h"
#include "flash/LMV_FlashUtils.h"
#include "flash/FlashPanel.h"
#include "app/PreparingWindow.h"
#include "app/RaisedFailure.h"
#include "app/StepMarks.h"
#include "app/WindowLayout.h"
#include "messages/MessageBox.h"
#include "messages/Messages.h"
#include "payload/PayloadExtraction.h"
#include "payload/PayloadTable.h"
#include "system/Cp932.h"
#include "system/DeferredImports.h"
#include "system/InstallJournal.h"
#include "system/InstallerError.h"
#include "system/LMV_FileUtils.h"
#include "system/SaverRegistration.h"

namespace {

constexpr int kStartupProgressMax = 10;
constexpr std::uint64_t kMaxLicenseBytes = 16u * 1024 * 1024;

std::wstring RunningProgramPath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::wstring();
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

// Shown while a dead installation is undone.
void ShowUndoingStatus() {
  if (preparingInstallWnd != nullptr)
    preparingInstallWnd->SetPreparingText(LoadMessage(msg::sDeletingInstalledFiles));
}

// An installation of this saver that died (its journal no longer held open) is
// undone, or finished when it was complete, before this one begins. One still
// running is left alone.
rc::Result RecoverDeadInstallation() {
  Recovery found = Recovery::None;
  return RecoverInstallation(JournalPathFor(SystemFolder, ScreenSaverName), found, ShowUndoingStatus);
}

// WorkFolder + the (code page 932) name of a slot.
std::wstring WorkFileOfSlot(int slot) {
  const payload::PayloadRecord* record = Payload.Slot(slot);
  return WorkFolder + (record != nullptr ? text::FromCp932(record->Name()) : std::wstring());
}

}  // namespace

// The licence text: code page 932 bytes, shown as the lines of the licence box.
rc::Result TInstallerForm::LoadLicenseText(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return static_cast<rc::Result>(GetLastError());
  LARGE_INTEGER size{};
  std::string bytes;
  rc::Result result = 0;
  if (!GetFileSizeEx(file, &size)) {
    result = static_cast<rc::Result>(GetLastError());
  } else {
    // A licence beyond any sensible length is shown cut, never read whole into memory.
    bytes.resize(static_cast<size_t>(
        std::min<std::uint64_t>(static_cast<std::uint64_t>(size.QuadPart), kMaxLicenseBytes)));
    DWORD read = 0;
    if (!bytes.empty() &&
        !ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
      result = static_cast<rc::Result>(GetLastError());
    bytes.resize(read);
  }
  CloseHandle(file);
  if (result == 0) licenseScrollBox.SetLines(text::FromCp932(bytes));
  return result;
}

void TInstallerForm::PrepareInstaller() {
  startupRunning_ = true;
  // Hourglass while preparing.
  const HCURSOR rememberedCursor = ui::ScreenCursor();
  ui::SetScreenCursor(LoadCursorW(nullptr, IDC_WAIT));
  app::ProcessMessages();

  // State of a new run.
  licenseShown = false;
  documentShipped = false;
  restartNeeded = false;
  flashSetupNeeded = false;
  flashOcxLocked = false;
  flashSetupDone = false;
  flashPromptClosed = false;
  installing = false;
  cancelRequested = false;

  rc::Result result = 0;
  bool silent = false;
  // The header asks for a silent installation: its caller reads the exit code,
  // so a failed start-up must not end with 0 either.
  bool silentPackage = false;
  bool installedWithoutWindow = false;
  try {
    // The four folders; the work folder is made under TEMP.
    result = InitInstallFolders(RunningProgramPath());
    // The installer is copied into the work folder; the package is read from the copy.
    if (result == 0) {
      SetPackagePaths();
      result = CopyPackageToWork();
    }
    if (result == 0) {
      result = ReadPayloadTable();
      silentPackage = result != rc::kPackageTooShort &&
                      Payload.header.contentKind == payload::kContentSilent;
    }
    LV_STEP_MARK("package-read");
    const std::uint8_t contentKind = Payload.header.contentKind;
    // A window that will be shown: a short pause so that the preparing window is seen,
    // and its progress bar (neither for a silent package). The libraries the window
    // needs from here on (the progress bar's, the movie's control's, the shell's) load
    // during the pause.
    if (result == 0 && contentKind != payload::kContentSilent) {
      {
        const deferred::BackgroundBinding windowLibraries;
        if (preparingInstallWnd != nullptr) preparingInstallWnd->WaitHalfSecond();
      }
      LV_STEP_MARK("half-second-wait");
      CreateProgressBar();
      LV_STEP_MARK("progress-bar");
    }
    // The saver's name, its data folder and data file; its program is checked.
    if (result == 0) {
      result = SetSaverPaths();
      windowMode = contentKind;
    }
    if (result == 0) result = RecoverDeadInstallation();
    // The document, when the package ships one.
    if (result == 0) {
      documentShipped = Payload.header.hasDocument != 0;
      if (documentShipped) result = ExtractDocument();
    }
    // The player's setup is extracted; the player is checked and set up at once when it can be.
    if (result == 0) result = ExtractFlashSetup();
    if (result == 0) checkFlashPlayer();
    LV_STEP_MARK("player-checked");
    // The window's caption (and the taskbar's text) name the saver; a silent package has none.
    if (result == 0) {
      silent = contentKind == payload::kContentSilent;
      if (!silent) {
        SetInstallCaption(ScreenSaverName);
        app::SetApplicationTitle(Text());
      }
    }
    // The licence area and the buttons.
    if (result == 0 && !silent) {
      licenseShown = Payload.header.showLicense != 0;
      if (licenseShown) {
        result = ExtractLicense();
        if (result == 0) {
          LoadLicenseText(WorkFileOfSlot(payload::kSlotLicense));
          licenseScrollBox.Show(true);
          SetSizeable(true);
          SetMinimumSize(layout::kMinWidthWithLicense, layout::kMinHeightWithLicense);
          licenseHeight_ = layout::kLicenseMinHeight;
          licenseScrollBox.SetHeight(licenseHeight_);
          installBtn.SetWidth(layout::kInstallWidthLicense);
          installBtn.SetText(LoadMessage(msg::sAcceptInstallCaption));
          cancelBtn.Show(true);
        }
      } else {
        installBtn.SetWidth(layout::kInstallWidthPlain);
        installBtn.SetText(LoadMessage(msg::sInstallWord));
        licenseScrollBox.Show(false);
      }
      installBtn.SetLeft(
          layout::InstallButtonLeft(cancelBtn.GetBounds().left, installBtn.GetBounds().width));
      buttonPanel.SetAnchors(installBtn, ui::kAnchorTop | ui::kAnchorRight);
      cancelBtn.SetText(LoadMessage(msg::sCancelCaption));
      doneBtn.SetText(LoadMessage(msg::sCloseCaption));
    }
    // The movie or picture the window shows.
    if (result == 0 && !silent) result = ExtractDisplayContent();
    LV_STEP_MARK("window-filled");
    // The presentation; a movie that cannot be shown installs at once without the window.
    if (result == 0 && !silent) {
      const std::wstring contentPath = WorkFileOfSlot(payload::kSlotPresentation);
      switch (windowMode) {
        case payload::kContentBitmap:
        case payload::kContentJpeg:
          ShowWindow(moviePanel1->handle(), SW_HIDE);
          if (!LoadPicture(contentPath)) ShowErrorBox(L"CorruptFile: ");
          bmpPanel.Show(true);
          bmpPanel.BringToFront();
          break;
        case payload::kContentMovie:
        case payload::kContentMovieAlt:
          result = moviePanel1->loadSWF(contentPath);
          if (result == 0) {
            app::BringApplicationToFront();
            app::ProcessMessages();
            if (app::ApplicationActive()) moviePanel1->focusMovie();
          } else {
            result = InstallWithoutWindow();
            installedWithoutWindow = true;
            app::ProcessMessages();
          }
          break;
        default:
          break;  // the empty white movie panel
      }
    }
    LV_STEP_MARK("presentation");
    // The window gets its final size, centred, with the preparing window moved off the screen.
    if (result == 0 && !silent && !installedWithoutWindow) {
      if (preparingInstallWnd != nullptr) preparingInstallWnd->ParkOffScreen();
      progressBar.SetMaximum(kStartupProgressMax);
      if (IsIconic(hwnd_) || IsZoomed(hwnd_)) ShowWindow(hwnd_, SW_RESTORE);  // normal state
      ArrangeWindow();
    }
    LV_STEP_MARK("window-arranged");
    // A silent package installs now; its result becomes the exit code.
    if (result == 0 && silent) RunSilent();
  } catch (...) {
    // A step that raised instead of returning: the start-up fails like any other failure.
    result = CodeOfCurrentFailure();
  }

  // The cursor of before.
  ui::SetScreenCursor(rememberedCursor);
  startupRunning_ = false;
  // A failure (other than a declined overwrite) gets the damaged-installer message.
  if (result != 0 && result != rc::kUserDeclined)
    ShowErrorBox(ComposeDamagedInstallerText(result, LoadMessage));
  // How the start-up ends: failed, installed without the window, silently installed, or ready.
  if (result != 0) {
    if (silentPackage && result != rc::kUserDeclined) app::SetExitCode(result);
    if (restartNeeded) closeFlashSetupPrompt(kPromptAttemptsAtExit);
    Close();
  } else if (installedWithoutWindow) {
    if (restartNeeded)
      askRestartAfterFlashSetup();
    else
      AskOpenDisplayProperties();
    Close();
  } else if (silent) {
    if (restartNeeded)
      askRestartAfterFlashSetup();
    else
      OpenDisplayProperties();
    Close();
  }
}
