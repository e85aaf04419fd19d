// The installation: from the press of the Install button (or the start-up's own
// paths) to the final screen. Each step runs only while the result is 0 and no
// cancel was requested; whatever happens, the closing steps run.
#include <exception>
#include <new>

#include "app/Application.h"
#include "app/InstallerForm.h"
#include "app/InstallerState.h"
#include "app/OutcomeText.h"
#include "flash/LMV_FlashUtils.h"
#include "app/PreparingWindow.h"
#include "app/RaisedFailure.h"
#include "messages/MessageBox.h"
#include "messages/Messages.h"
#include "payload/PayloadExtraction.h"
#include "payload/PayloadTable.h"
#include "payload/SaverDataFile.h"
#include "system/LMV_RegistryUtils.h"
#include "system/SaverRegistration.h"
#include "system/LMV_FileUtils.h"

namespace {

// Runs one step; a failure it raises instead of returning becomes its code.
template <typename Step>
rc::Result Guarded(Step step) {
  try {
    return step();
  } catch (const std::exception& failure) {
    return CodeOfRaisedFailure(failure);
  } catch (...) {
    return rc::kInstallerBroken;
  }
}

}  // namespace

void TInstallerForm::installBtnClick() {
  if (installing) return;  // a second press while installing does nothing
  installing = true;
  cancelRequested = false;
  const rc::Result result = RunInstallation();
  if (!cancelRequested && result == 0) {
    Guarded([] {
      if (restartNeeded)
        askRestartAfterFlashSetup();
      else
        InstallerForm->AskOpenDisplayProperties();
      return rc::kOk;
    });
  }
  installing = false;
  if (result == 0) Close();
}

rc::Result TInstallerForm::RunInstallation() {
  rc::Result result = 0;
  rc::Result registration = 0;
  auto goingOn = [&] { return !cancelRequested && result == 0; };
  // Whether this run has begun to write to the target: only then is there
  // anything of ours to remove.
  targetTouched_ = false;

  // 1.-2.
  const HCURSOR rememberedCursor = ui::ScreenCursor();
  ui::SetScreenCursor(LoadCursorW(nullptr, IDC_WAIT));
  ShowInstallingState();

  // 3.
  if (!cancelRequested) Guarded([] {
      CloseDisplayProperties();
      return rc::kOk;
    });
  // 4.
  if (!cancelRequested) {
    const bool ask = Payload.header.contentKind != payload::kContentSilent;
    result = Guarded([ask] {
      return PrepareSaverTarget(SystemFolder, ScreenSaverName, ask,
                                LoadMessage(msg::sSameNameOverwriteQuery));
    });
    if (result == rc::kUserDeclined)
      cancelRequested = true;
    else
      targetTouched_ = true;
    if (preparingInstallWnd != nullptr) preparingInstallWnd->Repaint();
  }
  // 5.
  if (goingOn() && flashSetupNeeded && !flashSetupDone)
    result = Guarded([] { return installFlashPlayer(); });
  // 6.-9.
  if (goingOn()) result = Guarded([] { return ExtractSaverFiles(PackageCopyPath, documentShipped); });
  if (goingOn()) result = Guarded([] { return ReadSaverSettings(); });
  if (goingOn()) result = Guarded([] { return InstallSaverContent(); });
  if (goingOn()) result = Guarded([] { return WriteSaverSettings(); });
  // 10. A failed registration neither stops the later steps nor causes the removal.
  if (goingOn()) registration = Guarded([] { return SetCurrentScreenSaver(); });
  // 11.-13.
  if (goingOn())
    result = Guarded([] { return CopyDocumentsToDataFolder(licenseShown, documentShipped); });
  if (goingOn()) Guarded([] {
      OpenDocument();
      return rc::kOk;
    });
  if (goingOn()) {
    Guarded([] { return RegisterUninstallEntry(ScreenSaverName); });
    result = 0;
  }

  // 14. The data file was only needed during the installation.
  if (!SaverDataFilePath.empty()) DeleteFileForced(SaverDataFilePath);
  // 15.
  if (result != 0 && result != rc::kUserDeclined && targetTouched_)
    Guarded([] {
      RemoveInstalledSaver();
      return rc::kOk;
    });
  // 16.
  if (!cancelRequested && registration != 0) result = registration;
  // 17.
  if (!cancelRequested) {
    setupFormForInstallationComplete(result);
  } else {
    ShowStatus(LoadMessage(msg::sDeletingInstalledFiles));
    if (result != rc::kUserDeclined && targetTouched_)
      Guarded([] {
        RemoveInstalledSaver();
        return rc::kOk;
      });
    ResetAfterCancel();
  }
  // 18.
  ui::SetScreenCursor(rememberedCursor);
  return result;
}

