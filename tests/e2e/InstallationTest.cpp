// Installing for real, seen from outside: each case starts on a clean machine
// (a fresh copy of the Wine prefix), presses the buttons a user would press,
// answers the boxes, and then looks at the system folder, the Windows folder,
// system.ini, the uninstall entries and the work folder.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <fstream>

#include "payload/PayloadFormat.h"
#include "tests/e2e/E2eSupport.h"
#include "tests/system/DeniedMachineKey.h"

namespace e2e {
namespace {

const std::wstring kSaverName = L"Night Saver";
const std::wstring kUninstallKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Night Saver";
const std::wstring kComplete = L"スクリーンセーバーのインストール完了";
const std::wstring kInstalling = L"スクリーンセーバーをインストール中…";
const std::wstring kDeleting = L" インストールしたファイルを削除中...";
const std::wstring kOverwriteQuestion =
    L"Night Saver 同じ名称のスクリーンセーバーがあります。上書きしますか？";
const std::wstring kDisplayQuestion =
    L"スクリーンセーバーをインストールしました。画面のプロパティを開きますか？";
const std::wstring kFailedPrefix = L"インストールに失敗しました。インストーラを再作成してください。";

fs::path ScrIn(const fs::path& folder) { return folder / L"Night Saver.scr"; }
fs::path DataFolderIn(const fs::path& folder) { return folder / L"Night Saver dir"; }

bool KeyExists(HKEY root, const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

std::wstring RegistryText(HKEY root, const std::wstring& path, const wchar_t* value) {
  wchar_t buffer[1024] = {};
  DWORD size = sizeof(buffer);
  if (RegGetValueW(root, path.c_str(), value, RRF_RT_REG_SZ, nullptr, buffer, &size) !=
      ERROR_SUCCESS)
    return std::wstring();
  return buffer;
}

std::wstring CurrentSaverEntry() {
  wchar_t value[MAX_PATH] = {};
  const std::wstring ini = (WindowsFolder() / L"system.ini").wstring();
  GetPrivateProfileStringW(L"boot", L"SCRNSAVE.EXE", L"", value, MAX_PATH, ini.c_str());
  return value;
}

std::wstring ShortPath(const fs::path& path) {
  wchar_t buffer[MAX_PATH] = {};
  GetShortPathNameW(path.wstring().c_str(), buffer, MAX_PATH);
  return buffer;
}

// A window of this test program in the foreground, so that the installer is not
// the active program when it shows its next box.
class OtherProgramActive {
 public:
  OtherProgramActive()
      : window_(CreateWindowExW(0, L"STATIC", L"another program", WS_POPUP | WS_VISIBLE, 0, 0, 200,
                                100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr)) {
    probe::Activate(window_);
  }
  ~OtherProgramActive() { DestroyWindow(window_); }
  OtherProgramActive(const OtherProgramActive&) = delete;
  OtherProgramActive& operator=(const OtherProgramActive&) = delete;

 private:
  HWND window_;
};

// The display control panel of the bench is our stand-in applet.
void InstallDisplayPanel() {
  fs::copy_file(PathFromEnvironment("LV_E2E_DESKCPL"), SystemFolder() / "desk.cpl",
                fs::copy_options::overwrite_existing);
}

// Waits for the display properties window (any process) and closes it.
bool DisplayPropertiesOpened() {
  HWND properties = nullptr;
  for (int i = 0; i < 100 && properties == nullptr; ++i) {
    properties = FindWindowW(nullptr, L"画面のプロパティ");
    if (properties == nullptr) probe::Pause(100);
  }
  if (properties == nullptr) return false;
  Screenshot("display-properties");
  PostMessageW(properties, WM_COMMAND, IDCANCEL, 0);
  return true;
}

struct TitleSearch {
  std::wstring part;
  HWND found = nullptr;
};

BOOL CALLBACK MatchTitle(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<TitleSearch*>(param);
  if (!IsWindowVisible(window) || probe::TextOf(window).find(search->part) == std::wstring::npos)
    return TRUE;
  search->found = window;
  return FALSE;
}

// A visible top-level window of any program whose title contains `part`.
HWND WindowNaming(const std::wstring& part) {
  TitleSearch search{part};
  EnumWindows(MatchTitle, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class Installation : public ::testing::Test {
 protected:
  Installation() : workspace_(::testing::UnitTest::GetInstance()->current_test_info()->name()) {}

  void Start(const lvpack::PackagePlan& plan, bool expectWindow = true) {
    installer_ = BuildInstaller(workspace_, plan, "setup.exe");
    ASSERT_TRUE(process_.Start(installer_.wstring()));
    if (!expectWindow) return;
    window_ = WaitForInstaller(process_);
    ASSERT_NE(window_.form, nullptr) << "the installer window did not appear";
    ASSERT_NE(window_.installBtn, nullptr);
  }

  // Answers the next box of `title`, checking its text and that it belongs to
  // the installer window (owned, and so never behind it); false when none came.
  bool Answer(const std::wstring& title, const std::wstring& text, const std::wstring& button) {
    HWND box = probe::WaitForBox(process_.id(), title);
    if (box == nullptr) return false;
    EXPECT_EQ(probe::BoxText(box), text);
    if (window_.form != nullptr) {
      EXPECT_EQ(probe::OwnerOf(box), window_.form);
      EXPECT_NE(probe::ExStyleOf(box) & WS_EX_TOPMOST, 0) << "below the topmost installer window";
    }
    Screenshot("box");
    EXPECT_TRUE(probe::AnswerBox(box, button));
    probe::WaitWindowGone(box);
    return true;
  }

  DWORD WaitEnd() {
    DWORD code = 0xDEAD;
    EXPECT_TRUE(process_.WaitExit(code, 60000)) << "the installer did not end";
    EXPECT_TRUE(WorkFolders().empty()) << "the work folder was left behind";
    return code;
  }

  void ExpectNothingInstalled() {
    EXPECT_FALSE(fs::exists(ScrIn(SystemFolder())));
    EXPECT_FALSE(fs::exists(DataFolderIn(SystemFolder())));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUninstallKey));
  }

  void ExpectInstalled() {
    EXPECT_TRUE(fs::exists(ScrIn(SystemFolder())));
    const fs::path data = DataFolderIn(SystemFolder());
    EXPECT_TRUE(fs::exists(data / "saver1.dll"));
    EXPECT_TRUE(fs::exists(data / "saver2.dll"));
    EXPECT_TRUE(fs::exists(data / "readme.txt"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey) ||
                KeyExists(HKEY_CURRENT_USER, kUninstallKey));
  }

  Workspace workspace_;
  fs::path installer_;
  probe::Process process_;
  InstallerWindow window_;
};

// Also run on machines that report Windows XP, 7 and 10 (CMake registers those runs).
TEST_F(Installation, FreshInstallCompletesAsksForDisplayPropertiesAndEnds) {
  ReportWindowsFromEnvironment();
  lvpack::PackagePlan plan = BasicPlan(workspace_, "Night Saver");
  plan.offerDisplayProperties = true;
  Start(plan);
  // Enter presses the focused Install button.
  probe::Activate(window_.form);
  probe::PressKey(VK_RETURN);

  // Once the bar is full the installation is past its last check point: Cancel
  // is disabled, and a click on it shows no removal and skips no question.
  const DWORD start = GetTickCount();
  while (SendMessageW(window_.progress, PBM_GETPOS, 0, 0) < 10 && GetTickCount() - start < 60000)
    probe::Pause(5);
  EXPECT_FALSE(probe::IsEnabled(window_.cancelBtn)) << "Cancel can no longer cancel anything";
  probe::Click(window_.cancelBtn);
  EXPECT_FALSE(probe::WaitForText(window_.status, kDeleting, 500));

  // The question comes while the complete screen is up.
  HWND box = probe::WaitForBox(process_.id(), L"確認", 60000);
  ASSERT_NE(box, nullptr) << "no display-properties question";
  EXPECT_EQ(probe::BoxText(box), kDisplayQuestion);
  EXPECT_EQ(probe::BoxButtons(box), (std::vector<std::wstring>{L"はい", L"いいえ"}));
  EXPECT_EQ(probe::TextOf(window_.status), kComplete);
  EXPECT_TRUE(probe::IsVisible(window_.doneBtn));
  EXPECT_FALSE(probe::IsVisible(window_.installBtn));
  EXPECT_FALSE(probe::IsVisible(window_.cancelBtn));
  EXPECT_EQ(SendMessageW(window_.progress, PBM_GETPOS, 0, 0), 0);
  Screenshot("complete");
  ASSERT_TRUE(probe::AnswerBox(box, L"いいえ"));

  EXPECT_EQ(WaitEnd(), 0u);
  ExpectInstalled();
  EXPECT_EQ(CurrentSaverEntry(), ShortPath(ScrIn(SystemFolder())));
  const std::wstring key = KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey) ? kUninstallKey : L"";
  if (!key.empty()) {
    EXPECT_FALSE(RegistryText(HKEY_LOCAL_MACHINE, key, L"DisplayName").empty());
    EXPECT_NE(RegistryText(HKEY_LOCAL_MACHINE, key, L"UninstallString").find(L"/u"),
              std::wstring::npos);
  }
}

// A licence and a document: the document is extracted at start-up, both go into
// the data folder, and at the end the shell opens the document.
TEST_F(Installation, LicenceAndDocumentAreInstalledAndTheDocumentIsOpened) {
  lvpack::PackagePlan plan = BasicPlan(workspace_, "Night Saver");
  plan.showLicense = true;
  plan.hasDocument = true;
  plan.slots[payload::kSlotLicense].file = workspace_.Write("license.txt", std::string("terms\r\n"));
  plan.slots[payload::kSlotLicense].name = "license.txt";
  plan.slots[payload::kSlotDocument].file = workspace_.Write("manual.txt", std::string("how to\r\n"));
  plan.slots[payload::kSlotDocument].name = "manual.txt";
  // The bench's Wine knows the program for text files but does not tie ".txt" to it.
  HKEY extension = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, L".txt", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &extension, nullptr),
            ERROR_SUCCESS);
  const wchar_t kTextFile[] = L"txtfile";
  RegSetValueExW(extension, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(kTextFile),
                 sizeof kTextFile);
  RegCloseKey(extension);
  Start(plan);
  const auto work = WorkFolders();
  ASSERT_EQ(work.size(), 1u);
  EXPECT_EQ(ReadText(work.front() / "manual.txt"), "how to\r\n") << "not extracted at start-up";
  probe::Click(window_.installBtn);
  EXPECT_EQ(WaitEnd(), 0u);
  ExpectInstalled();
  EXPECT_EQ(ReadText(DataFolderIn(SystemFolder()) / "license.txt"), "terms\r\n");
  EXPECT_EQ(ReadText(DataFolderIn(SystemFolder()) / "manual.txt"), "how to\r\n");
  // Opened with the system's program for text files, whose window names it.
  HWND viewer = nullptr;
  for (int i = 0; i < 100 && viewer == nullptr; ++i) {
    viewer = WindowNaming(L"manual.txt");
    if (viewer == nullptr) probe::Pause(100);
  }
  ASSERT_NE(viewer, nullptr) << "the document was not opened";
  Screenshot("document");
  PostMessageW(viewer, WM_CLOSE, 0, 0);
}

