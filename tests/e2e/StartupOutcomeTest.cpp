// Start-ups that end before the window appears: a damaged package, an empty
// slot, a temporary folder that cannot be written. Each ends with the
// damaged-installer message and leaves no work folder.
#include <gtest/gtest.h>

#include "payload/PayloadFormat.h"
#include "system/ResultCodes.h"
#include "tests/e2e/E2eSupport.h"

namespace e2e {
namespace {

const std::wstring kDamaged = L"インストーラが破損しています" L"Lumivaneエラー = ";

class StartupOutcome : public ::testing::Test {
 protected:
  StartupOutcome() : workspace_(::testing::UnitTest::GetInstance()->current_test_info()->name()) {}

  // Starts the installer, answers every error box with "中止" and returns the
  // texts of the boxes in their order; the program must end by itself.
  std::vector<std::wstring> RunToEnd(const fs::path& installer,
                                     const std::vector<std::wstring>& environment = {},
                                     DWORD expectedExitCode = 0) {
    std::vector<std::wstring> texts;
    EXPECT_TRUE(process_.Start(installer.wstring(), environment));
    DWORD code = 0xDEAD;
    for (int i = 0; i < 10; ++i) {
      if (process_.WaitExit(code, 200)) break;
      HWND box = probe::WaitForBox(process_.id(), L"エラー", 3000);
      if (box == nullptr) continue;
      texts.push_back(probe::BoxText(box));
      EXPECT_EQ(probe::BoxButtons(box), std::vector<std::wstring>{L"中止"});
      // The preparing window is the only one on the screen: the box belongs to it.
      EXPECT_EQ(probe::ClassOf(probe::OwnerOf(box)), kPreparingClass);
      Screenshot("box" + std::to_string(texts.size()));
      probe::AnswerBox(box, L"中止");
      probe::WaitWindowGone(box);
    }
    EXPECT_TRUE(process_.WaitExit(code, 20000)) << "the installer did not end";
    EXPECT_EQ(code, expectedExitCode);
    EXPECT_TRUE(probe::FindTopWindows(process_.id(), kFormClass, L"", true).empty());
    EXPECT_TRUE(WorkFolders().empty()) << "the work folder was left behind";
    return texts;
  }

  Workspace workspace_;
  probe::Process process_;
};

TEST_F(StartupOutcome, ShortPackageEndsWithMinus31) {
  const fs::path installer =
      BuildInstaller(workspace_, BasicPlan(workspace_, "Night Saver"), "setup.exe");
  CutPackage(installer, 100);
  const auto texts = RunToEnd(installer);
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts.back(), kDamaged + L"-31. ");
}

TEST_F(StartupOutcome, EmptyFlashSetupSlotEndsWithMinus531) {
  const fs::path installer =
      BuildInstaller(workspace_, BasicPlan(workspace_, "Night Saver"), "setup.exe");
  EmptySlot(installer, payload::kSlotFlashSetup);
  const auto texts = RunToEnd(installer);
  ASSERT_EQ(texts.size(), 1u) << "an empty slot shows only the damaged-installer message";
  EXPECT_EQ(texts.back(), kDamaged + L"-531. ");
}

// A silent package's caller learns the result from the exit code alone, so a
// start-up that fails must not end with 0.
TEST_F(StartupOutcome, SilentPackageWhoseStartUpFailsExitsWithTheCode) {
  lvpack::PackagePlan plan = BasicPlan(workspace_, "Night Saver");
  plan.contentKind = payload::kContentSilent;
  const fs::path installer = BuildInstaller(workspace_, plan, "setup.exe");
  EmptySlot(installer, payload::kSlotFlashSetup);
  const auto texts = RunToEnd(installer, {}, static_cast<DWORD>(rc::kEmptySlot));
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts.back(), kDamaged + L"-531. ");
}

// The program bound for the data folder instead of the system folder: the
// uninstall entry would name a program that is not there. Refused before
// anything reaches the machine.
TEST_F(StartupOutcome, SaverProgramOutsideTheSystemFolderEndsWithMinus550) {
  lvpack::PackagePlan plan = BasicPlan(workspace_, "Night Saver");
  plan.slots[payload::kSlotSaverProgram].destination = 5;
  const auto texts = RunToEnd(BuildInstaller(workspace_, plan, "setup.exe"));
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts.back(), kDamaged + L"-550. ");
  EXPECT_FALSE(fs::exists(SystemFolder() / L"Night Saver dir"));
  EXPECT_FALSE(fs::exists(SystemFolder() / L"Night Saver.scr"));
}

TEST_F(StartupOutcome, EmptyPresentationSlotEndsWithMinus531) {
  const fs::path installer =
      BuildInstaller(workspace_, BasicPlan(workspace_, "Night Saver"), "setup.exe");
  EmptySlot(installer, payload::kSlotPresentation);
  const auto texts = RunToEnd(installer);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts.back(), kDamaged + L"-531. ");
}

TEST_F(StartupOutcome, UnwritableTempFolderEndsWithTheSystemCode) {
  const fs::path installer =
      BuildInstaller(workspace_, BasicPlan(workspace_, "Night Saver"), "setup.exe");
  const auto texts = RunToEnd(installer, {L"TEMP=C:\\no such folder\\temp",
                                          L"TMP=C:\\no such folder\\temp"});
  ASSERT_FALSE(texts.empty());
  const std::wstring& text = texts.back();
  ASSERT_EQ(text.rfind(kDamaged, 0), 0u) << "not the damaged-installer message";
  const std::wstring code = text.substr(kDamaged.size());
  ASSERT_GE(code.size(), 3u);
  EXPECT_EQ(code.substr(code.size() - 2), L". ");
  EXPECT_GT(std::stoi(code), 0) << "a Windows error code is positive";
}

// A read error raised inside the movie's loading (a cut compressed movie) is
// caught at the start-up's boundary: the damaged-installer message with its code.
TEST_F(StartupOutcome, MovieThatFailsToReadEndsWithTheDamagedMessage) {
  const fs::path movie = PathFromEnvironment("LV_E2E_SWF_DAMAGED");
  if (!fs::exists(movie)) GTEST_SKIP() << "no sample movie on this machine";
  lvpack::PackagePlan plan = BasicPlan(workspace_, "Night Saver");
  plan.contentKind = payload::kContentMovie;
  plan.slots[payload::kSlotPresentation].file = movie;
  const auto texts = RunToEnd(BuildInstaller(workspace_, plan, "setup.exe"));
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts.back(), kDamaged + L"-30. ");
}

}  // namespace
}  // namespace e2e
