// The installer's first screens, seen from outside the process: built with the
// lvpack library, started as a user would start it, looked at, right-clicked,
// resized and closed.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "payload/PayloadFormat.h"
#include "tests/e2e/E2eSupport.h"

namespace e2e {
namespace {

constexpr int kArrangedWidth = 359;
constexpr int kClientHeightPlain = 214;    // content 151 + buttons 63
constexpr int kClientHeightLicense = 321;  // + licence 103 + 4
constexpr int kButtonGap = 6;

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

// The hidden window that carries the program's taskbar text.
HWND TaskbarWindow(DWORD process) {
  const auto found = probe::FindTopWindows(process, L"LvApplication", L"", false);
  return found.empty() ? nullptr : found.front();
}

// The window stands in the middle of the screen at the size it has.
void ExpectCentred(HWND window) {
  const RECT r = probe::WindowRectOf(window);
  EXPECT_NEAR(r.left, (GetSystemMetrics(SM_CXSCREEN) - Width(r)) / 2, 1);
  EXPECT_NEAR(r.top, (GetSystemMetrics(SM_CYSCREEN) - Height(r)) / 2, 1);
}

COLORREF ScreenPixel(int x, int y) {
  HDC screen = GetDC(nullptr);
  const COLORREF colour = GetPixel(screen, x, y);
  ReleaseDC(nullptr, screen);
  return colour;
}

// The colour in the middle of the installer's content area (its top 150 pixels).
COLORREF ContentPixel(HWND form) {
  RECT client = probe::ClientRectOf(form);
  POINT centre{client.right / 2, 75};
  ClientToScreen(form, &centre);
  return ScreenPixel(centre.x, centre.y);
}

class ReadyScreen : public ::testing::Test {
 protected:
  ReadyScreen() : workspace_(::testing::UnitTest::GetInstance()->current_test_info()->name()) {}

  // Starts the installer and waits for its ready window.
  void Start(const lvpack::PackagePlan& plan) {
    installer_ = BuildInstaller(workspace_, plan, "setup.exe");
    ASSERT_TRUE(process_.Start(installer_.wstring()));
    window_ = WaitForInstaller(process_);
    ASSERT_NE(window_.form, nullptr) << "the installer window did not appear";
  }

  // Presses Cancel in the ready screen: the program ends and takes its work folder along.
  void CancelAndExpectCleanEnd() {
    ASSERT_NE(window_.cancelBtn, nullptr);
    probe::Click(window_.cancelBtn);
    ExpectCleanEnd();
  }
  void ExpectCleanEnd() {
    DWORD code = 1;
    ASSERT_TRUE(process_.WaitExit(code)) << "the installer did not end";
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(WorkFolders().empty()) << "the work folder was left behind";
  }

