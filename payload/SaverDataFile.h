// The screen saver's data file during the installation: its settings block is
// read and later written into the data folder as "saver.dat", and every content
// entry is placed into SaverDataFolder (exploded, copied from the data file, or
// copied from the installer's own movie).
//
// The data file, once opened, stays open in one process-wide handle until
// CloseSaverDataFile; InstallSaverContent closes it on every path.
#pragma once

#include <string>

#include "payload/SaverDataFormat.h"
#include "system/ResultCodes.h"

// The settings block as the installer form holds it between reading the data
// file and writing "saver.dat".
extern payload::SaverSettings SaverSettingsBlock;

// Reads the settings block from SaverDataFilePath. A failure gives its code and
// ShowInstallError with the path.
rc::Result ReadSaverSettings();

// Opens the data file, places all entries into SaverDataFolder, closes the file,
// and gives the main entry (entry 1) the archive attribute.
rc::Result InstallSaverContent();

// Writes the settings block to SaverDataFolder + "saver.dat".
rc::Result WriteSaverSettings();

// Opens the data file and reads its settings block and entry table. When it is
// open already, an information box says so, `opened` keeps the earlier value
// and nothing is read again. An entryCount outside 0..159 or an entry name that
// would leave the data folder refuses the whole file (rc::kBadEntryCount,
// rc::kUnsafeEntryName).
rc::Result OpenSaverDataFile(const std::wstring& path, bool showErrors, bool& opened);

// Writes entry `entry` (1-based) of the open data file to folder + its name,
// creating subfolders as needed. On failure the file written for it is deleted.
rc::Result ExtractSaverEntry(const std::wstring& folder, int entry);

// Closes the data file if it is open.
rc::Result CloseSaverDataFile();

// Creates a folder path level by level, outermost missing folder first.
// 0 (also when it exists) or the Windows error code.
rc::Result ForceFolders(const std::wstring& path);
