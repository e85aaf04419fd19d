// Result codes of the installer. 0 is success; negative values are the
// installer's own codes; positive values are Windows error codes.
#pragma once

#include <cstdint>

namespace rc {

using Result = std::int32_t;

constexpr Result kOk = 0;

// --- files and folders ---------------------------------------------------
constexpr Result kFolderRemoveFailed = -1;      // a folder could not be removed (or none was given)
constexpr Result kFileBusy = -32;               // a file could not be deleted: busy or opened elsewhere
constexpr Result kSaverOverwriteFailed = -38;   // an installed ".scr" file could not be replaced
constexpr Result kAccessDenied = 5;             // Windows ERROR_ACCESS_DENIED
constexpr Result kFolderAlreadyExists = 183;    // Windows ERROR_ALREADY_EXISTS
constexpr Result kGeneralFailure = 31;          // Windows ERROR_GEN_FAILURE: a call failed without saying why

// --- package and extraction ------------------------------------------------
constexpr Result kOutOfMemory = -7;             // a buffer for stored data could not be allocated
constexpr Result kEntryBeyondCount = -12;       // data-file entry number beyond entryCount
constexpr Result kExplodedSizeMismatch = -13;   // exploded file length differs from unpackedSize
constexpr Result kDataFileNotOpen = -15;        // the screen-saver data file is not open
constexpr Result kFileMissing = -16;            // an expected file does not exist (after exploding, or to copy)
constexpr Result kShortRead = -30;              // fewer bytes than the stored length could be read
constexpr Result kPackageTooShort = -31;        // the package copy is shorter than header + table
constexpr Result kInstallerBroken = -34;        // the installer file is damaged; fetch it again
constexpr Result kDecompressorUnavailable = -35;// the decompressor library cannot be loaded
constexpr Result kCannotCopyInstaller = -523;   // the installer could not copy itself to the work folder
constexpr Result kEmptySlot = -531;             // a package slot is empty (name length 0)
constexpr Result kMovieCopyFailed = -532;       // copying the installer's movie into the data folder failed

// Codes of our own for packages the format does not allow.
constexpr Result kBadDestination = -540;        // destination kind without a path (0, 8, 9) or outside 0..10
constexpr Result kUnsafeRecordName = -541;      // record name is not a plain file name
constexpr Result kBadRecordRange = -542;        // negative offsets, lastByte < firstByte, or 32-bit overflow
constexpr Result kBadEntryCount = -543;         // data-file entryCount negative or above the maximum
constexpr Result kUnsafeEntryName = -544;       // data-file entry name absolute, with a drive, or with ".."
constexpr Result kNoTempFolder = -545;          // no usable temporary folder, system folder or installer folder
constexpr Result kUnsafeSaverName = -546;      // package saverName empty or not a plain file name
constexpr Result kBadChunk = -547;             // data-file chunk offset or sizes negative or beyond the file's end
constexpr Result kNotPeImage = -548;           // installer image is not an x86 or x64 PE executable
constexpr Result kNoPayloadOffsetField = -549; // installer image has no usable ".lvpoff" section
constexpr Result kBadSaverProgramRecord = -550; // slot 6 is not saverName + ".scr" (any ASCII case) with destination 2
constexpr Result kWindowNotCreated = -551;     // the preparing or the installer window could not be created
constexpr Result kInstallationRunning = -552;  // an installation of the same saver runs (its journal is held open)
constexpr Result kJournalUndoIncomplete = -553; // a dead installation's journal could not be fully undone; it stays

// --- user decisions ------------------------------------------------------
constexpr Result kUserDeclined = -454;          // the user declined to overwrite an earlier copy

// --- Flash movie and player ----------------------------------------------
constexpr Result kFlashSetupMissing = -401;     // "flashax.exe" is not in the work folder
constexpr Result kNoProbeControl = -402;        // no Flash control could be created for the version probe
constexpr Result kControlNotCreated = -403;     // 10,000 attempts to create the movie's control failed
constexpr Result kNotAMovie = -404;             // the file is neither "FWS" nor "CWS"
constexpr Result kMovieTooNew = -405;           // movie format version greater than 7
constexpr Result kMovieTooOld = -406;           // movie format version less than 3
constexpr Result kMovieDataDamaged = -407;      // a compressed movie's zlib data is damaged (raised, with zlib's message)
constexpr Result kMovieNotPlayed = -408;        // the control refused to hide, take, play or show the movie
constexpr Result kControlNotReleased = -409;    // the Flash control could not be released
constexpr Result kPlayerTooOld = -410;          // the movie needs a newer player than the installed one

// --- uninstall entry -----------------------------------------------------
constexpr Result kUninstallValueMissing = -2202; // a value of the uninstall entry is missing
constexpr Result kUninstallWriteFailed = -2201;  // the uninstall entry could not be written under a root

// --- implode/explode library: its own return codes (the 1.11 call contract) ---
constexpr Result kDclOk = 0;                    // implode/explode finished
constexpr Result kDclInvalidDictSize = 1;       // implode: dictionary size not 1024, 2048 or 4096
constexpr Result kDclInvalidMode = 2;           // implode: literal mode neither binary (0) nor ascii (1)
constexpr Result kDclBadData = 3;               // explode: bad header, stream cut short, or copy before the start
constexpr Result kDclAborted = 4;               // a callback reported more bytes than it was asked for

// --- decompressor adapter (TCompressor) ---------------------------------------
constexpr Result kDecompressorFileMissing = 5;  // "impborl.dll" does not exist in the given folder
constexpr Result kDecompressorEntryMissing = 6; // the library lacks "_implode", "_explode" or "_crc32"

// A Windows call's error (GetLastError) as a result: a call that failed without
// setting one must not read as success.
constexpr Result FromWindowsError(std::uint32_t error) {
  return error != 0 ? static_cast<Result>(error) : kGeneralFailure;
}

}  // namespace rc
