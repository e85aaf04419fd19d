// Flash Player detection and quiet setup: the player's version from its
// control file and from a probe control, removal of old control files, the
// start of the setup package "flashax.exe" with "/Q", and the start-up and
// installation steps that decide and run the setup, answer the setup's own
// restart prompt and ask the user to restart Windows.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "system/ResultCodes.h"

// The player's major version from the last successful probe; -1 until one
// succeeds. Never reset by the installer (tests may reset it).
extern std::int32_t cachedFlashVersion;

// Player setup state of the installer window; all false/0 when the start-up begins.
extern bool restartNeeded;      // Windows must restart after the player setup
extern int flashSetupKind;      // kFlashSetup* below
extern bool flashSetupNeeded;   // the player setup has to run
extern bool flashOcxLocked;     // an old control file stayed after the deletion attempts
extern bool flashSetupDone;     // the setup package has been started
extern bool flashPromptClosed;  // the setup package's prompt has been answered

constexpr int kFlashSetupNone = 0;
constexpr int kFlashSetupMajorUpdate = 2;  // installed major version below 7
constexpr int kFlashSetupMinorUpdate = 3;  // major 7 or more, third number below 19
constexpr int kFlashSetupFirstInstall = 4; // no player

constexpr int kRequiredFlashMajor = 7;
constexpr int kRequiredFlashThird = 19;
constexpr int kProbeAttempts = 1000;
constexpr int kPromptAttempts = 1000;

// What the installer's application offers to the setup steps. Unset members
// fall back to plain Win32 behaviour (see LMV_FlashUtils.cpp).
struct FlashSetupHost {
  HWND appWindow = nullptr;                 // owner of the setup's start and of the question
  std::function<void()> bringToFront;       // bring the installer's application to the front
  std::function<void()> processMessages;    // handle all pending window messages
  std::function<void()> restartWindows;     // restart Windows, then close the main window
  // Yes/No question with its own caption; true for Yes.
  std::function<bool(const std::wstring& caption, const std::wstring& text)> askYesNo;
};
void SetFlashSetupHost(FlashSetupHost host);

// Probes the player by creating its control and asking FlashVersion, up to
// `attempts` times half a second apart, unless a probe already succeeded
// (then the cached version at once). 0 or rc::kNoProbeControl.
// Stops early when waiting cannot help: the control's class is not usable and
// no process of the setup started by this run (the setup or a process it
// started) is still running. Keeps windows painted while
// it waits.
rc::Result getFlashVersion(bool& ok, std::int32_t& major, int attempts);

// Version numbers of the installed control file ("Flash.ocx" first, else
// "swflash.ocx"); both 0 when neither exists or has version information.
void getFlashOcxVersion(std::int32_t& major, std::int32_t& third);

// present := major > 0 of getFlashOcxVersion.
void isFlashInstalled(bool& present, std::int32_t& major);

// Deletes both control files (100 attempts each); true when one stayed.
bool deleteOldFlashOcx();

// Starts WorkFolder\flashax.exe "/Q" hidden without waiting.
// 0, rc::kFlashSetupMissing, rc::kOutOfMemory (the shell returned 0) or the shell's code 1..32.
rc::Result runFlashSetup();

// True while the setup started by runFlashSetup in this run, or a process it
// started in turn, still runs.
bool flashSetupRunning();

// Start-up step: decides whether the player must be installed or updated and,
// when the old files are gone, installs it at once.
void checkFlashPlayer();
// Runs the setup and waits for the control; 0 or the result of runFlashSetup.
rc::Result installFlashPlayer();
// Answers the setup's restart prompt with No, once per run.
void closeFlashSetupPrompt(int attempts);
// Attempts to find the prompt when the installer closes after a setup that asked for a restart.
constexpr int kPromptAttemptsAtExit = 1000;
// Answers the setup's prompt, then asks the user whether to restart Windows.
void askRestartAfterFlashSetup();
