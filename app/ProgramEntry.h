// The installer program from its entry to its end: the preparing window (the
// main window), the installer window whose creation runs the whole start-up,
// then the message loop. No command line is read.
#pragma once

// Returns the process exit code: a silent installation's result, 0 otherwise;
// rc::kWindowNotCreated, after an error box, when a window cannot be made.
int RunInstallerProgram();
