// The well-known folders of an installation run and the file routines that the
// whole installer shares: deleting files that resist, deleting folder trees,
// numbered work folders, version numbers of a file.
//
// Every folder path ends with a backslash; file names are joined by plain
// concatenation.
#pragma once

#include <string>

#include "system/ResultCodes.h"

// Set once by InitInstallFolders at start-up, read afterwards.
extern std::wstring WindowsFolder;
extern std::wstring SystemFolder;
extern std::wstring InstallerFolder;
extern std::wstring WorkFolder;

// Sets the four folders from the environment, the system and the installer's
// own full path, removes the work folders of dead installer processes, then
// creates WorkFolder ("LVF" + number under TEMP, owned by this process).
// Returns 0, the Windows error code of the work-folder creation, or
// rc::kNoTempFolder when a folder cannot be determined at all (start-up then
// reports a damaged installer).
rc::Result InitInstallFolders(const std::wstring& installerPath);

// WINDIR with a trailing backslash; GetWindowsDirectory when WINDIR is unset
// or empty. Empty only when neither gives a folder.
std::wstring GetWindowsFolder();

// The system directory with a trailing backslash; empty when the system
// cannot tell it.
std::wstring GetSystemFolder();

// The folder part of a path (up to and including its last backslash or colon)
// with a trailing backslash; empty when the path names no folder.
std::wstring FolderOfPath(const std::wstring& path);

// Creates TEMP\<prefix><n>\ for the first n in 1..1000 that is neither present
// nor refused. On success `folder` is the new folder and the result is 0; after
// 1000 numbers the result is the last Windows error code and `folder` is TEMP
// + prefix. An unset or empty TEMP falls back to the system's temporary folder;
// with no temporary folder at all the result is rc::kNoTempFolder.
rc::Result CreateWorkFolder(const std::wstring& prefix, std::wstring& folder);

// Like CreateWorkFolder, but the folder is tied to this process: the number is
// claimed by a lock file TEMP\<prefix><n>.lock beside the folder, created
// first and held open (shared for reading only) until ReleaseWorkFolder.
rc::Result CreateOwnedWorkFolder(const std::wstring& prefix, std::wstring& folder);
// Closes and deletes the lock file; called once the work folder is gone.
void ReleaseWorkFolder();
// Removes TEMP\<prefix><n>\ of every lock file that no live process holds,
// then the lock file. Folders without a lock file are never touched.
void RemoveDeadWorkFolders(const std::wstring& prefix);

// Deletes a file, clearing read-only/hidden/system on a second try.
// 0 when gone (or never there), rc::kFileBusy when it stays.
rc::Result DeleteFileForced(const std::wstring& path);

// Like DeleteFileForced, up to `attempts` times in a row. A file that stays
// gives rc::kSaverOverwriteFailed when its extension is ".scr" (any case),
// otherwise rc::kFileBusy. attempts <= 0: nothing touched, rc::kFolderRemoveFailed.
rc::Result DeleteFileRetry(const std::wstring& path, int attempts);

// Deletes `folder` (ending with a backslash) and everything in it. Junctions
// and symbolic links inside it are removed as links; what they point to is
// never entered. 0 (also when the folder does not exist), rc::kFileBusy when a
// file stays (the enumeration stops there), rc::kFolderRemoveFailed when the
// folder itself stays or `folder` is empty.
rc::Result DeleteFolderTree(const std::wstring& folder);

// The first and third parts of the file version a.b.c.d in the file's version
// resource. Without version information both outputs keep their values.
void GetFileVersionNumbers(const std::wstring& path, int& first, int& third);

// --- the screen saver's place in a folder -------------------------------------
// An installed screen saver `name` in `folder` is the program folder + name +
// ".scr" and its data folder folder + name + " dir\".

// True when the program file or the data folder exists.
bool SaverExists(const std::wstring& folder, const std::wstring& name);

// Deletes the program file (DeleteFileForced) and the data folder
// (DeleteFolderTree); the first failure of the two, 0 when both went or
// neither existed.
rc::Result RemoveSaverFiles(const std::wstring& folder, const std::wstring& name);

// Creates the data folder (one level). 0 when it exists or was created
// (ERROR_ALREADY_EXISTS included), else the Windows error code.
rc::Result CreateSaverDataFolder(const std::wstring& folder, const std::wstring& name);

// Looks for earlier copies in `folder` and in WindowsFolder. When there is one
// and `ask` is set, asks name + question with OK/キャンセル; anything but OK gives
// rc::kUserDeclined and changes nothing. Otherwise removes the copies (a copy
// that stays does not stop the step) and creates the data folder in `folder`.
// A name that is not a plain file name gives rc::kUnsafeSaverName.
rc::Result PrepareSaverTarget(const std::wstring& folder, const std::wstring& name, bool ask,
                              const std::wstring& question);
