// Operations of other subsystems that the installer window calls and that are not
// built yet. Each is one function named as its owner will name it; each goes away
// as soon as the real one lands.
#pragma once

#include <string>

#include "system/ResultCodes.h"

// Flash Player detection and set-up.
extern bool restartNeeded;
extern bool flashSetupNeeded;
extern bool flashOcxLocked;
extern bool flashSetupDone;
extern bool flashPromptClosed;
extern int flashSetupKind;
void checkFlashPlayer();
rc::Result installFlashPlayer();
void closeFlashSetupPrompt(int attempts);
void askRestartAfterFlashSetup();

// Screen-saver registration.
rc::Result SetCurrentScreenSaver();
void OpenDisplayProperties();
void CloseDisplayProperties();
void RemoveInstalledSaver();
rc::Result RegisterUninstallEntry(const std::wstring& name);

// Screen-saver data file.
rc::Result ReadSaverSettings();
rc::Result InstallSaverContent();
rc::Result WriteSaverSettings();

// The Flash panel in moviePanel1.
rc::Result loadSWF(const std::wstring& path);
void focusMovie();
void unloadSWF();