void TInstallerForm::ShowInstallingState() {
  if (windowMode == kWindowModeSilent) return;
  installBtn.Enable(false);
  cancelBtn.Show(true);
  app::ProcessMessages();
  ShowStatus(LoadMessage(msg::sInstallingScreenSaver));
  app::ProcessMessages();
}

void TInstallerForm::setupFormForInstallationComplete(rc::Result result) {
  if (windowMode == kWindowModeSilent) return;
  if (result == 0) progressBar.SetPosition(progressBar.Maximum());
  PauseBriefly();
  PauseBriefly();
  progressBar.SetPosition(0);
  switch (result) {
    case rc::kOk:
      ShowStatus(LoadMessage(msg::sSaverInstallComplete));
      doneBtn.Show(true);
      doneBtn.Focus();
      installBtn.Show(false);
      cancelBtn.Show(false);
      app::ProcessMessages();
      break;
    case rc::kAccessDenied:
      ShowStatus(LoadMessage(msg::sAbortedUserRights));
      ShowInstallError(rc::kAccessDenied, std::to_wstring(rc::kAccessDenied));
      break;
    case rc::kSaverOverwriteFailed:
      ShowStatus(LoadMessage(msg::sAbortedOverwriteFailed));
      ShowInstallError(rc::kSaverOverwriteFailed, std::to_wstring(rc::kSaverOverwriteFailed));
      break;
    default:
      ShowStatus(ComposeInstallFailedText(result, LoadMessage));
      break;
  }
  if (result == 0) installBtn.Enable(false);
}

void TInstallerForm::ResetAfterCancel() {
  if (windowMode == kWindowModeSilent) return;
  progressBar.SetPosition(0);
  ShowStatus(std::wstring());
  cancelBtn.Enable(true);
  app::ProcessMessages();
  installBtn.Enable(true);
}

void TInstallerForm::AskOpenDisplayProperties() {
  if (Payload.header.offerDisplayProperties == 0) return;
  app::BringApplicationToFront();
  const BoxAnswer answer = ShowMessageBox(
      BoxKind::Confirmation, LoadMessage(msg::sInstalledOpenDisplayQuery), BoxButtons::YesNo);
  if (answer == BoxAnswer::Yes) {
    app::MinimizeApplication();
    OpenDisplayProperties();
  }
}

rc::Result TInstallerForm::InstallWithoutWindow() {
  const std::uint8_t rememberedMode = windowMode;
  windowMode = kWindowModeSilent;  // the hidden installer window is not touched
  if (preparingInstallWnd != nullptr) {
    preparingInstallWnd->SetText(Text());
    preparingInstallWnd->SetPreparingText(LoadMessage(msg::sInstallingScreenSaver));
  }
  const rc::Result result = RunInstallation();
  if (preparingInstallWnd != nullptr)
    preparingInstallWnd->SetPreparingText(ComposeWithoutWindowOutcome(result, LoadMessage));
  windowMode = rememberedMode;
  return result;
}

void TInstallerForm::RunSilent() {
  const rc::Result result = RunInstallation();
  app::SetExitCode(result);
}