  Workspace workspace_;
  fs::path installer_;
  probe::Process process_;
  InstallerWindow window_;
};

TEST_F(ReadyScreen, WithoutLicenceShowsPictureInstallAndCancelAtTheirPlaces) {
  Start(BasicPlan(workspace_, "Night Saver"));
  Screenshot("ready");

  const RECT window = probe::WindowRectOf(window_.form);
  const RECT client = probe::ClientRectOf(window_.form);
  EXPECT_EQ(Width(window), kArrangedWidth);
  EXPECT_EQ(Height(client), kClientHeightPlain);
  ExpectCentred(window_.form);
  EXPECT_EQ(probe::FocusOf(window_.form), window_.installBtn) << "Install has the focus";
  EXPECT_EQ(probe::StyleOf(window_.form) & WS_THICKFRAME, 0) << "must not be resizable";
  EXPECT_EQ(probe::StyleOf(window_.form) & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
  EXPECT_NE(probe::ExStyleOf(window_.form) & WS_EX_TOPMOST, 0) << "stays on top";
  EXPECT_NE(probe::TextOf(window_.form).find(L"Night Saver"), std::wstring::npos);
  // The application's title (its taskbar text) is the window's caption.
  const auto owners = probe::FindTopWindows(process_.id(), L"LvApplication", L"", false);
  ASSERT_EQ(owners.size(), 1u);
  EXPECT_EQ(probe::TextOf(owners[0]), probe::TextOf(window_.form));

  ASSERT_NE(window_.installBtn, nullptr);
  EXPECT_EQ(probe::TextOf(window_.installBtn), kReadyInstall);
  EXPECT_TRUE(probe::IsVisible(window_.installBtn));
  EXPECT_TRUE(probe::IsEnabled(window_.installBtn));
  const RECT install = probe::RectInParent(window_.installBtn);
  const RECT cancel = probe::RectInParent(window_.cancelBtn);
  EXPECT_EQ(Width(install), 80);
  EXPECT_EQ(cancel.left - install.right, kButtonGap);
  EXPECT_TRUE(probe::IsVisible(window_.cancelBtn));
  // Both buttons stand at the right edge of the window.
  RECT cancelOnScreen = probe::WindowRectOf(window_.cancelBtn);
  POINT clientRight{client.right, 0};
  ClientToScreen(window_.form, &clientRight);
  EXPECT_LE(clientRight.x - cancelOnScreen.right, 4);

  ASSERT_NE(window_.doneBtn, nullptr) << "the close button exists, hidden";
  EXPECT_FALSE(probe::IsVisible(window_.doneBtn));
  ASSERT_NE(window_.status, nullptr);
  EXPECT_FALSE(probe::IsVisible(window_.status)) << "no status text before the first step";
  ASSERT_NE(window_.license, nullptr);
  EXPECT_FALSE(probe::IsVisible(window_.license));
  ASSERT_NE(window_.progress, nullptr);
  EXPECT_EQ(SendMessageW(window_.progress, PBM_GETPOS, 0, 0), 0);
  EXPECT_EQ(SendMessageW(window_.progress, PBM_GETRANGE, FALSE, 0), 10);
  EXPECT_EQ(probe::RectInParent(window_.progress).right, cancel.right) << "the bar ends with the buttons";

  // The picture fills the content area (red with a blue share; never white or grey).
  const COLORREF pixel = ContentPixel(window_.form);
  EXPECT_GT(GetRValue(pixel), 150) << std::hex << pixel;
  EXPECT_LT(GetGValue(pixel), 60) << std::hex << pixel;

  // The preparing window has gone from the screen.
  for (HWND preparing : probe::FindTopWindows(process_.id(), kPreparingClass, L"", true)) {
    const RECT r = probe::WindowRectOf(preparing);
    EXPECT_LT(r.right, 0) << "the preparing window is still on the screen";
    EXPECT_EQ(probe::TextOf(preparing), L"setup.exe");
  }

  // Dragging the corner does not change the size of a single-border window.
  probe::DragCorner(window_.form, 60, 60);
  EXPECT_EQ(Height(probe::ClientRectOf(window_.form)), kClientHeightPlain);

  CancelAndExpectCleanEnd();
}

TEST_F(ReadyScreen, WithLicenceIsSizeableWithMinimumAndShowsTheText) {
  lvpack::PackagePlan plan = BasicPlan(workspace_, "Night Saver");
  plan.showLicense = true;
  std::string licence;
  for (int line = 1; line <= 40; ++line)
    licence += "\x8E\x67\x97\x70\x8B\x96\x91\xF8 line " + std::to_string(line) + "\r\n";  // 使用許諾
  plan.slots[payload::kSlotLicense].file = workspace_.Write("license.txt", licence);
  plan.slots[payload::kSlotLicense].name = "license.txt";
  Start(plan);
  Screenshot("ready-licence");

  EXPECT_EQ(Width(probe::WindowRectOf(window_.form)), kArrangedWidth);
  EXPECT_EQ(Height(probe::ClientRectOf(window_.form)), kClientHeightLicense);
  ExpectCentred(window_.form);
  EXPECT_NE(probe::StyleOf(window_.form) & WS_THICKFRAME, 0) << "must be resizable";

  ASSERT_NE(window_.installBtn, nullptr);
  EXPECT_EQ(probe::TextOf(window_.installBtn), kReadyAccept);
  const RECT install = probe::RectInParent(window_.installBtn);
  const RECT cancel = probe::RectInParent(window_.cancelBtn);
  EXPECT_EQ(Width(install), 115);
  EXPECT_EQ(cancel.left - install.right, kButtonGap);

  ASSERT_NE(window_.license, nullptr);
  EXPECT_TRUE(probe::IsVisible(window_.license));
  const std::wstring shown = probe::TextOf(window_.license);
  EXPECT_NE(shown.find(L"使用許諾 line 1\r\n"), std::wstring::npos);
  EXPECT_NE(shown.find(L"使用許諾 line 40"), std::wstring::npos);
  EXPECT_NE(probe::StyleOf(window_.license) & WS_VSCROLL, 0);
  const int licenceHeight = Height(probe::WindowRectOf(window_.license));
  EXPECT_EQ(licenceHeight, 103);

  // Smaller than the minimum is refused.
  probe::DragCorner(window_.form, -150, -150);
  const RECT shrunk = probe::WindowRectOf(window_.form);
  EXPECT_GE(Width(shrunk), 359);
  EXPECT_GE(Height(shrunk), 340);

  // Larger: only the licence box grows; the buttons stay at the bottom right.
  const RECT before = probe::WindowRectOf(window_.form);
  const int licenceBefore = Height(probe::WindowRectOf(window_.license));
  const RECT buttonsBefore = probe::WindowRectOf(window_.cancelBtn);
  const int progressBefore = Width(probe::WindowRectOf(window_.progress));
  probe::DragCorner(window_.form, 80, 120);
  const RECT after = probe::WindowRectOf(window_.form);
  ASSERT_GT(Height(after), Height(before)) << "the window could not be enlarged";
  const int grownBy = Height(after) - Height(before);
  const int widenedBy = Width(after) - Width(before);
  // The content keeps its place and height; the licence box takes the space down to
  // 2 + 4 pixels above the 63-pixel button panel, never less than its 103 pixels.
  const int clientHeight = Height(probe::ClientRectOf(window_.form));
  EXPECT_EQ(Height(probe::WindowRectOf(window_.license)),
            std::max(103, clientHeight - 63 - 2 - (151 + 4)));
  EXPECT_GE(Height(probe::WindowRectOf(window_.license)), licenceBefore + grownBy - 10);
  EXPECT_EQ(probe::RectInParent(window_.license).top, 151 + 2);
  const RECT buttonsAfter = probe::WindowRectOf(window_.cancelBtn);
  EXPECT_EQ(buttonsAfter.top - buttonsBefore.top, grownBy);
  EXPECT_EQ(buttonsAfter.left - buttonsBefore.left, widenedBy);
  EXPECT_EQ(Width(probe::WindowRectOf(window_.progress)) - progressBefore, widenedBy)
      << "the progress bar widens with the window";
  Screenshot("enlarged");

  // The keyboard: Install has the focus; Tab goes on to Cancel, the licence text
  // and back to Install, Shift+Tab the other way; Enter presses the focused button.
  probe::Activate(window_.form);
  EXPECT_EQ(probe::FocusOf(window_.form), window_.installBtn);
  probe::PressKey(VK_TAB);
  EXPECT_EQ(probe::FocusOf(window_.form), window_.cancelBtn);
  Screenshot("focus-on-cancel");
  probe::PressKey(VK_TAB);
  EXPECT_EQ(probe::FocusOf(window_.form), window_.license);
  probe::PressKey(VK_TAB);
  EXPECT_EQ(probe::FocusOf(window_.form), window_.installBtn);
  probe::PressKey(VK_TAB, true);
  EXPECT_EQ(probe::FocusOf(window_.form), window_.license);
  probe::PressKey(VK_TAB, true);
  ASSERT_EQ(probe::FocusOf(window_.form), window_.cancelBtn) << "Shift+Tab goes round too";
  probe::PressKey(VK_RETURN);
  ExpectCleanEnd();
}

TEST_F(ReadyScreen, JpegPictureIsShown) {
  lvpack::PackagePlan plan = BasicPlan(workspace_, "Night Saver");
  plan.contentKind = payload::kContentJpeg;
  plan.slots[payload::kSlotPresentation].file = workspace_.Write("picture.jpg", MakeJpeg());
  Start(plan);
  Screenshot("jpeg");
  const COLORREF pixel = ContentPixel(window_.form);
  EXPECT_GT(GetGValue(pixel), 150) << std::hex << pixel;
  EXPECT_LT(GetRValue(pixel), 80) << std::hex << pixel;
  CancelAndExpectCleanEnd();
}

TEST_F(ReadyScreen, MovieIsPlayedInTheContentArea) {
  lvpack::PackagePlan plan = BasicPlan(workspace_, "Night Saver");
  plan.contentKind = payload::kContentMovie;
  const fs::path movie = PathFromEnvironment("LV_E2E_SWF");
  if (!fs::exists(movie)) GTEST_SKIP() << "no sample movie on this machine";
  plan.slots[payload::kSlotPresentation].file = movie;
  Start(plan);
  Screenshot("movie");
  EXPECT_TRUE(probe::IsEnabled(window_.installBtn));
  EXPECT_EQ(probe::TextOf(window_.installBtn), kReadyInstall);
  CancelAndExpectCleanEnd();
}

TEST_F(ReadyScreen, UnknownContentKindShowsEmptyWhiteArea) {
  lvpack::PackagePlan plan = BasicPlan(workspace_, "Night Saver");
  plan.contentKind = 5;
  Start(plan);
  Screenshot("unknown-kind");
  EXPECT_EQ(ContentPixel(window_.form), RGB(255, 255, 255));
  EXPECT_TRUE(probe::IsEnabled(window_.installBtn));
  CancelAndExpectCleanEnd();
}

TEST_F(ReadyScreen, DamagedPictureShowsCorruptFileBoxThenTheWindow) {
  lvpack::PackagePlan plan = BasicPlan(workspace_, "Night Saver");
  Bytes damaged = MakeBmp(200, 100);
  damaged.resize(30);  // the header is cut off
  plan.slots[payload::kSlotPresentation].file = workspace_.Write("picture.bmp", damaged);
  installer_ = BuildInstaller(workspace_, plan, "setup.exe");
  ASSERT_TRUE(process_.Start(installer_.wstring()));

  HWND box = probe::WaitForBox(process_.id(), L"エラー");
  ASSERT_NE(box, nullptr) << "no error box for the damaged picture";
  Screenshot("corrupt-box");
  EXPECT_EQ(probe::BoxText(box), L"CorruptFile: ");
  EXPECT_EQ(probe::BoxButtons(box), std::vector<std::wstring>{L"中止"});
  ASSERT_TRUE(probe::AnswerBox(box, L"中止"));

  window_ = WaitForInstaller(process_);
  ASSERT_NE(window_.form, nullptr);
  Screenshot("empty-picture");
  EXPECT_NE(ContentPixel(window_.form), RGB(255, 255, 255));
  EXPECT_TRUE(probe::IsEnabled(window_.installBtn)) << "the installation stays possible";
  CancelAndExpectCleanEnd();
}

TEST_F(ReadyScreen, RightClickDoesNothingAnywhere) {
  lvpack::PackagePlan plan = BasicPlan(workspace_, "Night Saver");
  plan.showLicense = true;
  plan.slots[payload::kSlotLicense].file = workspace_.Write("license.txt", std::string("terms\r\n"));
  plan.slots[payload::kSlotLicense].name = "license.txt";
  Start(plan);
  for (HWND target : {window_.license, window_.installBtn, window_.form}) {
    probe::RightClick(target);
    probe::Pause(400);
    EXPECT_FALSE(probe::AnyPopupMenuVisible()) << "a menu opened on " << probe::ClassOf(target).size();
    EXPECT_TRUE(probe::FindTopWindows(process_.id(), L"#32770", L"", true).empty());
  }
  Screenshot("after-right-clicks");
  EXPECT_TRUE(process_.Running());
  CancelAndExpectCleanEnd();
}

// Every way to close the program takes the close box's path: the program ends
// and its work folder goes. The taskbar button's Close and a task manager's
// first "end task" step reach the hidden window that carries the taskbar text.
TEST_F(ReadyScreen, EveryWayToCloseEndsTheProgramAndRemovesTheWorkFolder) {
  struct Way {
    const char* name;
    void (*close)(DWORD process, HWND form);
  };
  const Way ways[] = {
      {"close box", [](DWORD, HWND form) { probe::RequestClose(form); }},
      {"Alt+F4", [](DWORD, HWND form) { probe::Activate(form); probe::PressKey(VK_F4, false, true); }},
      {"Esc", [](DWORD, HWND form) { probe::Activate(form); probe::PressKey(VK_ESCAPE); }},
      {"taskbar Close",
       [](DWORD process, HWND) { PostMessageW(TaskbarWindow(process), WM_SYSCOMMAND, SC_CLOSE, 0); }},
      {"WM_CLOSE to the taskbar window",
       [](DWORD process, HWND) { probe::RequestClose(TaskbarWindow(process)); }},
      {"WM_CLOSE to the preparing window",
       [](DWORD process, HWND) {
         const auto found = probe::FindTopWindows(process, kPreparingClass, L"", false);
         if (!found.empty()) probe::RequestClose(found.front());
       }},
  };
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    Start(BasicPlan(workspace_, "Night Saver"));
    EXPECT_EQ(WorkFolders().size(), 1u) << "the work folder exists while the window is open";
    way.close(process_.id(), window_.form);
    DWORD code = 1;
    EXPECT_TRUE(process_.WaitExit(code)) << "the program did not end";
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(WorkFolders().empty());
  }
}

// lvprobe's own command: both windows photographed, the installer closed by Cancel.
TEST_F(ReadyScreen, LvprobeShotsPhotographsBothWindows) {
  installer_ = BuildInstaller(workspace_, BasicPlan(workspace_, "Night Saver"), "setup.exe");
  const fs::path folder = workspace_.folder() / "shots";
  fs::create_directories(folder);
  probe::Process lvprobe;
  ASSERT_TRUE(lvprobe.Start(PathFromEnvironment("LV_E2E_LVPROBE").wstring(), {},
                            {L"shots", installer_.wstring(), folder.wstring()}));
  DWORD code = 99;
  ASSERT_TRUE(lvprobe.WaitExit(code, 60000));
  EXPECT_EQ(code, 0u);
  EXPECT_GT(fs::file_size(folder / "preparing.bmp"), 1000u);
  EXPECT_GT(fs::file_size(folder / "installer.bmp"), 1000u);
  EXPECT_TRUE(WorkFolders().empty());
}

}  // namespace
}  // namespace e2e
