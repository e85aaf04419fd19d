// Restarting Windows after a Flash Player update that left old files in place.
// On Windows 95/98/Me the restart is requested directly; on the NT family the
// process first enables its shutdown privilege for the duration of the request.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Restarts Windows; true when the system accepted the request.
bool btnExitWindowsClick();
// True on the Windows 95/98/Me platform.
bool Win9X();
// Shuts down or restarts with the shutdown privilege enabled during the call.
bool WinExit(UINT flags);
// Enables or disables one privilege in the token of this process.
bool SetPrivilege(const std::wstring& name, bool enable);

// Test seam: while set, this is called instead of ExitWindowsEx (flags, reserved).
using ExitWindowsFunction = std::function<BOOL(UINT flags, DWORD reserved)>;
void SetExitWindowsFunction(ExitWindowsFunction function);
