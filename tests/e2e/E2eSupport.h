// Shared pieces of the end-to-end tests: the programs under test (from the
// environment the test runner sets), installers assembled in-process with the
// lvpack library, the probe started on them, and the machine state they touch.
#pragma once

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/helper/Probe.h"
#include "tools/lvpack/Manifest.h"

namespace e2e {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// A Unix path from the environment variable `name`, as a Windows path (Z: drive).
fs::path PathFromEnvironment(const char* name);
fs::path InstallerImage();    // install.exe without a package
fs::path Decompressor();      // impborl.dll
fs::path FlashSetup();        // the stand-in player setup flashax.exe
fs::path OutputFolder();      // screenshots and scratch files of this test run

// Files of one test, in a folder of its own under OutputFolder().
class Workspace {
 public:
  explicit Workspace(const std::string& name);
  fs::path folder() const { return folder_; }
  fs::path Write(const std::string& name, const Bytes& bytes) const;
  fs::path Write(const std::string& name, const std::string& text) const;

 private:
  fs::path folder_;
};

// Under LV_E2E_WINDOWS (winxp, win7, win10) the machine reports that Windows to
// every program started afterwards (HKCU\Software\Wine "Version"); checked on a
// program started right after. Without the variable nothing changes.
void ReportWindowsFromEnvironment();

// A package description with every slot the installation needs, filled with
// small stored files: picture presentation (BMP), no licence, display
// properties not offered.
lvpack::PackagePlan BasicPlan(const Workspace& workspace, const std::string& saverName);

// Writes the installer for `plan` to workspace/<file>.
fs::path BuildInstaller(const Workspace& workspace, const lvpack::PackagePlan& plan,
                        const std::string& file);

// Empties slot `slot` of an installer file in place (its name length becomes 0).
void EmptySlot(const fs::path& installer, int slot);
// Cuts an installer file down to its image plus `packageBytes` bytes.
void CutPackage(const fs::path& installer, std::uint64_t packageBytes);

// A small 24-bit BMP / baseline JPEG picture of the given size.
Bytes MakeBmp(int width, int height);
Bytes MakeJpeg();

// Saves a screenshot named <test>-<name>.bmp in the output folder.
void Screenshot(const std::string& name);

// Texts of the installer.
extern const std::wstring kReadyInstall;     // "インストール"
extern const std::wstring kReadyAccept;      // "了承/インストール"
extern const std::wstring kCancel;           // "キャンセル"
extern const std::wstring kClose;            // "閉じる"

// The installer's windows.
constexpr wchar_t kFormClass[] = L"TInstallerForm";
constexpr wchar_t kPreparingClass[] = L"TpreparingInstallWnd";

// Controls of the installer window found by what they show.
struct InstallerWindow {
  HWND form = nullptr;
  HWND installBtn = nullptr;
  HWND cancelBtn = nullptr;
  HWND doneBtn = nullptr;
  HWND status = nullptr;     // labCopying
  HWND progress = nullptr;
  HWND license = nullptr;
};
// Waits for the visible installer window of `process` and finds its controls.
InstallerWindow WaitForInstaller(const probe::Process& process);

// Work folders "LVF<n>" under the TEMP folder.
std::vector<fs::path> WorkFolders();
fs::path SystemFolder();
fs::path WindowsFolder();

}  // namespace e2e
