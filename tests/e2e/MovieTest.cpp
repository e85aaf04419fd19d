// Movie installers on machines with and without the player, seen from outside:
// the start-up installs the stand-in player with its own quiet setup, the window
// plays the movie (or, for a movie the player cannot play, the installation runs
// with the preparing window as the only display), and the program ends with the
// right question.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <fstream>

#include "payload/PayloadFormat.h"
#include "tests/e2e/E2eSupport.h"
#include "tests/e2e/MovieSupport.h"
#include "tests/flash/StandinLog.h"

namespace e2e {
namespace {

const std::wstring kSaverName = L"Night Saver";
const std::wstring kPreparing = L"インストールの準備中...";
const std::wstring kInstalling = L"スクリーンセーバーをインストール中…";
const std::wstring kInstalled = L"インストールされました";
const std::wstring kOverwriteQuestion =
    L"Night Saver 同じ名称のスクリーンセーバーがあります。上書きしますか？";
const std::wstring kDisplayQuestion =
    L"スクリーンセーバーをインストールしました。画面のプロパティを開きますか？";
const std::wstring kRestartQuestion =
    L"インストールが完了しました。コンピュータを再起動する必要があります。\r\n\r\n"
    L"今すぐコンピュータを再起動しますか？";
const std::wstring kSetupPromptTitle = L"Macromedia Flash Player 7";
const std::wstring kCurrentPlayer = L"7.0.19.0";
const std::wstring kFailedPrefix = L"インストールに失敗しました。インストーラを再作成してください。";

constexpr COLORREF kMovieGreen = RGB(0x20, 0xA0, 0x60);
constexpr COLORREF kMovieOrange = RGB(0xF0, 0x90, 0x10);
constexpr DWORD kInstallTimeoutMs = 60000;
// A start-up that can never get a player ends in seconds, not minutes.
constexpr DWORD kQuickEndMs = 20000;

fs::path ScrIn(const fs::path& folder) { return folder / L"Night Saver.scr"; }
fs::path DataFolderIn(const fs::path& folder) { return folder / L"Night Saver dir"; }

// Temporary folders "FlashPanel<n>" of the movie panel under the TEMP folder.
std::vector<fs::path> PanelFolders() {
  std::vector<fs::path> found;
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(fs::path(temp), error))
    if (entry.is_directory() && entry.path().filename().wstring().rfind(L"FlashPanel", 0) == 0)
      found.push_back(entry.path());
  return found;
}

bool SamePath(const std::wstring& a, const fs::path& b) {
  return lstrcmpiW(a.c_str(), b.wstring().c_str()) == 0;
}

class Movie : public ::testing::Test {
 protected:
  Movie() : workspace_(::testing::UnitTest::GetInstance()->current_test_info()->name()) {}
  ~Movie() override {
    if (heldPlayer_ != nullptr) FreeLibrary(heldPlayer_);
  }

  void SetUp() override {
    // A fresh machine has no player unless the case puts one there.
    ASSERT_FALSE(fs::exists(PlayerControl())) << "the bench machine already has a player";
    // The stand-ins record what the installer does with them (inherited by install.exe).
    SetEnvironmentVariableW(L"LV_FLASH_STANDIN_LOG", (workspace_.folder() / "player.log").c_str());
    SetEnvironmentVariableW(L"LV_FLASH_SETUP_LOG", (workspace_.folder() / "setup.log").c_str());
  }

  StandinLog PlayerLog() const { return StandinLog::Read(workspace_.folder() / "player.log"); }
  std::vector<std::string> SetupStarts() const { return ::SetupStarts(workspace_.folder() / "setup.log"); }

  lvpack::PackagePlan MoviePlan(const Bytes& movie) {
    lvpack::PackagePlan plan = BasicPlan(workspace_, "Night Saver");
    plan.contentKind = payload::kContentMovie;
    plan.offerDisplayProperties = true;
    plan.slots[payload::kSlotPresentation].file = workspace_.Write("movie.swf", movie);
    plan.slots[payload::kSlotPresentation].name = "movie.swf";
    return plan;
  }

