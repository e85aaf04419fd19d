// Making the screen saver current (system.ini), and the installer window's
// operations on the installation's process-wide values.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>

#include "payload/PayloadExtraction.h"
#include "payload/PayloadTable.h"
#include "system/LMV_FileUtils.h"
#include "system/LMV_RegistryUtils.h"
#include "system/SaverRegistration.h"
#include "tests/system/ProfileState.h"
#include "tests/system/TestFolders.h"

// The process-wide values the start-up sets; this test program stands in for it.
payload::PayloadBlock Payload;
std::wstring ScreenSaverName;
std::wstring SaverDataFolder;

using testfs::Exists;
using testfs::ProfileScreenSaver;
using testfs::ScratchFolder;
using testfs::WriteText;

namespace {

std::string ReadSystemIniOnDisk() {
  wchar_t windows[MAX_PATH + 1];
  UINT length = GetWindowsDirectoryW(windows, MAX_PATH + 1);
  std::wstring path = std::wstring(windows, length) + L"\\system.ini";
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string text(GetFileSize(file, nullptr), '\0');
  DWORD read = 0;
  ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &read, nullptr);
  CloseHandle(file);
  text.resize(read);
  return text;
}

std::string Narrow(const std::wstring& ascii) { return std::string(ascii.begin(), ascii.end()); }

class CurrentScreenSaver : public ::testing::Test {
 protected:
  testfs::SavedScreenSaverSetting saved_;
  ScratchFolder dir_{L"reg"};
};

TEST_F(CurrentScreenSaver, SystemIniNamesTheShortPathAndReachesTheDisk) {
  CreateDirectoryW((dir_.path() + L"Long Folder Name").c_str(), nullptr);
  const std::wstring program = dir_.path() + L"Long Folder Name\\Night Saver Deluxe.scr";
  WriteText(program, "program");
  SystemParametersInfoW(SPI_SETSCREENSAVEACTIVE, FALSE, nullptr, 0);

  ASSERT_EQ(SetCurrentScreenSaver(program), rc::kOk);

  wchar_t expected[MAX_PATH + 1];
  DWORD length = GetShortPathNameW(program.c_str(), expected, MAX_PATH + 1);
  ASSERT_GT(length, 0u);
  const std::wstring shortPath(expected, length);
  EXPECT_EQ(ProfileScreenSaver(), shortPath);
  EXPECT_EQ(shortPath.find(L' '), std::wstring::npos);
  EXPECT_NE(ReadSystemIniOnDisk().find("SCRNSAVE.EXE=" + Narrow(shortPath)), std::string::npos);
  BOOL active = FALSE;
  SystemParametersInfoW(SPI_GETSCREENSAVEACTIVE, 0, &active, 0);
  EXPECT_TRUE(active);
}

TEST_F(CurrentScreenSaver, MissingProgramGivesMinus16AndLeavesSystemIniAlone) {
  WriteText(dir_.path() + L"before.scr", "x");
  ASSERT_EQ(SetCurrentScreenSaver(dir_.path() + L"before.scr"), rc::kOk);
  const std::wstring before = ProfileScreenSaver();
  EXPECT_EQ(SetCurrentScreenSaver(dir_.path() + L"absent.scr"), rc::kFileMissing);
  EXPECT_EQ(SetCurrentScreenSaver(L""), rc::kFileMissing);
  EXPECT_EQ(ProfileScreenSaver(), before);
}

// A folder in the place of system.ini refuses the write even to an
// administrator (a read-only file does not, when Wine runs as root).
TEST_F(CurrentScreenSaver, RefusedProfileWriteIsReturnedNotRaised) {
  wchar_t windows[MAX_PATH + 1];
  UINT length = GetWindowsDirectoryW(windows, MAX_PATH + 1);
  const std::wstring ini = std::wstring(windows, length) + L"\\system.ini";
  const std::wstring aside = ini + L".lvtest";
  WriteText(dir_.path() + L"new.scr", "x");
  ASSERT_TRUE(MoveFileW(ini.c_str(), aside.c_str()));
  ASSERT_TRUE(CreateDirectoryW(ini.c_str(), nullptr));
  const rc::Result result = SetCurrentScreenSaver(dir_.path() + L"new.scr");
  RemoveDirectoryW(ini.c_str());
  ASSERT_TRUE(MoveFileW(aside.c_str(), ini.c_str()));
  EXPECT_GT(result, 0) << "a Windows error code";
}

