// Folder discovery, work folders, forced deletion and version numbers, under Wine.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "system/LMV_FileUtils.h"
#include "tests/system/TestFolders.h"

using testfs::Exists;
using testfs::ScopedEnvironment;
using testfs::ScratchFolder;
using testfs::WriteText;

namespace {

std::wstring ModuleFolder() {
  wchar_t buffer[MAX_PATH + 1];
  DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH + 1);
  std::wstring path(buffer, length);
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

// --- well-known folders -----------------------------------------------------

TEST(WellKnownFolders, WindirGetsExactlyOneTrailingBackslash) {
  {
    ScopedEnvironment windir(L"WINDIR", L"C:\\windows\\");
    EXPECT_EQ(GetWindowsFolder(), L"C:\\windows\\");
  }
  {
    ScopedEnvironment windir(L"WINDIR", L"C:\\windows");
    EXPECT_EQ(GetWindowsFolder(), L"C:\\windows\\");
  }
}

TEST(WellKnownFolders, UnsetOrEmptyWindirFallsBackToTheWindowsDirectory) {
  wchar_t buffer[MAX_PATH + 1];
  UINT length = GetWindowsDirectoryW(buffer, MAX_PATH + 1);
  std::wstring expected = std::wstring(buffer, length) + L"\\";
  {
    ScopedEnvironment windir(L"WINDIR", nullptr);
    EXPECT_EQ(GetWindowsFolder(), expected);
  }
  {
    ScopedEnvironment windir(L"WINDIR", L"");
    EXPECT_EQ(GetWindowsFolder(), expected);
  }
}

TEST(WellKnownFolders, SystemFolderIsTheSystemDirectoryWithBackslash) {
  wchar_t buffer[MAX_PATH + 1];
  UINT length = GetSystemDirectoryW(buffer, MAX_PATH + 1);
  EXPECT_EQ(GetSystemFolder(), std::wstring(buffer, length) + L"\\");
}

TEST(WellKnownFolders, FolderOfPathKeepsEverythingUpToTheLastSeparator) {
  EXPECT_EQ(FolderOfPath(L"C:\\Program Files\\x\\install.exe"), L"C:\\Program Files\\x\\");
  EXPECT_EQ(FolderOfPath(L"C:install.exe"), L"C:\\");
  EXPECT_EQ(FolderOfPath(L"install.exe"), L"");
  EXPECT_EQ(FolderOfPath(L""), L"");
}

// --- InitInstallFolders and CreateWorkFolder ---------------------------------

class WorkFolders : public ::testing::Test {
 protected:
  ScratchFolder temp_{L"work"};
};

TEST_F(WorkFolders, InitSetsAllFourFolders) {
  ScopedEnvironment tempVar(L"TEMP", temp_.path().c_str());
  ASSERT_EQ(InitInstallFolders(L"C:\\setup\\install.exe"), rc::kOk);
  EXPECT_EQ(WindowsFolder, GetWindowsFolder());
  EXPECT_EQ(SystemFolder, GetSystemFolder());
  EXPECT_EQ(InstallerFolder, L"C:\\setup\\");
  EXPECT_EQ(WorkFolder, temp_.path() + L"LVF1\\");
  EXPECT_TRUE(Exists(WorkFolder));
  ReleaseWorkFolder();
}

// A work folder is tied to its process by a lock file beside it, held open while
// the process runs: a dead owner's folder goes at the next start-up and its
// number is free again; a live owner's folder, and one without a lock file, stay.
TEST_F(WorkFolders, DeadOwnersFolderGoesLiveOwnersAndUnknownOnesStay) {
  ScopedEnvironment tempVar(L"TEMP", temp_.path().c_str());
  const std::wstring dead = temp_.path() + L"LVF1", unknown = temp_.path() + L"LVF2", live = temp_.path() + L"LVF3";
  for (const auto& folder : {dead, unknown, live}) {
    CreateDirectoryW(folder.c_str(), nullptr);
    WriteText(folder + L"\\temp.dat", "package copy");
  }
  WriteText(dead + L".lock", "");
  HANDLE liveLock = CreateFileW((live + L".lock").c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_EQ(InitInstallFolders(L"C:\\setup\\install.exe"), rc::kOk);
  EXPECT_EQ(WorkFolder, dead + L"\\");
  EXPECT_FALSE(Exists(dead + L"\\temp.dat"));
  EXPECT_TRUE(Exists(unknown + L"\\temp.dat") && Exists(live + L"\\temp.dat"));
  RemoveDeadWorkFolders(L"LVF");  // another start-up while this one runs
  EXPECT_TRUE(Exists(WorkFolder));
  ReleaseWorkFolder();
  EXPECT_FALSE(Exists(dead + L".lock"));
  CloseHandle(liveLock);
}

TEST_F(WorkFolders, InstallerPathWithoutFolderIsRefusedBeforeAnythingIsCreated) {
  ScopedEnvironment tempVar(L"TEMP", temp_.path().c_str());
  EXPECT_EQ(InitInstallFolders(L"install.exe"), rc::kNoTempFolder);
  EXPECT_FALSE(Exists(temp_.path() + L"LVF1"));
}

TEST_F(WorkFolders, ExistingNumbersAreNeverReused) {
  ScopedEnvironment tempVar(L"TEMP", temp_.path().c_str());
  CreateDirectoryW((temp_.path() + L"LVF1").c_str(), nullptr);
  WriteText(temp_.path() + L"LVF2", "a file, not a folder");
  std::wstring folder;
  ASSERT_EQ(CreateWorkFolder(L"LVF", folder), rc::kOk);
  EXPECT_EQ(folder, temp_.path() + L"LVF3\\");
  ASSERT_EQ(CreateWorkFolder(L"LVF", folder), rc::kOk);
  EXPECT_EQ(folder, temp_.path() + L"LVF4\\");
}

TEST_F(WorkFolders, TempWithoutTrailingBackslashGetsOne) {
  std::wstring bare = temp_.path().substr(0, temp_.path().size() - 1);
  ScopedEnvironment tempVar(L"TEMP", bare.c_str());
  std::wstring folder;
  ASSERT_EQ(CreateWorkFolder(L"FlashPanel", folder), rc::kOk);
  EXPECT_EQ(folder, temp_.path() + L"FlashPanel1\\");
}

TEST_F(WorkFolders, EmptyTempFallsBackToTheSystemTemporaryFolder) {
  ScopedEnvironment tmpVar(L"TMP", temp_.path().c_str());  // GetTempPath reads TMP first
  ScopedEnvironment tempVar(L"TEMP", L"");
  std::wstring folder;
  ASSERT_EQ(CreateWorkFolder(L"LVF", folder), rc::kOk);
  EXPECT_EQ(folder, temp_.path() + L"LVF1\\");
}

TEST_F(WorkFolders, UnwritableTempGivesTheWindowsErrorAndTheBareFolder) {
  std::wstring missing = temp_.path() + L"absent\\";
  ScopedEnvironment tempVar(L"TEMP", missing.c_str());
  std::wstring folder;
  EXPECT_EQ(CreateWorkFolder(L"LVF", folder), static_cast<rc::Result>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(folder, missing + L"LVF");
}

// --- DeleteFileForced and DeleteFileRetry ----------------------------------------

class FileDeletion : public ::testing::Test {
 protected:
  ScratchFolder dir_{L"del"};
  std::wstring Path(const wchar_t* name) const { return dir_.path() + name; }
};

TEST_F(FileDeletion, ReadOnlyHiddenAndSystemFilesAreDeleted) {
  WriteText(Path(L"ro.txt"), "x", FILE_ATTRIBUTE_READONLY);
  WriteText(Path(L"hidden.txt"), "x", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  WriteText(Path(L"all.scr"), "x",
            FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  EXPECT_EQ(DeleteFileForced(Path(L"ro.txt")), rc::kOk);
  EXPECT_EQ(DeleteFileForced(Path(L"hidden.txt")), rc::kOk);
  EXPECT_EQ(DeleteFileRetry(Path(L"all.scr"), 1), rc::kOk);
  EXPECT_FALSE(Exists(Path(L"ro.txt")));
  EXPECT_FALSE(Exists(Path(L"hidden.txt")));
  EXPECT_FALSE(Exists(Path(L"all.scr")));
}

TEST_F(FileDeletion, MissingFileCountsAsDeleted) {
  EXPECT_EQ(DeleteFileForced(Path(L"none.txt")), rc::kOk);
  EXPECT_EQ(DeleteFileRetry(Path(L"none.txt"), 1), rc::kOk);
}

TEST_F(FileDeletion, HeldFileStaysAndReportsItsKind) {
  WriteText(Path(L"NIGHT.SCR"), "x");
  WriteText(Path(L"engine.dll"), "x");
  WriteText(Path(L"dotted.scr.bak"), "x");
  testfs::HeldFile saver(Path(L"NIGHT.SCR"));
  testfs::HeldFile library(Path(L"engine.dll"));
  testfs::HeldFile backup(Path(L"dotted.scr.bak"));
  ASSERT_TRUE(saver.held() && library.held() && backup.held());
  EXPECT_EQ(DeleteFileRetry(Path(L"NIGHT.SCR"), 100), rc::kSaverOverwriteFailed);
  EXPECT_EQ(DeleteFileRetry(Path(L"engine.dll"), 100), rc::kFileBusy);
  EXPECT_EQ(DeleteFileRetry(Path(L"dotted.scr.bak"), 3), rc::kFileBusy);
  EXPECT_EQ(DeleteFileForced(Path(L"NIGHT.SCR")), rc::kFileBusy);
  EXPECT_TRUE(Exists(Path(L"NIGHT.SCR")));
  EXPECT_TRUE(Exists(Path(L"engine.dll")));
}

TEST_F(FileDeletion, NoAttemptsTouchesNothing) {
  WriteText(Path(L"keep.txt"), "x");
  EXPECT_EQ(DeleteFileRetry(Path(L"keep.txt"), 0), rc::kFolderRemoveFailed);
  EXPECT_EQ(DeleteFileRetry(Path(L"keep.txt"), -5), rc::kFolderRemoveFailed);
  EXPECT_TRUE(Exists(Path(L"keep.txt")));
}

TEST_F(FileDeletion, FolderIsNotAFileToDelete) {
  CreateDirectoryW(Path(L"sub").c_str(), nullptr);
  EXPECT_EQ(DeleteFileForced(Path(L"sub")), rc::kOk);
  EXPECT_TRUE(Exists(Path(L"sub")));
}

// --- GetFileVersionNumbers ---------------------------------------------------------

TEST(FileVersion, FirstAndThirdPartOfTheFileVersion) {
  int first = -1, third = -1;
  GetFileVersionNumbers(ModuleFolder() + L"versioned.dll", first, third);
  EXPECT_EQ(first, 7);
  EXPECT_EQ(third, 19);
}

TEST(FileVersion, WithoutVersionInformationOutputsKeepTheirValues) {
  ScratchFolder dir(L"ver");
  WriteText(dir.path() + L"plain.dll", "not a program");
  int first = 42, third = 43;
  GetFileVersionNumbers(dir.path() + L"plain.dll", first, third);
  GetFileVersionNumbers(dir.path() + L"absent.dll", first, third);
  EXPECT_EQ(first, 42);
  EXPECT_EQ(third, 43);
}

}  // namespace
