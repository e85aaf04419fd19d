// Preparing the target: earlier copies in the system and Windows folders, the
// overwrite question, and the data folder.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "messages/MessageBox.h"
#include "system/LMV_FileUtils.h"
#include "tests/system/TestFolders.h"

using testfs::Exists;
using testfs::ScratchFolder;
using testfs::WriteText;

namespace {

const wchar_t kQuestion[] = L" 同じ名称のスクリーンセーバーがあります。上書きしますか？";

class SaverTarget : public ::testing::Test {
 protected:
  void SetUp() override {
    savedWindowsFolder_ = WindowsFolder;
    WindowsFolder = windows_.path();
    SetBoxResponder([this](BoxKind kind, const std::wstring& text, BoxButtons buttons) {
      questions_.push_back(text);
      EXPECT_EQ(kind, BoxKind::Confirmation);
      EXPECT_EQ(buttons, BoxButtons::OkCancel);
      return answer_;
    });
  }
  void TearDown() override {
    SetBoxResponder(nullptr);
    WindowsFolder = savedWindowsFolder_;
  }
  // An installed copy: program file and/or data folder with a file inside.
  static void Install(const std::wstring& folder, const std::wstring& name, bool program,
                      bool data) {
    if (program) WriteText(folder + name + L".scr", "old program", FILE_ATTRIBUTE_READONLY);
    if (data) {
      CreateDirectoryW((folder + name + L" dir").c_str(), nullptr);
      WriteText(folder + name + L" dir\\movie.swf", "old movie", FILE_ATTRIBUTE_HIDDEN);
    }
  }
  rc::Result Prepare(bool ask = true) {
    return PrepareSaverTarget(system_.path(), L"Night Saver", ask, kQuestion);
  }
  std::wstring Sys(const std::wstring& rel) const { return system_.path() + rel; }
  std::wstring Win(const std::wstring& rel) const { return windows_.path() + rel; }

