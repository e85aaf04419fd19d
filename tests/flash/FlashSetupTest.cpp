// Player detection and quiet setup under Wine: control files of given
// versions in the system folder, the stand-in setup "flashax.exe" in the work
// folder, and the setup's restart prompt.
#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "StandinLog.h"
#include "TestFolder.h"
#include "WineBench.h"
#include "flash/LMV_FlashUtils.h"
#include "flash/SetupProcessTree.h"
#include "system/LMV_FileUtils.h"

namespace {

class FlashSetupTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    bench::ResetFlashState();
    bench::UnregisterPlayer();
    bench::RemoveControlFiles();
    SetFlashSetupHost({});
    SetEnvironmentVariableW(bench::kSetupLog, file("setup.log").c_str());
    WorkFolder = root_.wstring() + L"\\";
  }
  void TearDown() override {
    if (lock_ != INVALID_HANDLE_VALUE) CloseHandle(lock_);
    if (image_) FreeLibrary(image_);
    waitForSetupEnd();
    SetFlashSetupHost({});
    bench::UnregisterPlayer();
    bench::RemoveControlFiles();
    SetEnvironmentVariableW(bench::kSetupLog, nullptr);
    TempFolderTest::TearDown();
  }
  // Back to a machine without a player, between the rounds of one test.
  void freshMachine() {
    waitForSetupEnd();
    bench::ResetFlashState();
    bench::UnregisterPlayer();
    bench::RemoveControlFiles();
  }

  void useSetup(const std::wstring& variant) {
    ASSERT_TRUE(CopyFileW(bench::StandinSetup(variant).c_str(), (WorkFolder + L"flashax.exe").c_str(), FALSE));
  }
  void place(const std::wstring& variant, const wchar_t* name = L"Flash.ocx") {
    ASSERT_TRUE(bench::PlaceControlFile(variant, name));
  }
  // Keeps a control file open without sharing, as a running browser would.
  void lock(const wchar_t* name) {
    image_ = LoadLibraryExW((bench::ControlFolder() + name).c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_NE(nullptr, image_);
  }
  void waitForSetupEnd() {
    for (int i = 0; i < 500 && flashSetupRunning(); ++i) bench::Pump(10);
  }
  void installedVersion(std::int32_t& major, std::int32_t& third) { getFlashOcxVersion(major, third); }
  bool exists(const wchar_t* name) { return bench::FileExists(bench::ControlFolder() + name); }

  HANDLE lock_ = INVALID_HANDLE_VALUE;
  HMODULE image_ = nullptr;
};

TEST_F(FlashSetupTest, CurrentPlayerNeedsNothing) {
  useSetup(L"default");
  place(L"7.0.19");
  checkFlashPlayer();
  EXPECT_FALSE(flashSetupNeeded);
  EXPECT_EQ(kFlashSetupNone, flashSetupKind);
  EXPECT_FALSE(flashSetupDone);
  EXPECT_TRUE(exists(L"Flash.ocx"));
}

TEST_F(FlashSetupTest, MinorUpdateDeletesOldFileAndInstallsQuietly) {
  useSetup(L"default");
  place(L"7.0.14");
  place(L"5.0.42", L"swflash.ocx");
  checkFlashPlayer();
  EXPECT_TRUE(flashSetupNeeded);
  EXPECT_EQ(kFlashSetupMinorUpdate, flashSetupKind);
  EXPECT_FALSE(flashOcxLocked);
  EXPECT_TRUE(flashSetupDone);
  EXPECT_FALSE(exists(L"swflash.ocx"));
  EXPECT_EQ(7, cachedFlashVersion);
  std::int32_t major = 0, third = 0;
  installedVersion(major, third);
  EXPECT_EQ(7, major);
  EXPECT_EQ(19, third);
  EXPECT_FALSE(restartNeeded);
}

TEST_F(FlashSetupTest, MajorUpdateFromVersionSix) {
  useSetup(L"default");
  place(L"6.0.79");
  checkFlashPlayer();
  EXPECT_EQ(kFlashSetupMajorUpdate, flashSetupKind);
  EXPECT_TRUE(flashSetupDone);
  EXPECT_FALSE(flashOcxLocked);
  EXPECT_FALSE(restartNeeded);
  EXPECT_EQ(7, cachedFlashVersion);
}

TEST_F(FlashSetupTest, OnlySwflashVersionFiveIsMajorUpdate) {
  useSetup(L"default");
  place(L"5.0.42", L"swflash.ocx");
  checkFlashPlayer();
  EXPECT_EQ(kFlashSetupMajorUpdate, flashSetupKind);
  EXPECT_FALSE(exists(L"swflash.ocx"));
}

