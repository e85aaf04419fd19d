// Making the installed screen saver the current one, the display-properties
// window, and removing an installed screen saver again.
//
// The functions taking arguments are the working parts; the ones without
// arguments are the installer window's operations and read the installation's
// process-wide values (SystemFolder, the package table's slot 6 and header,
// ScreenSaverName, SaverDataFolder). They live in lv_system_form_win.
#pragma once

#include <string>

#include "system/ResultCodes.h"

// The installer window's caption for a screen saver (texts from the catalogue).
std::wstring MakeInstallCaption(const std::wstring& name);

// Names `programPath` by its short (8.3) form in system.ini [boot]
// SCRNSAVE.EXE, flushes the profile cache and switches the screen saver on.
// rc::kFileMissing (-16) when the program does not exist (system.ini then
// untouched); the Windows error code when the profile write is refused.
rc::Result SetCurrentScreenSaver(const std::wstring& programPath);

// With `offer` set: starts the display control panel on its screen-saver page
// and waits a bounded while for its window, with the hourglass shown; the
// cursor shown before comes back. Without `offer`: nothing.
void OpenDisplayProperties(bool offer);

// Presses Cancel (dialog item 2) of an open display-properties window, found
// by its Japanese or English title, and waits a bounded while until it is gone.
void CloseDisplayProperties();

// Removes the data folder, the program file and the uninstall entry; results
// are not looked at. Empty arguments are skipped.
void RemoveInstalledSaver(const std::wstring& dataFolder, const std::wstring& programPath,
                          const std::wstring& name);

// The installer window's operations on the installation's own values.
rc::Result SetCurrentScreenSaver();
void OpenDisplayProperties();
void RemoveInstalledSaver();
// SystemFolder + slot 6's file name; empty when that name is not a plain file name.
std::wstring InstalledProgramPath();