  ScratchFolder system_{L"sys"};
  ScratchFolder windows_{L"win"};
  std::wstring savedWindowsFolder_;
  std::vector<std::wstring> questions_;
  BoxAnswer answer_ = BoxAnswer::Ok;
};

TEST_F(SaverTarget, NoEarlierCopyCreatesTheDataFolderWithoutAsking) {
  EXPECT_EQ(Prepare(), rc::kOk);
  EXPECT_TRUE(questions_.empty());
  EXPECT_TRUE(Exists(Sys(L"Night Saver dir")));
  EXPECT_FALSE(Exists(Win(L"Night Saver dir")));
}

TEST_F(SaverTarget, OnlyADataFolderCountsAsACopyAndIsEmptiedOnOk) {
  Install(system_.path(), L"Night Saver", false, true);
  EXPECT_EQ(Prepare(), rc::kOk);
  ASSERT_EQ(questions_.size(), 1u);
  EXPECT_EQ(questions_[0], L"Night Saver 同じ名称のスクリーンセーバーがあります。上書きしますか？");
  EXPECT_TRUE(Exists(Sys(L"Night Saver dir")));
  EXPECT_FALSE(Exists(Sys(L"Night Saver dir\\movie.swf")));
}

TEST_F(SaverTarget, CopyOnlyInTheWindowsFolderIsAskedForAndRemoved) {
  Install(windows_.path(), L"Night Saver", true, true);
  EXPECT_EQ(Prepare(), rc::kOk);
  EXPECT_EQ(questions_.size(), 1u);
  EXPECT_FALSE(Exists(Win(L"Night Saver.scr")));
  EXPECT_FALSE(Exists(Win(L"Night Saver dir")));
  EXPECT_TRUE(Exists(Sys(L"Night Saver dir")));
}

TEST_F(SaverTarget, AnythingButOkDeclinesAndTouchesNothing) {
  Install(system_.path(), L"Night Saver", true, true);
  Install(windows_.path(), L"Night Saver", true, false);
  for (BoxAnswer answer : {BoxAnswer::Cancel, BoxAnswer::Abort}) {
    answer_ = answer;
    EXPECT_EQ(Prepare(), rc::kUserDeclined);
  }
  EXPECT_EQ(questions_.size(), 2u);
  EXPECT_TRUE(Exists(Sys(L"Night Saver.scr")));
  EXPECT_TRUE(Exists(Sys(L"Night Saver dir\\movie.swf")));
  EXPECT_TRUE(Exists(Win(L"Night Saver.scr")));
}

TEST_F(SaverTarget, SilentInstallationReplacesBothCopiesWithoutAQuestion) {
  Install(system_.path(), L"Night Saver", true, true);
  Install(windows_.path(), L"Night Saver", true, true);
  EXPECT_EQ(Prepare(/*ask=*/false), rc::kOk);
  EXPECT_TRUE(questions_.empty());
  EXPECT_FALSE(Exists(Sys(L"Night Saver.scr")));
  EXPECT_FALSE(Exists(Sys(L"Night Saver dir\\movie.swf")));
  EXPECT_FALSE(Exists(Win(L"Night Saver.scr")));
  EXPECT_FALSE(Exists(Win(L"Night Saver dir")));
}

TEST_F(SaverTarget, ProgramThatCannotBeRemovedDoesNotStopTheStep) {
  Install(system_.path(), L"Night Saver", true, true);
  SetFileAttributesW(Sys(L"Night Saver.scr").c_str(), FILE_ATTRIBUTE_NORMAL);
  testfs::HeldFile running(Sys(L"Night Saver.scr"));
  ASSERT_TRUE(running.held());
  EXPECT_EQ(Prepare(), rc::kOk);
  EXPECT_TRUE(Exists(Sys(L"Night Saver.scr")));
  EXPECT_TRUE(Exists(Sys(L"Night Saver dir")));
  EXPECT_EQ(RemoveSaverFiles(system_.path(), L"Night Saver"), rc::kFileBusy);
}

TEST_F(SaverTarget, NameThatIsNotAPlainFileNameIsRefusedBeforeAnything) {
  Install(windows_.path(), L"victim", true, false);
  for (const wchar_t* name : {L"", L"..", L"..\\victim", L"C:victim", L"a/b"}) {
    EXPECT_EQ(PrepareSaverTarget(system_.path(), name, true, kQuestion), rc::kUnsafeSaverName)
        << "name: " << testing::PrintToString(std::wstring(name));
  }
  EXPECT_TRUE(questions_.empty());
  EXPECT_TRUE(Exists(Win(L"victim.scr")));
}

TEST(SaverDataFolder, ExistingFolderIsSuccessAndMissingParentIsTheWindowsError) {
  ScratchFolder dir(L"data");
  EXPECT_EQ(CreateSaverDataFolder(dir.path(), L"Aurora"), rc::kOk);
  EXPECT_EQ(CreateSaverDataFolder(dir.path(), L"Aurora"), rc::kOk);
  EXPECT_EQ(CreateSaverDataFolder(dir.path() + L"absent\\", L"Aurora"),
            static_cast<rc::Result>(ERROR_PATH_NOT_FOUND));
}

TEST(SaverDataFolder, ExistsLooksForProgramFileOrDataFolderOnly) {
  ScratchFolder dir(L"exists");
  EXPECT_FALSE(SaverExists(dir.path(), L"Aurora"));
  CreateDirectoryW((dir.path() + L"Aurora.scr").c_str(), nullptr);  // a folder is no program
  WriteText(dir.path() + L"Aurora dir", "a file is no data folder");
  EXPECT_FALSE(SaverExists(dir.path(), L"Aurora"));
  WriteText(dir.path() + L"Aurora2.scr", "x");
  EXPECT_TRUE(SaverExists(dir.path(), L"Aurora2"));
}

}  // namespace