  void Start(const lvpack::PackagePlan& plan) {
    installer_ = BuildInstaller(workspace_, plan, "setup.exe");
    ASSERT_TRUE(process_.Start(installer_.wstring()));
  }

  // The ready window with the movie playing in the panel's player control.
  void ExpectMoviePlaying(COLORREF background) {
    window_ = WaitForInstaller(process_);
    ASSERT_NE(window_.form, nullptr) << "the installer window did not appear";
    ASSERT_NE(window_.installBtn, nullptr);
    EXPECT_TRUE(probe::IsEnabled(window_.installBtn));
    HWND player = PlayerWindowIn(window_.form);
    ASSERT_NE(player, nullptr) << "the movie panel hosts no player control";
    EXPECT_TRUE(probe::IsVisible(player));
    probe::Pause(300);  // the control paints after it was shown
    const COLORREF pixel = BackgroundPixel(player);
    EXPECT_TRUE(SameColour(pixel, background))
        << std::hex << "screen 0x" << pixel << ", movie background 0x" << background;
    Screenshot("movie");
  }

  // The player the start-up's setup installed: the current stand-in, registered.
  void ExpectCurrentPlayerInstalled() {
    ASSERT_TRUE(fs::exists(PlayerControl())) << "the setup did not install the player";
    EXPECT_EQ(FileVersionText(PlayerControl()), kCurrentPlayer);
    EXPECT_TRUE(SamePath(RegisteredPlayerFile(), PlayerControl())) << RegisteredPlayerFile();
  }

  bool Answer(const std::wstring& title, const std::wstring& text, const std::wstring& button,
              const std::string& shot) {
    HWND box = probe::WaitForBox(process_.id(), title, kInstallTimeoutMs);
    if (box == nullptr) return false;
    EXPECT_EQ(probe::BoxText(box), text);
    Screenshot(shot);
    EXPECT_TRUE(probe::AnswerBox(box, button));
    probe::WaitWindowGone(box);
    return true;
  }

  DWORD WaitEnd() {
    DWORD code = 0xDEAD;
    EXPECT_TRUE(process_.WaitExit(code, kInstallTimeoutMs)) << "the installer did not end";
    EXPECT_TRUE(WorkFolders().empty()) << "the work folder was left behind";
    EXPECT_TRUE(PanelFolders().empty()) << "the movie panel's folder was left behind";
    return code;
  }

  void ExpectInstalled() {
    EXPECT_TRUE(fs::exists(ScrIn(SystemFolder())));
    EXPECT_TRUE(fs::exists(DataFolderIn(SystemFolder()) / "saver1.dll"));
    EXPECT_TRUE(fs::exists(DataFolderIn(SystemFolder()) / "readme.txt"));
  }

