// Process-wide state of the installer window and of an installation run.
// Set by the start-up and read by the installation, the status display and the finish.
#pragma once

#include <cstdint>

// Copy of the package's contentKind taken at start-up. The value 4 (silent
// installation, or the installation without window) suppresses every update
// of the installer window's controls.
extern std::uint8_t windowMode;
extern bool licenseShown;     // copy of showLicense (only when the window is shown)
extern bool documentShipped;  // copy of hasDocument

// An installation started by the Install button is running.
extern bool installing;
// The user asked to stop the running installation; checked between steps and files.
extern bool cancelRequested;

// windowMode value of a silent installation: nothing in the window is updated.
constexpr std::uint8_t kWindowModeSilent = 4;