// The installer started from a downloads folder where a library and a program
// named like system ones were left: neither is used. Wine prefers its own
// comctl32.dll to one beside a program; an override for setup.exe makes it take
// the file found first, as Windows does for a library that is not a KnownDLL.
// (version.dll cannot be shown this way: Wine's own user32.dll imports it when
// any program starts, so with the override Wine takes a planted one for itself.)
TEST_F(Installation, YesOpensTheDisplayPropertiesAndNothingPlantedIsUsed) {
  InstallDisplayPanel();
  lvpack::PackagePlan plan = BasicPlan(workspace_, "Night Saver");
  plan.offerDisplayProperties = true;
  installer_ = BuildInstaller(workspace_, plan, "setup.exe");
  const fs::path downloads = installer_.parent_path();
  fs::copy_file(PathFromEnvironment("LV_E2E_PLANTED_DLL"), downloads / "comctl32.dll",
                fs::copy_options::overwrite_existing);
  fs::copy_file(PathFromEnvironment("LV_E2E_PLANTED_EXE"), downloads / "rundll32.exe",
                fs::copy_options::overwrite_existing);
  HKEY overrides = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER,
                            L"Software\\Wine\\AppDefaults\\setup.exe\\DllOverrides", 0,
                            nullptr, 0, KEY_SET_VALUE, nullptr, &overrides, nullptr),
            ERROR_SUCCESS);
  const wchar_t kNativeFirst[] = L"native,builtin";
  RegSetValueExW(overrides, L"comctl32", 0, REG_SZ, reinterpret_cast<const BYTE*>(kNativeFirst),
                 sizeof kNativeFirst);
  RegCloseKey(overrides);
  ASSERT_TRUE(process_.Start(installer_.wstring()));
  window_ = WaitForInstaller(process_);
  ASSERT_NE(window_.form, nullptr) << "the installer window did not appear";
  probe::Click(window_.installBtn);
  ASSERT_TRUE(Answer(L"確認", kDisplayQuestion, L"はい"));
  EXPECT_EQ(WaitEnd(), 0u);
  EXPECT_TRUE(DisplayPropertiesOpened()) << "the display properties did not open";
  EXPECT_FALSE(fs::exists(downloads / "comctl32.dll.used")) << "the planted library was loaded";
  EXPECT_FALSE(fs::exists(downloads / "rundll32.exe.used")) << "the planted program ran";
}

