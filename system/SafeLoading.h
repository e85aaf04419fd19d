// Loading libraries and starting programs so that nothing is taken from the
// installer's own folder by accident: the installer is usually started from a
// downloads folder that holds other files, and Windows looks in the program's
// folder first for a library or program named without a path.
//
// The installer's import table lists only libraries that Windows always takes
// from the system folder (KnownDLLs); everything else is loaded at run time by
// its full system-folder path (system/DeferredImports.h).
#pragma once

#include <windows.h>

#include <string>

#include "system/ResultCodes.h"

// Takes the program's folder and the current folder out of the library search
// for the rest of the process: SetDefaultDllDirectories(system folder only)
// where Windows has it (Windows 8, Windows 7 and Vista with KB2533623), else
// SetDllDirectoryW(L"") (XP SP1 on). Both are looked up at run time, so the
// program still starts where neither exists. Call first thing.
void RestrictLibrarySearch();

// The system folder with a trailing backslash, straight from the system (it is
// needed before the installer's folders are set).
std::wstring SystemDirectory();

// The full path of the system folder's file `fileName`; empty without a system folder.
std::wstring SystemFilePath(const wchar_t* fileName);

// The function `name` that `module` exports, as type Fn; nullptr when either is missing.
template <typename Fn>
Fn ExportedFunction(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  // Through the generic function type: GetProcAddress's result is a function pointer.
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// Starts the system folder's program `fileName` (never one of the same name
// elsewhere) with `arguments`, in the system folder, shown with `show`. Like
// WinExec, returns once the program waits for input (at most 30 s), so that its
// window can be looked for at once. 0 or the Windows error code.
rc::Result StartSystemProgram(const wchar_t* fileName, const std::wstring& arguments, WORD show);