// --- the installer window's operations ------------------------------------------

class FormOperations : public ::testing::Test {
 protected:
  void SetUp() override {
    savedSystemFolder_ = SystemFolder;
    SystemFolder = dir_.path();
    name_ = L"LvFormSaver" + std::to_wstring(GetCurrentProcessId());
    ScreenSaverName = name_;
    SaverDataFolder = dir_.path() + name_ + L" dir\\";
    Payload = payload::PayloadBlock{};
    ASSERT_TRUE(Payload.Slot(payload::kSlotSaverProgram)
                    ->SetName(std::string(name_.begin(), name_.end()) + ".scr"));
  }
  void TearDown() override {
    DeleteUninstallEntry(name_, HKEY_LOCAL_MACHINE);
    DeleteUninstallEntry(name_, HKEY_CURRENT_USER);
    SystemFolder = savedSystemFolder_;
  }
  testfs::SavedScreenSaverSetting saved_;
  ScratchFolder dir_{L"form"};
  std::wstring savedSystemFolder_;
  std::wstring name_;
};

TEST_F(FormOperations, ProgramPathIsSlotSixInTheSystemFolder) {
  EXPECT_EQ(InstalledProgramPath(), dir_.path() + name_ + L".scr");
  EXPECT_EQ(SetCurrentScreenSaver(), rc::kFileMissing);
  WriteText(InstalledProgramPath(), "program");
  EXPECT_EQ(SetCurrentScreenSaver(), rc::kOk);
}

TEST_F(FormOperations, SlotSixNameOutsideTheSystemFolderIsNeverUsed) {
  WriteText(dir_.path() + L"outside.scr", "must survive");
  ASSERT_TRUE(Payload.Slot(payload::kSlotSaverProgram)->SetName("sub\\..\\..\\outside.scr"));
  SystemFolder = dir_.path() + L"sub\\";
  EXPECT_EQ(InstalledProgramPath(), L"");
  EXPECT_EQ(SetCurrentScreenSaver(), rc::kFileMissing);
  RemoveInstalledSaver();
  EXPECT_TRUE(Exists(dir_.path() + L"outside.scr"));
}

TEST_F(FormOperations, RemoveInstalledSaverTakesProgramDataFolderAndEntry) {
  CreateDirectoryW(SaverDataFolder.c_str(), nullptr);
  WriteText(SaverDataFolder + L"saver.dat", "x", FILE_ATTRIBUTE_READONLY);
  WriteText(InstalledProgramPath(), "program", FILE_ATTRIBUTE_READONLY);
  ASSERT_EQ(RegisterUninstallEntry(name_), rc::kOk);
  ASSERT_EQ(SetCurrentScreenSaver(), rc::kOk);
  const std::wstring profile = ProfileScreenSaver();

  RemoveInstalledSaver();

  EXPECT_FALSE(Exists(SaverDataFolder));
  EXPECT_FALSE(Exists(InstalledProgramPath()));
  HKEY key = nullptr;
  EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, UninstallKeyPath(name_).c_str(), 0, KEY_READ, &key),
            ERROR_SUCCESS);
  EXPECT_EQ(ProfileScreenSaver(), profile) << "the profile entry is not undone";
}

TEST(InstallCaptionFromCatalogue, UsesTheProgramsOwnTexts) {
  EXPECT_EQ(MakeInstallCaption(L"Aurora"), L"インストール スクリーンセーバー: Aurora");
  EXPECT_EQ(MakeInstallCaption(L"Night Saver"), L"インストール: Night Saver");
}

}  // namespace