// A movie the player cannot show: the installation runs at once with the
// preparing window as the only display, then the program asks and ends.
TEST_F(Installation, MovieThatCannotBeShownInstallsWithoutTheWindow) {
  lvpack::PackagePlan plan = BasicPlan(workspace_, "Night Saver");
  plan.contentKind = payload::kContentMovieAlt;
  plan.offerDisplayProperties = true;
  plan.slots[payload::kSlotPresentation].file = workspace_.Write("movie.swf", std::string("not a movie"));
  Start(plan, false);
  HWND box = probe::WaitForBox(process_.id(), L"確認", 60000);
  ASSERT_NE(box, nullptr) << "no display-properties question";
  EXPECT_EQ(probe::BoxText(box), kDisplayQuestion);
  HWND preparing = probe::WaitForWindow(process_.id(), kPreparingClass, L"", true, 1000);
  ASSERT_NE(preparing, nullptr);
  EXPECT_NE(probe::TextOf(preparing).find(L"Night Saver"), std::wstring::npos)
      << "the preparing window carries the installer's caption";
  HWND label = probe::FindDescendant(preparing, L"Static", L"");
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(probe::TextOf(label), L"インストールされました");
  EXPECT_TRUE(probe::FindTopWindows(process_.id(), kFormClass, L"", true).empty());
  Screenshot("without-window");
  probe::AnswerBox(box, L"いいえ");
  EXPECT_EQ(WaitEnd(), 0u);
  ExpectInstalled();
}