  // The installer of a movie of `movieVersion`, with a player setup that asks
  // to restart, on a machine whose old player (6.0.79) is in use: mapped as an
  // image, its file cannot be deleted until the test ends.
  void StartWithLockedOldPlayer(int movieVersion, const std::string& setup = "prompt") {
    ASSERT_TRUE(PreinstallPlayer(StandinControl("6.0.79")));
    heldPlayer_ = LoadLibraryExW(PlayerControl().wstring().c_str(), nullptr,
                                 DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_NE(heldPlayer_, nullptr);
    lvpack::PackagePlan plan = MoviePlan(MakeMovie(movieVersion, kMovieGreen, false));
    plan.slots[payload::kSlotFlashSetup].file = FlashSetupVariant(setup);
    Start(plan);
  }

  // No to the installer's restart question: the program ends with the saver
  // installed, and no display-properties question came instead.
  void DeclineRestartAndExpectInstalled(HWND question) {
    const std::vector<std::wstring> buttons = probe::BoxButtons(question);
    ASSERT_EQ(buttons.size(), 2u);
    ASSERT_TRUE(probe::AnswerBox(question, buttons[1]));
    EXPECT_EQ(WaitEnd(), 0u);
    ExpectInstalled();
    EXPECT_TRUE(probe::FindTopWindows(process_.id(), L"#32770", L"確認", false).empty());
  }

  // Install pressed in the ready window: the installation completes and the
  // display-properties question ends it.
  void InstallAndExpectCompletion() {
    probe::Click(window_.installBtn);
    ASSERT_TRUE(Answer(L"確認", kDisplayQuestion, L"いいえ", "complete"))
        << "no display-properties question";
    EXPECT_EQ(WaitEnd(), 0u);
    ExpectInstalled();
  }

  void LockedOldPlayerUpdatedDuringInstallationAsksToRestart(const std::string& setup);

  Workspace workspace_;
  fs::path installer_;
  probe::Process process_;
  InstallerWindow window_;
  HMODULE heldPlayer_ = nullptr;  // an old player kept in use (StartWithLockedOldPlayer)
};

// No player on the machine: the start-up runs the packaged setup quietly, which
// installs and registers the control, and the window then plays the movie. The
// data file's movie entry becomes a copy of the installer's movie.
TEST_F(Movie, CompressedMovieOnMachineWithoutPlayerInstallsPlayerAndPlays) {
  EXPECT_TRUE(RegisteredPlayerFile().empty()) << "a player class is registered already";
  const Bytes movie = MakeMovie(7, kMovieGreen, true);
  lvpack::PackagePlan plan = MoviePlan(movie);
  plan.slots[payload::kSlotPresentation].name = "installer.swf";  // the file a movie entry copies
  plan.slots[payload::kSlotSaverDataFile].content->movieEntry = "Night.swf";
  Start(plan);
  ExpectMoviePlaying(kMovieGreen);
  ExpectCurrentPlayerInstalled();
  EXPECT_EQ(PanelFolders().size(), 1u) << "the converted movie lives in the panel's folder";
  const auto work = WorkFolders();
  ASSERT_EQ(work.size(), 1u);
  EXPECT_TRUE(fs::exists(work.front() / "flashax.exe")) << "the setup ran from the work folder";
  EXPECT_TRUE(probe::FindTopWindows(process_.id(), L"#32770", L"", true).empty())
      << "no box at start-up";
  InstallAndExpectCompletion();
  std::ifstream copy(DataFolderIn(SystemFolder()) / "Night.swf", std::ios::binary);
  EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(copy), std::istreambuf_iterator<char>()), movie);
}

TEST_F(Movie, PlainMovieOnMachineWithoutPlayerInstallsPlayerAndPlays) {
  EXPECT_TRUE(RegisteredPlayerFile().empty()) << "a player class is registered already";
  Start(MoviePlan(MakeMovie(6, kMovieOrange, false)));
  ExpectMoviePlaying(kMovieOrange);
  ExpectCurrentPlayerInstalled();
  InstallAndExpectCompletion();
}

// A setup that takes its time: the start-up waits for the control while the
// setup still runs, and then plays the movie instead of giving up on it.
TEST_F(Movie, SlowPlayerSetupIsWaitedForAndTheMoviePlays) {
  lvpack::PackagePlan plan = MoviePlan(MakeMovie(7, kMovieOrange, true));
  plan.slots[payload::kSlotFlashSetup].file = FlashSetupVariant("slow");
  Start(plan);
  ExpectMoviePlaying(kMovieOrange);
  ExpectCurrentPlayerInstalled();
  InstallAndExpectCompletion();
}

