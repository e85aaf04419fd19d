// How the installer ends: Cancel (stop the running installation, or leave), Close,
// the refusal to close while installing, and the clean-up of the work folder.
#include "app/Application.h"
#include "app/InstallerForm.h"
#include "app/InstallerState.h"
#include "app/StepMarks.h"
#include "flash/LMV_FlashUtils.h"
#include "flash/FlashPanel.h"
#include "messages/Messages.h"
#include "payload/PayloadExtraction.h"
#include "system/LMV_FileUtils.h"

void TInstallerForm::cancelBtnClick() {
  if (installing) {
    // Only a request: the installation sees it at its next check and cleans up.
    cancelRequested = true;
    ShowStatus(LoadMessage(msg::sDeletingInstalledFiles));
    if (windowMode != kWindowModeSilent) progressBar.SetPosition(0);
    app::ProcessMessages();
    PauseBriefly();
    PauseBriefly();
    return;
  }
  if (restartNeeded) closeFlashSetupPrompt(kPromptAttemptsAtExit);
  Close();
}

void TInstallerForm::doneBtnClick() { Close(); }

void TInstallerForm::FormCloseQuery(bool& canClose) {
  canClose = !installing;
}

void TInstallerForm::FormClose() {
  if (windowMode != kWindowModeSilent) moviePanel1->unloadSWF();
  // The folder that holds the package copy is the work folder with everything extracted.
  const std::wstring workFolder = FolderOfPath(PackageCopyPath);
  // Its lock file goes once the folder is gone; a folder that stays is removed
  // by the next start-up, after this process has ended.
  if (!workFolder.empty() && DeleteFolderTree(workFolder) == rc::kOk) ReleaseWorkFolder();
  LV_STEP_MARK("work-folder-removed");
}
