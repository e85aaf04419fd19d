// Pieces of the movie end-to-end cases: small generated movies, the stand-in
// player's files and registration on the test machine, and the player control
// window inside the installer's movie panel.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>

#include "tests/e2e/E2eSupport.h"

namespace e2e {

// A movie of 400 x 300 pixels with this background, plain ("FWS") or compressed ("CWS").
Bytes MakeMovie(int version, COLORREF background, bool compressed);

// Stand-ins from the build: a setup variant ("prompt", ...) and a control file
// of a given version ("6.0.79", ...).
fs::path FlashSetupVariant(const std::string& variant);
fs::path StandinControl(const std::string& version);

// system32\Macromed\Flash\ and the control file in it.
fs::path PlayerFolder();
fs::path PlayerControl();

// Copies a control file to PlayerControl() and registers it, as an installed
// player would be.
bool PreinstallPlayer(const fs::path& control);

// The file behind the registered player class; empty when none is registered.
std::wstring RegisteredPlayerFile();

// The file version of `file` as "a.b.c.d"; empty without version information.
std::wstring FileVersionText(const fs::path& file);

// The player's window inside the installer's movie panel (a child of the panel
// window of class "TFlashPanel"); nullptr when the panel hosts no control.
HWND PlayerWindowIn(HWND form);

// The colour on the screen in the lower right part of `window`, away from the
// text the stand-in player writes at its top left.
COLORREF BackgroundPixel(HWND window);

// True when the colours differ by at most `tolerance` in each channel.
bool SameColour(COLORREF a, COLORREF b, int tolerance = 8);

// Caption of a window of another process, read without sending it a message,
// so that a program busy installing does not delay the reader.
std::wstring CaptionOf(HWND window);

}  // namespace e2e