TEST_F(FlashSetupTest, FlashOcxDecidesWhenBothExist) {
  place(L"7.0.19");
  place(L"5.0.42", L"swflash.ocx");
  checkFlashPlayer();
  EXPECT_EQ(kFlashSetupNone, flashSetupKind);
  EXPECT_TRUE(exists(L"swflash.ocx"));
}

TEST_F(FlashSetupTest, ThirdNumberComparedForNewerMajor) {
  useSetup(L"default");
  place(L"8.0.10");
  checkFlashPlayer();
  EXPECT_EQ(kFlashSetupMinorUpdate, flashSetupKind);
}

TEST_F(FlashSetupTest, NoPlayerIsFirstInstallation) {
  useSetup(L"default");
  checkFlashPlayer();
  EXPECT_EQ(kFlashSetupFirstInstall, flashSetupKind);
  EXPECT_TRUE(flashSetupDone);
  EXPECT_FALSE(flashOcxLocked);
  EXPECT_EQ(7, cachedFlashVersion);
  EXPECT_TRUE(exists(L"Flash.ocx"));
  // Started once, quietly and hidden.
  EXPECT_EQ(SetupStarts(file("setup.log")), std::vector<std::string>{"\"/Q\" show 0"});
}

TEST_F(FlashSetupTest, ControlWithoutVersionCountsAsNoPlayer) {
  place(L"noversion");
  std::int32_t major = -5, third = -5;
  installedVersion(major, third);
  EXPECT_EQ(0, major);
  EXPECT_EQ(0, third);
  useSetup(L"default");
  checkFlashPlayer();
  EXPECT_EQ(kFlashSetupFirstInstall, flashSetupKind);
  EXPECT_FALSE(flashOcxLocked);
}

TEST_F(FlashSetupTest, LockedOldControlDefersSetupAndAsksRestart) {
  useSetup(L"default");
  place(L"6.0.79");
  lock(L"Flash.ocx");
  checkFlashPlayer();
  EXPECT_EQ(kFlashSetupMajorUpdate, flashSetupKind);
  EXPECT_TRUE(flashOcxLocked);
  EXPECT_FALSE(flashSetupDone);
  EXPECT_TRUE(exists(L"Flash.ocx"));
  // The installation sequence runs the setup.
  EXPECT_EQ(0, installFlashPlayer());
  EXPECT_TRUE(flashSetupDone);
  EXPECT_TRUE(restartNeeded);
  EXPECT_EQ(7, cachedFlashVersion);
}

TEST_F(FlashSetupTest, LockedMinorUpdateNeverAsksRestart) {
  useSetup(L"default");
  place(L"7.0.14");
  lock(L"Flash.ocx");
  checkFlashPlayer();
  EXPECT_TRUE(flashOcxLocked);
  EXPECT_EQ(0, installFlashPlayer());
  EXPECT_FALSE(restartNeeded);
}

TEST_F(FlashSetupTest, MissingSetupIsSilentAtStartAndFailsInSequence) {
  const DWORD start = GetTickCount();
  checkFlashPlayer();
  EXPECT_TRUE(flashSetupNeeded);
  EXPECT_FALSE(flashSetupDone);
  EXPECT_EQ(rc::kFlashSetupMissing, installFlashPlayer());
  EXPECT_EQ(rc::kFlashSetupMissing, runFlashSetup());
  EXPECT_LT(GetTickCount() - start, 2000u);
}

// Without a player, and with no setup running (none started, or one that
// ended at once without installing), waiting cannot help.
TEST_F(FlashSetupTest, ProbeWithoutPlayerGivesUpQuickly) {
  for (bool setupStarted : {false, true}) {
    SCOPED_TRACE(setupStarted ? "a setup that dies at once" : "no setup");
    if (setupStarted) {
      useSetup(L"dies");
      ASSERT_EQ(0, runFlashSetup());
    }
    bool ok = true;
    std::int32_t major = 0;
    const DWORD start = GetTickCount();
    EXPECT_EQ(rc::kNoProbeControl, getFlashVersion(ok, major, kProbeAttempts));
    EXPECT_LT(GetTickCount() - start, 3000u);
    EXPECT_FALSE(ok);
    EXPECT_EQ(-1, major);
  }
}

