// Writing the package's files to disk: the copy of the installer file that all
// reading uses, the files the start-up needs before the user decides, and the
// screen saver's own files during the installation. Every record goes through
// ExtractPayloadFile.
//
// Steps return 0 or a result code: negative codes are the installer's own,
// positive ones Windows error codes. Status, progress and failures go to the
// package reporter (payload/PackageReporter.h) as each step describes.
#pragma once

#include <string>

#include "payload/FileStream.h"
#include "payload/PayloadFormat.h"
#include "system/ResultCodes.h"

// Process-wide paths, set once at start-up.
extern std::wstring InstallerFilePath;   // the running installer program
extern std::wstring PackageCopyPath;     // WorkFolder + "temp.dat"
extern std::wstring ScreenSaverName;     // the header's saverName, decoded from code page 932
extern std::wstring SaverDataFolder;     // SystemFolder + ScreenSaverName + " dir\"
extern std::wstring SaverDataFilePath;   // WorkFolder + slot 8's name

// Sets InstallerFilePath (the program's own file) and PackageCopyPath.
void SetPackagePaths();

// Copies the installer file to PackageCopyPath. On failure the -523 box (user
// rights advice) is shown and the real code is returned.
rc::Result CopyPackageToWork();

// Sets ScreenSaverName, SaverDataFolder and SaverDataFilePath from the package
// table. A saver name that is not a plain file name would put the data folder
// anywhere: rc::kUnsafeSaverName; a slot 6 that is not that name + ".scr" with
// destination 2: rc::kBadSaverProgramRecord; the three paths then stay empty. A slot-8 name
// that is not a plain file name leaves SaverDataFilePath empty (slot 8 is then
// refused when it is extracted).
rc::Result SetSaverPaths();

// Start-up extractions of slots 5, 2, 4 and 3. An empty slot gives
// rc::kEmptySlot without a message.
rc::Result ExtractDocument();
rc::Result ExtractFlashSetup();
rc::Result ExtractLicense();
// Slot 3; for pictures its name first gets the extension ".BMP" (contentKind 1)
// or ".jpg" (contentKind 8) in the in-memory table.
rc::Result ExtractDisplayContent();

// The one extraction operation: writes the record of `slot` (0 to 10) from the
// open package stream to its destination path.
rc::Result ExtractPayloadFile(FileStream& package, int slot, bool showStatus);

// Installation: slots 5 (withDocument) or 6 up to 10, stopping at the first
// failure or when the reporter says the user asked to stop, between two slots.
rc::Result ExtractSaverFiles(const std::wstring& packagePath, bool withDocument);

// Copies the licence text (withLicense) and the document (withDocument) from
// WorkFolder into SaverDataFolder.
rc::Result CopyDocumentsToDataFolder(bool withLicense, bool withDocument);

// Opens the installed document with the shell when the package has one.
void OpenDocument();

// The full path where `record` is written and the kind of folder it lies in, or a
// result code for a record that has no such path (its kind has none, its name is
// not a plain file name, or the folder it needs is not known yet).
rc::Result DestinationPathOf(const payload::PayloadRecord& record, std::wstring& path,
                             payload::FolderKind& kind);

// `name` (code page 932) with its extension replaced by `extension`, or the
// extension appended when it has none; at most 255 bytes, the base shortened
// when needed.
std::string ChangeNameExtension(const std::string& name, const std::string& extension);