// Declining the overwrite question there ends the program without any message.
TEST_F(Installation, MovieThatCannotBeShownAndDeclinedOverwriteEndsQuietly) {
  std::ofstream(ScrIn(SystemFolder()), std::ios::binary) << "installed program";
  lvpack::PackagePlan plan = BasicPlan(workspace_, "Night Saver");
  plan.contentKind = payload::kContentMovieAlt;
  plan.slots[payload::kSlotPresentation].file = workspace_.Write("movie.swf", std::string("not a movie"));
  Start(plan, false);
  HWND box = probe::WaitForBox(process_.id(), L"確認", 60000);
  ASSERT_NE(box, nullptr) << "no overwrite question";
  EXPECT_EQ(probe::BoxText(box), kOverwriteQuestion);
  probe::AnswerBox(box, L"キャンセル");
  // No damaged-installer box follows: the program ends by itself.
  DWORD code = 1;
  ASSERT_TRUE(process_.WaitExit(code, 20000));
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(WorkFolders().empty());
  EXPECT_EQ(ReadText(ScrIn(SystemFolder())), "installed program");
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
}

TEST_F(Installation, OlderCopyCancelKeepsItAndOkReplacesIt) {
  // An older copy in the system folder and a data folder in the Windows folder.
  std::ofstream(ScrIn(SystemFolder()), std::ios::binary) << "old program";
  fs::create_directories(DataFolderIn(WindowsFolder()));
  std::ofstream(DataFolderIn(WindowsFolder()) / "old.txt") << "old";
  Start(BasicPlan(workspace_, "Night Saver"));

  {
    // Another program is active when the question comes: it still belongs to the
    // installer window (Answer checks its owner), never behind it.
    OtherProgramActive other;
    probe::Click(window_.installBtn);
    ASSERT_TRUE(Answer(L"確認", kOverwriteQuestion, L"キャンセル"));
  }
  // Back to ready: empty status line, install enabled, nothing touched.
  ASSERT_TRUE(probe::WaitForText(window_.status, L""));
  probe::Pause(500);
  EXPECT_TRUE(probe::IsVisible(window_.status));
  EXPECT_TRUE(probe::IsEnabled(window_.installBtn));
  EXPECT_TRUE(probe::IsEnabled(window_.cancelBtn));
  EXPECT_TRUE(process_.Running());
  EXPECT_EQ(ReadText(ScrIn(SystemFolder())), "old program");
  EXPECT_TRUE(fs::exists(DataFolderIn(WindowsFolder()) / "old.txt"));
  Screenshot("declined");

  probe::Click(window_.installBtn);
  ASSERT_TRUE(Answer(L"確認", kOverwriteQuestion, L"OK"));
  EXPECT_EQ(WaitEnd(), 0u);
  ExpectInstalled();
  EXPECT_NE(ReadText(ScrIn(SystemFolder())), "old program");
  EXPECT_FALSE(fs::exists(DataFolderIn(WindowsFolder())));
}