// The player appears only after 1.5 s: from the setup itself, or from the
// child it handed the work to before it ended at once.
TEST_F(FlashSetupTest, ProbeWaitsWhileAProcessOfTheSetupRunsThenCaches) {
  for (const wchar_t* variant : {L"slow", L"handoff"}) {
    SCOPED_TRACE(testing::Message() << (variant[0] == L's' ? "slow" : "handoff"));
    freshMachine();
    useSetup(variant);
    ASSERT_EQ(0, runFlashSetup());
    EXPECT_TRUE(flashSetupRunning());
    bool ok = false;
    std::int32_t major = 0;
    EXPECT_EQ(0, getFlashVersion(ok, major, kProbeAttempts));
    EXPECT_TRUE(ok);
    EXPECT_EQ(7, major);
  }
  // Cached from now on, whatever the attempts.
  bench::UnregisterPlayer();
  bool ok = false;
  std::int32_t major = 0;
  EXPECT_EQ(0, getFlashVersion(ok, major, 0));
  EXPECT_TRUE(ok);
  EXPECT_EQ(7, major);
}

// The prompt comes from the setup, or after more than a second from the
// child of a setup that has ended by then.
TEST_F(FlashSetupTest, SetupPromptAnsweredOnce) {
  for (const wchar_t* variant : {L"prompt", L"handoff-prompt"}) {
    SCOPED_TRACE(testing::Message() << (variant[0] == L'p' ? "prompt" : "handoff-prompt"));
    freshMachine();
    useSetup(variant);
    EXPECT_EQ(0, installFlashPlayer());
    closeFlashSetupPrompt(kPromptAttempts);
    EXPECT_TRUE(flashPromptClosed);
    waitForSetupEnd();
    EXPECT_FALSE(flashSetupRunning());  // the click ended the prompt and the setup
    const DWORD start = GetTickCount();
    closeFlashSetupPrompt(kPromptAttempts);
    EXPECT_LT(GetTickCount() - start, 100u);
  }
}

// Both ways of following the setup see its child: it runs on after the setup
// has ended, and it has registered the player when it ends.
TEST_F(FlashSetupTest, ProcessTreeFollowsTheChildOfAnEndedSetup) {
  useSetup(L"handoff");
  for (auto tracking : {SetupProcessTree::Tracking::Job, SetupProcessTree::Tracking::Snapshot}) {
    SCOPED_TRACE(tracking == SetupProcessTree::Tracking::Job ? "job" : "snapshots");
    freshMachine();
    std::wstring commandLine = L"\"" + WorkFolder + L"flashax.exe\" /Q";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &started));
    CloseHandle(started.hThread);
    HANDLE setup = nullptr;
    DuplicateHandle(GetCurrentProcess(), started.hProcess, GetCurrentProcess(), &setup, SYNCHRONIZE, FALSE, 0);
    SetupProcessTree tree(tracking);
    tree.track(started.hProcess);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(setup, 5000)) << "the setup did not end at once";
    CloseHandle(setup);
    EXPECT_TRUE(tree.running()) << "the child was not seen";
    EXPECT_FALSE(bench::PlayerRegistered());
    for (int i = 0; i < 2000 && tree.running(); ++i) bench::Pump(10);
    EXPECT_FALSE(tree.running());
    EXPECT_TRUE(bench::PlayerRegistered()) << "ended before the child's work was done";
  }
}

TEST_F(FlashSetupTest, RestartQuestionAfterPromptAnswered) {
  useSetup(L"prompt");
  std::wstring caption, text;
  int restarts = 0;
  bool answer = false;
  FlashSetupHost host;
  host.askYesNo = [&](const std::wstring& c, const std::wstring& t) {
    caption = c;
    text = t;
    EXPECT_TRUE(flashPromptClosed);  // the setup's own prompt goes first
    return answer;
  };
  host.restartWindows = [&] { ++restarts; };
  SetFlashSetupHost(host);
  ASSERT_EQ(0, installFlashPlayer());
  askRestartAfterFlashSetup();
  EXPECT_EQ(L"インストールされました", caption);
  EXPECT_EQ(L"インストールが完了しました。コンピュータを再起動する必要があります。\r\n\r\n今すぐコンピュータを再起動しますか？",
            text);
  EXPECT_EQ(0, restarts);
  answer = true;
  askRestartAfterFlashSetup();
  EXPECT_EQ(1, restarts);
}

TEST_F(FlashSetupTest, PromptSearchEndsWhenNoSetupRuns) {
  const DWORD start = GetTickCount();
  closeFlashSetupPrompt(kPromptAttempts);
  EXPECT_FALSE(flashPromptClosed);
  EXPECT_LT(GetTickCount() - start, 500u);
}

}  // namespace
