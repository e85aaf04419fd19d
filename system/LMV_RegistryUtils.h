// The uninstall entry that lists the installed screen saver among the
// installed programs: key "Software\Microsoft\Windows\CurrentVersion\Uninstall\"
// + name with the values "DisplayName" and "UninstallString".
#pragma once

#include <windows.h>

#include <string>

#include "system/ResultCodes.h"

// The key below the root for a screen saver's entry.
std::wstring UninstallKeyPath(const std::wstring& name);

// The command the entry starts: the program in SystemFolder with "/u"; the
// program path is quoted when it contains a space, so that the system cannot
// start a program named by a shorter prefix of it.
std::wstring UninstallCommand(const std::wstring& name);

// Writes the entry under `root`. 0 or rc::kUninstallWriteFailed (a value
// written before the failing one stays).
rc::Result WriteUninstallEntry(const std::wstring& name, HKEY root);

// Under HKEY_LOCAL_MACHINE, and when that fails under HKEY_CURRENT_USER; the
// result of the last attempt.
rc::Result RegisterUninstallEntry(const std::wstring& name);

// Removes the entry under `root`: both values, then the key with any subkeys.
// A key that does not open counts as removed (0); a value that cannot be
// deleted (missing included) gives rc::kUninstallValueMissing and the key stays.
rc::Result DeleteUninstallEntry(const std::wstring& name, HKEY root);

// Deletes `path` below `root` with all its subkeys, deepest first. A Windows
// error code (ERROR_FILE_NOT_FOUND when there is no such key) or 0.
long DeleteRegistryKeyTree(HKEY root, const std::wstring& path);

// Under HKEY_LOCAL_MACHINE, and only when that fails under HKEY_CURRENT_USER;
// the result of the last attempt.
rc::Result UnregisterUninstallEntry(const std::wstring& name);