// A setup that hands the work to a child process and ends at once, as real
// setups often do: the start-up waits for the child's player, and the window
// shows the movie and the licence. The installer started the setup with "/Q"
// and hidden, and hosts the player as a standard container: initialised
// before it is shown, hidden until the movie plays, keys of the movie offered
// to the player first, and stopped before it goes.
TEST_F(Movie, HandOffSetupInstallsPlayerAndTheWindowShowsMovieAndLicence) {
  lvpack::PackagePlan plan = MoviePlan(MakeMovie(7, kMovieGreen, true));
  plan.slots[payload::kSlotFlashSetup].file = FlashSetupVariant("handoff");
  plan.showLicense = true;
  plan.slots[payload::kSlotLicense].file = workspace_.Write("license.txt", std::string("\x8E\x67\x97\x70\x8B\x96\x91\xF8"));  // 使用許諾
  plan.slots[payload::kSlotLicense].name = "license.txt";
  Start(plan);
  ExpectMoviePlaying(kMovieGreen);
  ASSERT_NE(window_.license, nullptr);
  EXPECT_TRUE(probe::IsVisible(window_.license));
  EXPECT_EQ(probe::TextOf(window_.license), L"使用許諾");
  ExpectCurrentPlayerInstalled();
  EXPECT_EQ(SetupStarts(), (std::vector<std::string>{"\"/Q\" show 0", "\"/Q /worker\" show 0"}));

  HWND player = PlayerWindowIn(window_.form);
  ASSERT_NE(player, nullptr);
  PostMessageW(player, WM_KEYDOWN, 'A', 0);
  probe::Pause(300);
  const std::vector<std::string> calls = PlayerLog().lastWith("Movie");
  EXPECT_NE(std::find(calls.begin(), calls.end(), "TranslateAccelerator 256 65"), calls.end())
      << "the key did not reach the player";
  const std::string ambient = StandinLog::Starting(calls, "ambient");
  EXPECT_NE(ambient.find(u8"UserMode=1"), std::string::npos) << ambient;

  probe::Click(window_.cancelBtn);
  EXPECT_EQ(WaitEnd(), 0u);
  const std::vector<std::string> sequence = {"SetClientSite", "InitNew", "DoVerb -5", "DoVerb -3", "Movie",
                                             "Play", "DoVerb -1", "StopPlay", "destroyed"};
  EXPECT_EQ(StandinLog::Only(PlayerLog().lastWith("Movie"), sequence), sequence);
}

// A setup that ends at once without installing anything: the start-up does
// not wait for a player that cannot come; the movie cannot be shown, so the
// installation runs without the window and ends with the usual question.
TEST_F(Movie, SetupThatDiesAtOnceEndsTheStartUpWithinSeconds) {
  lvpack::PackagePlan plan = MoviePlan(MakeMovie(7, kMovieGreen, true));
  plan.slots[payload::kSlotFlashSetup].file = FlashSetupVariant("dies");
  const DWORD start = GetTickCount();
  Start(plan);
  HWND question = probe::WaitForBox(process_.id(), L"確認", kQuickEndMs);
  ASSERT_NE(question, nullptr) << "no display-properties question";
  EXPECT_LT(GetTickCount() - start, kQuickEndMs);
  EXPECT_EQ(probe::BoxText(question), kDisplayQuestion);
  EXPECT_TRUE(probe::FindTopWindows(process_.id(), kFormClass, L"", true).empty());
  Screenshot("installed");
  ASSERT_TRUE(probe::AnswerBox(question, L"いいえ"));
  EXPECT_EQ(WaitEnd(), 0u);
  ExpectInstalled();
  EXPECT_FALSE(fs::exists(PlayerControl()));
  EXPECT_EQ(SetupStarts(), std::vector<std::string>{"\"/Q\" show 0"});
}

