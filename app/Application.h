// The application object: its title (the taskbar text, carried by a hidden
// owner window), the message pump with an application-wide message filter,
// bringing to the front, minimising and ending.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace app {

// Creates the hidden owner window that carries the application's title.
bool InitApplication(const std::wstring& title);
HWND ApplicationWindow();
void SetApplicationTitle(const std::wstring& title);
std::wstring ApplicationTitle();

// What a request to close the application does: the taskbar button's Close and a
// WM_CLOSE sent from outside reach the hidden application window, which must
// never destroy the forms it owns. Without a handler the application ends.
void SetCloseHandler(std::function<void()> handler);

// Sees every message taken from the queue before it is dispatched; setting
// `handled` keeps it from being dispatched.
using MessageFilter = std::function<void(MSG& message, bool& handled)>;
void SetMessageFilter(MessageFilter filter);

// Handles every pending message, then returns (never waits).
void ProcessMessages();
// Handles one message, waiting for it when none is pending.
void HandleMessage();
// Runs until TerminateApplication; returns the process exit code.
int RunMessageLoop();

// Asks the message loop to end (also when it has not started yet).
void TerminateApplication();
bool Terminated();

void SetExitCode(int code);
int ExitCode();

void BringApplicationToFront();
void MinimizeApplication();
// True when a window of this process is the active (foreground) one.
bool ApplicationActive();

// The window that the message loop makes visible when it starts (the main window).
void SetMainWindow(HWND window);

}  // namespace app
