// Stand-ins for operations not built yet; each does nothing and returns 0.
#include "app/PendingParts.h"

bool restartNeeded = false;
bool flashSetupNeeded = false;
bool flashOcxLocked = false;
bool flashSetupDone = false;
bool flashPromptClosed = false;
int flashSetupKind = 0;

void checkFlashPlayer() {}
rc::Result installFlashPlayer() { return 0; }
void closeFlashSetupPrompt(int) {}
void askRestartAfterFlashSetup() {}

rc::Result SetCurrentScreenSaver() { return 0; }
void OpenDisplayProperties() {}
void CloseDisplayProperties() {}
void RemoveInstalledSaver() {}
rc::Result RegisterUninstallEntry(const std::wstring&) { return 0; }

rc::Result ReadSaverSettings() { return 0; }
rc::Result InstallSaverContent() { return 0; }
rc::Result WriteSaverSettings() { return 0; }

rc::Result loadSWF(const std::wstring&) { return 0; }
void focusMovie() {}
void unloadSWF() {}