// A version-8 movie is more than the installed player (7) can play: the
// installation runs at once with the preparing window as the only display. An
// older copy of the saver makes the overwrite question come while the
// installing text is up, so that text can be seen for certain.
TEST_F(Movie, Version8MovieInstallsWithoutTheWindow) {
  std::ofstream(ScrIn(SystemFolder()), std::ios::binary) << "old program";
  Start(MoviePlan(MakeMovie(8, kMovieGreen, true)));

  HWND preparing = probe::WaitForWindow(process_.id(), kPreparingClass, L"", true);
  ASSERT_NE(preparing, nullptr) << "no preparing window";
  HWND label = probe::FindDescendant(preparing, L"Static", L"");
  ASSERT_NE(label, nullptr);
  // Record the texts the label shows until the overwrite question comes.
  std::vector<std::wstring> shown;
  HWND box = nullptr;
  const DWORD start = GetTickCount();
  while (box == nullptr && GetTickCount() - start < kInstallTimeoutMs && process_.Running()) {
    const std::wstring text = CaptionOf(label);
    if (!text.empty() && (shown.empty() || shown.back() != text)) shown.push_back(text);
    const auto boxes = probe::FindTopWindows(process_.id(), L"#32770", L"確認", true);
    if (!boxes.empty()) box = boxes.front();
    else probe::Pause(5);
  }
  ASSERT_NE(box, nullptr) << "no overwrite question";
  EXPECT_EQ(probe::BoxText(box), kOverwriteQuestion);
  EXPECT_EQ(CaptionOf(label), kInstalling);
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.front(), kPreparing);
  EXPECT_EQ(shown.back(), kInstalling);
  EXPECT_NE(CaptionOf(preparing).find(kSaverName), std::wstring::npos)
      << "the preparing window carries the installer's caption";
  EXPECT_TRUE(probe::FindTopWindows(process_.id(), kFormClass, L"", true).empty())
      << "the installer window must stay hidden";
  ExpectCurrentPlayerInstalled();
  Screenshot("installing");
  ASSERT_TRUE(probe::AnswerBox(box, L"OK"));
  probe::WaitWindowGone(box);

  // The outcome, then the display-properties question.
  HWND question = probe::WaitForBox(process_.id(), L"確認", kInstallTimeoutMs);
  ASSERT_NE(question, nullptr) << "no display-properties question";
  EXPECT_EQ(probe::BoxText(question), kDisplayQuestion);
  EXPECT_EQ(CaptionOf(label), kInstalled);
  EXPECT_TRUE(probe::FindTopWindows(process_.id(), kFormClass, L"", true).empty());
  Screenshot("installed");
  ASSERT_TRUE(probe::AnswerBox(question, L"いいえ"));

  EXPECT_EQ(WaitEnd(), 0u);
  ExpectInstalled();
  std::ifstream program(ScrIn(SystemFolder()), std::ios::binary);
  const std::string first((std::istreambuf_iterator<char>(program)), std::istreambuf_iterator<char>());
  EXPECT_NE(first, "old program") << "the older copy was replaced";
}

// An old player (6.0.79): the start-up removes it, its setup puts the current
// control in its place, and the version-7 movie plays.
TEST_F(Movie, OldPlayerIsUpdatedAndVersion7MoviePlays) {
  ASSERT_TRUE(PreinstallPlayer(StandinControl("6.0.79")));
  ASSERT_EQ(FileVersionText(PlayerControl()), L"6.0.79.0");
  Start(MoviePlan(MakeMovie(7, kMovieOrange, true)));
  ExpectMoviePlaying(kMovieOrange);
  ExpectCurrentPlayerInstalled();
  probe::Click(window_.cancelBtn);
  EXPECT_EQ(WaitEnd(), 0u);
}

// An old player whose file is in use cannot be removed: its setup is put off to
// the installation, where the setup replaces the file only at the next start of
// Windows and asks for a restart in its own box. The installer answers that box
// with No itself and asks its own restart question instead of the
// display-properties question. That box comes from the setup itself, or, more
// than a second after the setup ended, from the child it handed the work to.
void Movie::LockedOldPlayerUpdatedDuringInstallationAsksToRestart(const std::string& setup) {
  ASSERT_NO_FATAL_FAILURE(StartWithLockedOldPlayer(6, setup));

  // The old player plays the version-6 movie; nothing was installed yet.
  ExpectMoviePlaying(kMovieGreen);
  EXPECT_EQ(FileVersionText(PlayerControl()), L"6.0.79.0");
  EXPECT_EQ(FindWindowW(nullptr, kSetupPromptTitle.c_str()), nullptr)
      << "the setup must not run before the installation";

  probe::Click(window_.installBtn);
  HWND question = probe::WaitForBox(process_.id(), kInstalled, kInstallTimeoutMs);
  ASSERT_NE(question, nullptr) << "no restart question";
  EXPECT_EQ(probe::BoxText(question), kRestartQuestion);
  // A system Yes/No box: its buttons carry the system's access keys ("はい(&Y)").
  const std::vector<std::wstring> buttons = probe::BoxButtons(question);
  ASSERT_EQ(buttons.size(), 2u);
  EXPECT_EQ(buttons[0].rfind(L"はい", 0), 0u) << buttons[0].size();
  EXPECT_EQ(buttons[1].rfind(L"いいえ", 0), 0u) << buttons[1].size();
  EXPECT_EQ(FindWindowW(nullptr, kSetupPromptTitle.c_str()), nullptr)
      << "the setup's own prompt was answered before the question";
  Screenshot("restart-question");
  // The setup registered its new control beside the file in use.
  const fs::path update = PlayerFolder() / "FlashUpdate.ocx";
  EXPECT_EQ(FileVersionText(update), kCurrentPlayer);
  EXPECT_TRUE(SamePath(RegisteredPlayerFile(), update)) << RegisteredPlayerFile();
  DeclineRestartAndExpectInstalled(question);
}

