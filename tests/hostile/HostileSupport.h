// What the hostile-package and fault tests share: the programs under test,
// installers assembled with the lvpack library and then edited byte by byte,
// a driver that runs install.exe with a time limit and answers its boxes, and
// snapshots of the machine state an installer could touch.
#pragma once

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tools/lvpack/Installer.h"
#include "tools/lvpack/Manifest.h"

namespace hostile {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// Programs from the environment the test runner sets (Unix paths, seen as Z:).
fs::path InstallerImage();  // LV_HOSTILE_IMAGE: install.exe without a package
fs::path Decompressor();    // LV_HOSTILE_IMPBORL: impborl.dll
fs::path FlashSetup();      // LV_HOSTILE_FLASHSETUP: the stand-in player setup
fs::path OutputFolder();    // LV_HOSTILE_OUT: scratch files of this run

fs::path SystemFolder();
fs::path WindowsFolder();
fs::path TempFolder();

// A folder of its own for one test, emptied first.
fs::path CaseFolder(const std::string& name);
void WriteBytes(const fs::path& path, const Bytes& bytes);

// A complete, valid package description: silent installation (content kind 4,
// the result becomes the exit code), every slot filled with small stored files,
// a data file with two entries, no display properties offered.
lvpack::PackagePlan SilentPackage(const fs::path& folder, const std::string& saverName);

// The installer for `package`, loaded for editing: change `block` or `bytes`, then Save.
lvpack::InstallerFile Assemble(const lvpack::PackagePlan& package, const fs::path& file);
// Stores the block into the bytes and writes the file.
void Save(lvpack::InstallerFile& installer);
// Appends `data` behind the package and points slot `slot` at it.
void ReplaceSlotData(lvpack::InstallerFile& installer, int slot, const Bytes& data);

// How one run of an installer ended.
struct Outcome {
  bool ended = false;          // false: killed at the time limit
  DWORD exitCode = 0;
  DWORD milliseconds = 0;
  std::vector<std::wstring> boxes;  // texts of the message boxes it showed, in order
};
// Starts `installer` and waits up to `limitMs`, answering every message box: "いいえ"
// or "キャンセル" when the box has one, otherwise its first button. `onTick`
// (optional) runs every polling step with the process id; it may act on windows.
// `environment` entries "NAME=value" replace or add variables of the installer's
// environment (TEMP, to put its work folder elsewhere).
Outcome RunInstaller(const fs::path& installer, DWORD limitMs,
                     const std::function<void(DWORD pid)>& onTick = {},
                     const std::vector<std::wstring>& environment = {}, DWORD pollMs = 50);
std::string Describe(const Outcome& outcome);
// Whether the run reported `code`: as its exit code (silent installations), or
// in an error box ("... = code."), the way failures of the start-up are shown.
bool ReportsCode(const Outcome& outcome, std::int32_t code);
// A visible top-level window of process `pid` with this class; nullptr if none.
HWND FindProcessWindow(DWORD pid, const std::wstring& className);

// The machine state an installer could change: files of the Windows folder
// (system folder included), of the TEMP folder and the top level of the drive,
// and the uninstall keys under both roots, each with a fingerprint.
struct Snapshot {
  std::map<std::wstring, std::wstring> items;
};
Snapshot TakeSnapshot();
// Differences as "+ item", "- item", "~ item"; items for which `allowed` is
// true are left out.
std::vector<std::wstring> Compare(const Snapshot& before, const Snapshot& after,
                                  const std::function<bool(const std::wstring&)>& allowed);
std::string Join(const std::vector<std::wstring>& lines);

// Items that belong to the saver `name`: its program and data folder in the
// system folder, its uninstall keys, and system.ini (the current saver).
bool IsSaverPlace(const std::wstring& item, const std::string& name);
// Only system.ini, which the design may leave pointing at the saver.
bool IsSystemIni(const std::wstring& item);

// The [boot] SCRNSAVE.EXE entry of system.ini.
std::wstring CurrentSaverEntry();

std::wstring Widen(const std::string& ascii);
std::string Narrow(const std::wstring& text);

}  // namespace hostile