TEST_F(Installation, CancelDuringExtractionRemovesEverythingAndEnds) {
  Start(BasicPlan(workspace_, "Night Saver"));
  probe::Click(window_.installBtn);
  // As soon as the first file has been written, press Cancel.
  const DWORD start = GetTickCount();
  while (SendMessageW(window_.progress, PBM_GETPOS, 0, 0) < 1 && GetTickCount() - start < 30000)
    probe::Pause(5);
  probe::Click(window_.cancelBtn);
  ASSERT_TRUE(probe::WaitForText(window_.status, kDeleting, 5000));
  EXPECT_EQ(SendMessageW(window_.progress, PBM_GETPOS, 0, 0), 0);
  Screenshot("cancelling");
  EXPECT_EQ(WaitEnd(), 0u);
  ExpectNothingInstalled();
}

// A cancel handled before the target was prepared has nothing of its own to remove:
// the screen saver of the same name that is already installed stays as it is.
TEST_F(Installation, CancelBeforeTheTargetIsPreparedKeepsTheInstalledSaver) {
  std::ofstream(ScrIn(SystemFolder()), std::ios::binary) << "installed program";
  fs::create_directories(DataFolderIn(SystemFolder()));
  std::ofstream(DataFolderIn(SystemFolder()) / "settings.dat") << "settings";
  Start(BasicPlan(workspace_, "Night Saver"));
  // Both clicks wait in the queue: the second is handled while the installing
  // state is being shown, before the overwrite question.
  probe::Click(window_.installBtn);
  probe::Click(window_.cancelBtn);
  DWORD code = 0;
  if (!process_.WaitExit(code, 10000)) {
    HWND box = probe::WaitForBox(process_.id(), L"確認", 1000);
    if (box != nullptr) {
      probe::AnswerBox(box, L"キャンセル");
      GTEST_SKIP() << "the cancel click arrived after the overwrite question";
    }
  }
  EXPECT_EQ(WaitEnd(), 0u);
  EXPECT_EQ(ReadText(ScrIn(SystemFolder())), "installed program");
  EXPECT_EQ(ReadText(DataFolderIn(SystemFolder()) / "settings.dat"), "settings");
}

