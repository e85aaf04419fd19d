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
#include "app/StepMarks.h"
#include "messages/MessageBox.h"
#include "messages/Messages.h"
#include "payload/PayloadExtraction.h"
#include "payload/PayloadTable.h"
#include "payload/SaverDataFile.h"
#include "system/InstallJournal.h"
#include "system/LMV_RegistryUtils.h"
#include "system/SaverRegistration.h"
#include "system/LMV_FileUtils.h"
#include "system/LMV_StringUtils.h"

namespace {

// Runs one step; a failure it raises instead of returning becomes its code.
template <typename Step>
rc::Result Guarded(Step step) {
  try {
    return step();
  } catch (...) {
    return CodeOfCurrentFailure();
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
  if (result == 0) {
    Close();
  } else if (windowMode != kWindowModeSilent && !cancelRequested) {
    // The failed screen: Cancel, disabled since the last check point, now ends the program.
    cancelBtn.Enable(true);
    FocusControl(cancelBtn);
  }
}

rc::Result TInstallerForm::RunInstallation() {
  rc::Result result = 0;
  rc::Result registration = 0;
  auto goingOn = [&] { return !cancelRequested && result == 0; };
  // Whether this run has begun to write to the target: only then is there
  // anything of ours to remove.
  targetTouched_ = false;

  const HCURSOR rememberedCursor = ui::ScreenCursor();
  ui::SetScreenCursor(LoadCursorW(nullptr, IDC_WAIT));
  ShowInstallingState();

  // An open display-properties window previews, and so holds, the old program.
  if (!cancelRequested) Guarded([] {
      CloseDisplayProperties();
      return rc::kOk;
    });
  // Earlier copies go (after the overwrite question, unless silent); the data folder is made.
  // The journal comes first: from here on every change is announced in it, so
  // that an installation that dies is undone by the next start.
  if (!cancelRequested)
    result = Guarded([] { return Journal.Begin(JournalPathFor(SystemFolder, ScreenSaverName), ScreenSaverName); });
  if (goingOn()) {
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
  LV_STEP_MARK("saver-target");
  // A player set-up the start-up could not run is run now.
  if (goingOn() && flashSetupNeeded && !flashSetupDone)
    result = Guarded([] { return installFlashPlayer(); });
  // The package's files, then the data file's entries and the saver's settings.
  if (goingOn())
    result = Guarded([] { return ExtractSaverFiles(PackageCopyPath, documentShipped); });
  LV_STEP_MARK("saver-files");
  if (goingOn()) result = Guarded([] { return ReadSaverSettings(); });
  if (goingOn()) result = Guarded([] { return InstallSaverContent(); });
  if (goingOn()) result = Guarded([] { return WriteSaverSettings(); });
  // The saver becomes the current one. A failed registration neither stops the
  // later steps nor causes the removal.
  if (goingOn()) registration = Guarded([] { return SetCurrentScreenSaver(); });
  // The licence and the document go into the data folder; the document is opened.
  if (goingOn())
    result = Guarded([] { return CopyDocumentsToDataFolder(licenseShown, documentShipped); });
  if (goingOn()) Guarded([] {
      OpenDocument();
      return rc::kOk;
    });
  // The uninstall entry; its failure is not the installation's. This is the last
  // point where a cancel is looked at: from here on Cancel could change nothing,
  // and a late click must neither show a removal that does not happen nor skip
  // the questions at the end.
  const bool lastStepDue = goingOn();
  if (windowMode != kWindowModeSilent) cancelBtn.Enable(false);
  if (lastStepDue) {
    Guarded([] {
      const rc::Result noted = Journal.NoteUninstallEntry(ScreenSaverName);
      return noted != rc::kOk ? noted : RegisterUninstallEntry(ScreenSaverName);
    });
    result = 0;
  }

  LV_STEP_MARK("saver-registered");
  // The data file was only needed during the installation.
  if (!SaverDataFilePath.empty()) DeleteFileForced(SaverDataFilePath);
  // A failure removes what this run has written.
  if (result != 0 && result != rc::kUserDeclined && targetTouched_)
    Guarded([] {
      RemoveInstalledSaver();
      return rc::kOk;
    });
  if (!cancelRequested && registration != 0) result = registration;
  // The final screen; after a cancel, the removal and the ready screen again.
  // The last change is made: the copies set aside go and the journal with them.
  if (!cancelRequested) {
    Journal.Finish();
    setupFormForInstallationComplete(result);
  } else {
    ShowStatus(LoadMessage(msg::sDeletingInstalledFiles));
    if (result != rc::kUserDeclined && targetTouched_)
      Guarded([] {
        RemoveInstalledSaver();
        return rc::kOk;
      });
    Journal.Finish();
    ResetAfterCancel();
  }
  ui::SetScreenCursor(rememberedCursor);
  LV_STEP_MARK("installation-ended");
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
      FocusControl(doneBtn);
      installBtn.Show(false);
      cancelBtn.Show(false);
      app::ProcessMessages();
      break;
    case rc::kAccessDenied:
      ShowStatus(LoadMessage(msg::sAbortedUserRights));
      ShowInstallError(rc::kAccessDenied, DecimalText(rc::kAccessDenied));
      break;
    case rc::kSaverOverwriteFailed:
      ShowStatus(LoadMessage(msg::sAbortedOverwriteFailed));
      ShowInstallError(rc::kSaverOverwriteFailed, DecimalText(rc::kSaverOverwriteFailed));
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
  FocusControl(installBtn);
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