TEST_F(Movie, LockedOldPlayerUpdatedDuringInstallationAsksToRestart) {
  LockedOldPlayerUpdatedDuringInstallationAsksToRestart("prompt");
}

TEST_F(Movie, HandOffSetupsPromptIsAnsweredBeforeTheRestartQuestion) {
  LockedOldPlayerUpdatedDuringInstallationAsksToRestart("handoff-prompt");
}

// The same locked player and a movie it is too old for: the installation runs
// without the window, and its end asks to restart instead of offering the
// display properties.
TEST_F(Movie, LockedOldPlayerAndMovieItCannotPlayInstallWithoutTheWindowThenAskToRestart) {
  ASSERT_NO_FATAL_FAILURE(StartWithLockedOldPlayer(7));

  HWND question = probe::WaitForBox(process_.id(), kInstalled, kInstallTimeoutMs);
  ASSERT_NE(question, nullptr) << "no restart question";
  EXPECT_EQ(probe::BoxText(question), kRestartQuestion);
  EXPECT_TRUE(probe::FindTopWindows(process_.id(), kFormClass, L"", true).empty())
      << "installed without the window";
  HWND preparing = probe::WaitForWindow(process_.id(), kPreparingClass, L"", true, 1000);
  ASSERT_NE(preparing, nullptr);
  HWND label = probe::FindDescendant(preparing, L"Static", L"");
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(CaptionOf(label), kInstalled);
  Screenshot("restart-without-window");
  DeclineRestartAndExpectInstalled(question);
}

// A player setup that cannot run leaves the machine without a player: the
// start-up must not wait for a control that can never appear. The movie cannot
// be shown, the installation without the window tries the setup again, fails
// with the shell's code, and the program ends with the damaged-installer message.
TEST_F(Movie, UnstartablePlayerSetupEndsQuicklyWithTheShellCode) {
  lvpack::PackagePlan plan = MoviePlan(MakeMovie(7, kMovieGreen, true));
  // Not a program: the shell refuses it with ERROR_BAD_FORMAT (11).
  plan.slots[payload::kSlotFlashSetup].file = workspace_.Write("flashax.exe", std::string(600, 'X'));
  const DWORD start = GetTickCount();
  Start(plan);

  HWND box = probe::WaitForBox(process_.id(), L"エラー", kQuickEndMs);
  ASSERT_NE(box, nullptr) << "no damaged-installer message";
  EXPECT_LT(GetTickCount() - start, kQuickEndMs);
  EXPECT_EQ(probe::BoxText(box), L"インストーラが破損していますLumivaneエラー = 11. ");
  EXPECT_EQ(probe::BoxButtons(box), std::vector<std::wstring>{L"中止"});
  HWND preparing = probe::WaitForWindow(process_.id(), kPreparingClass, L"", true, 1000);
  ASSERT_NE(preparing, nullptr);
  HWND label = probe::FindDescendant(preparing, L"Static", L"");
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(CaptionOf(label), kFailedPrefix + L"11");
  EXPECT_TRUE(probe::FindTopWindows(process_.id(), kFormClass, L"", true).empty());
  Screenshot("damaged");
  ASSERT_TRUE(probe::AnswerBox(box, L"中止"));

  EXPECT_EQ(WaitEnd(), 0u);
  EXPECT_FALSE(fs::exists(PlayerControl()));
  EXPECT_TRUE(RegisteredPlayerFile().empty());
  EXPECT_FALSE(fs::exists(ScrIn(SystemFolder()))) << "the failed installation was removed";
  EXPECT_FALSE(fs::exists(DataFolderIn(SystemFolder())));
}

}  // namespace
}  // namespace e2e