TEST_F(Installation, LockedProgramStopsWithOverwriteFailureAndRollsBack) {
  std::ofstream(ScrIn(SystemFolder()), std::ios::binary) << "running program";
  // Held open without sharing, as a running screen saver would hold it.
  HANDLE lock = CreateFileW(ScrIn(SystemFolder()).wstring().c_str(), GENERIC_READ, 0, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  Start(BasicPlan(workspace_, "Night Saver"));
  probe::Click(window_.installBtn);
  ASSERT_TRUE(Answer(L"確認", kOverwriteQuestion, L"OK"));

  HWND box = probe::WaitForBox(process_.id(), L"エラー", 60000);
  ASSERT_NE(box, nullptr) << "no error box";
  EXPECT_EQ(probe::TextOf(window_.status),
            L"インストール中止:スクリーンセーバーの上書きができませんでした");
  EXPECT_EQ(probe::BoxText(box),
            L"インストールエラー: スクリーンセーバーの上書きができませんでした\r\n\r\n"
            L"画面のプロパティを閉じて再度インストールしてください。再度エラーが起きる場合はユーザー権限に問題がある場合があります。システム管理者にお問い合わせください。");
  Screenshot("locked");
  probe::AnswerBox(box, L"中止");
  probe::WaitWindowGone(box);
  CloseHandle(lock);

  // Failed screen: install disabled, cancel ends the program.
  EXPECT_FALSE(probe::IsEnabled(window_.installBtn));
  EXPECT_TRUE(probe::IsVisible(window_.cancelBtn));
  EXPECT_FALSE(fs::exists(DataFolderIn(SystemFolder())));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  probe::Click(window_.cancelBtn);
  EXPECT_EQ(WaitEnd(), 0u);
}

// With offerDisplayProperties a silent installation opens them at its end, unasked.
TEST_F(Installation, SilentPackageInstallsWithoutWindowAndExitsWithResult) {
  InstallDisplayPanel();
  lvpack::PackagePlan plan = BasicPlan(workspace_, "Night Saver");
  plan.contentKind = payload::kContentSilent;
  plan.offerDisplayProperties = true;
  Start(plan, false);
  EXPECT_EQ(WaitEnd(), 0u);
  EXPECT_TRUE(probe::FindTopWindows(process_.id(), kFormClass, L"", true).empty());
  ExpectInstalled();
  EXPECT_TRUE(DisplayPropertiesOpened());
}

// A user without rights to the machine's part of the registry: the entry goes to
// the user's own part instead.
TEST_F(Installation, MachineKeyWithoutRightsPutsTheEntryUnderTheUser) {
  testfs::DeniedMachineKey denied(kUninstallKey);
  ASSERT_TRUE(denied.denied());
  lvpack::PackagePlan plan = BasicPlan(workspace_, "Night Saver");
  plan.contentKind = payload::kContentSilent;
  Start(plan, false);
  EXPECT_EQ(WaitEnd(), 0u);
  EXPECT_TRUE(fs::exists(ScrIn(SystemFolder())));
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayName"), L"");
  // A name that already says "Saver" is listed as it is.
  EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, kUninstallKey, L"DisplayName"), L"Night Saver");
  EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, kUninstallKey, L"UninstallString"),
            L"\"" + (SystemFolder() / L"Night Saver.scr").wstring() + L"\" /u");
}

TEST_F(Installation, SilentPackageFailureBecomesTheExitCode) {
  // A program in place that cannot be replaced: no question in a silent installation.
  std::ofstream(ScrIn(SystemFolder()), std::ios::binary) << "running program";
  HANDLE lock = CreateFileW(ScrIn(SystemFolder()).wstring().c_str(), GENERIC_READ, 0, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  InstallDisplayPanel();
  lvpack::PackagePlan plan = BasicPlan(workspace_, "Night Saver");
  plan.contentKind = payload::kContentSilent;
  plan.offerDisplayProperties = true;
  Start(plan, false);
  // Every box that comes is an error box; answer them.
  DWORD code = 0;
  for (int i = 0; i < 5 && !process_.WaitExit(code, 500); ++i) {
    HWND box = probe::WaitForBox(process_.id(), L"", 5000);
    if (box != nullptr) {
      Screenshot("silent-box");
      EXPECT_NE(probe::TextOf(box), L"確認") << "a silent installation asks nothing";
      probe::AnswerBox(box, L"中止");
    }
  }
  CloseHandle(lock);
  // The program in place cannot be replaced: -38 is the process exit code.
  EXPECT_EQ(WaitEnd(), static_cast<DWORD>(-38));
  EXPECT_FALSE(fs::exists(DataFolderIn(SystemFolder())));
  // The end of a silent start-up opens the display properties whatever the result.
  EXPECT_TRUE(DisplayPropertiesOpened());
}

// system.ini cannot be written (a folder stands in its place): the registration
// fails with the system's code, everything else stays installed, and the window
// stays open on the failure.
TEST_F(Installation, RefusedProfileWriteKeepsEverythingAndReportsTheCode) {
  const fs::path ini = WindowsFolder() / L"system.ini";
  std::error_code ignored;
  fs::remove(ini, ignored);
  ASSERT_TRUE(fs::create_directory(ini));
  Start(BasicPlan(workspace_, "Night Saver"));
  probe::Click(window_.installBtn);
  // Access denied has its own status text and box; any other code the generic text.
  HWND box = probe::WaitForBox(process_.id(), L"エラー", 30000);
  if (box != nullptr) {
    EXPECT_EQ(probe::TextOf(window_.status), L"インストール中止: ユーザー権限に問題があります");
    EXPECT_EQ(probe::BoxText(box).rfind(L"インストールエラー: 5\r\n\r\nユーザー権限が足りません。", 0), 0u);
    Screenshot("profile-refused");
    probe::AnswerBox(box, L"中止");
    probe::WaitWindowGone(box);
  } else {
    EXPECT_EQ(probe::TextOf(window_.status).rfind(kFailedPrefix, 0), 0u);
  }
  EXPECT_TRUE(process_.Running()) << "the window stays open";
  EXPECT_FALSE(probe::IsEnabled(window_.installBtn));
  EXPECT_TRUE(fs::exists(ScrIn(SystemFolder())));
  EXPECT_TRUE(fs::exists(DataFolderIn(SystemFolder()) / "saver1.dll"));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey) ||
              KeyExists(HKEY_CURRENT_USER, kUninstallKey));
  // Closing is allowed again: the installation is over.
  probe::RequestClose(window_.form);
  EXPECT_EQ(WaitEnd(), 0u);
}

// No way to close does anything while the installation runs (the close box, Esc,
// the taskbar window, the preparing window); it runs to its end.
TEST_F(Installation, CloseBoxIsRefusedWhileInstalling) {
  lvpack::PackagePlan plan = BasicPlan(workspace_, "Night Saver");
  plan.offerDisplayProperties = true;
  Start(plan);
  probe::Click(window_.installBtn);
  for (int i = 0; i < 1000 && probe::IsEnabled(window_.installBtn); ++i) probe::Pause(5);
  ASSERT_FALSE(probe::IsEnabled(window_.installBtn)) << "the installation did not start";
  probe::RequestClose(window_.form);
  for (const wchar_t* hidden : {L"LvApplication", kPreparingClass})
    for (HWND window : probe::FindTopWindows(process_.id(), hidden, L"", false))
      probe::RequestClose(window);
  probe::Activate(window_.form);
  probe::PressKey(VK_ESCAPE);
  HWND box = probe::WaitForBox(process_.id(), L"確認", 60000);
  ASSERT_NE(box, nullptr) << "the installation did not reach its end";
  EXPECT_TRUE(probe::IsVisible(window_.form));
  probe::AnswerBox(box, L"いいえ");
  EXPECT_EQ(WaitEnd(), 0u);
  ExpectInstalled();
}

}  // namespace
}  // namespace e2e
