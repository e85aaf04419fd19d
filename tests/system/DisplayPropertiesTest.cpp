// Opening and closing the display properties for real: the stand-in applet
// desk.cpl is put into the system folder for these tests and removed after.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "system/LMV_FileUtils.h"
#include "system/SaverRegistration.h"
#include "tests/system/ProfileState.h"
#include "tests/system/TestFolders.h"

using testfs::Exists;
using testfs::ScratchFolder;
using testfs::WriteText;

namespace {

const wchar_t kTitle[] = L"画面のプロパティ";
constexpr int kSaverNameItem = 101;  // the stand-in's text naming the current screen saver

std::wstring ModuleFolder() {
  wchar_t buffer[MAX_PATH + 1];
  DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH + 1);
  std::wstring path(buffer, length);
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

HWND WaitForWindow(const wchar_t* title, DWORD milliseconds) {
  for (DWORD waited = 0; waited < milliseconds; waited += 20) {
    if (HWND window = FindWindowW(nullptr, title)) return window;
    Sleep(20);
  }
  return nullptr;
}

class DisplayProperties : public ::testing::Test {
 protected:
  void SetUp() override {
    applet_ = GetSystemFolder() + L"desk.cpl";
    // An applet already there (another test's) is put aside and back.
    if (Exists(applet_)) {
      ASSERT_TRUE(MoveFileExW(applet_.c_str(), (applet_ + L".lvsaved").c_str(),
                              MOVEFILE_REPLACE_EXISTING));
      setAside_ = true;
    }
    ASSERT_TRUE(CopyFileW((ModuleFolder() + L"desk.cpl").c_str(), applet_.c_str(), TRUE));
  }
  void TearDown() override {
    CloseDisplayProperties();
    for (int i = 0; i < 100 && !DeleteFileW(applet_.c_str()); ++i) Sleep(20);
    if (setAside_) MoveFileW((applet_ + L".lvsaved").c_str(), applet_.c_str());
  }
  bool setAside_ = false;
  testfs::SavedScreenSaverSetting saved_;
  ScratchFolder dir_{L"desk"};
  std::wstring applet_;
};

TEST_F(DisplayProperties, OpensOnTheCurrentScreenSaverAndClosesByCancel) {
  const std::wstring program = dir_.path() + L"Night Saver.scr";
  WriteText(program, "program");
  ASSERT_EQ(SetCurrentScreenSaver(program), rc::kOk);

  OpenDisplayProperties(true);
  HWND window = WaitForWindow(kTitle, 10000);
  ASSERT_NE(window, nullptr) << "the panel did not open";
  wchar_t shown[MAX_PATH + 1] = L"";
  GetDlgItemTextW(window, kSaverNameItem, shown, MAX_PATH + 1);
  EXPECT_EQ(std::wstring(shown), testfs::ProfileScreenSaver());

  // Its preview holds the program: it cannot be replaced until the window closes.
  EXPECT_EQ(DeleteFileRetry(program, 3), rc::kSaverOverwriteFailed);
  CloseDisplayProperties();
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(DeleteFileRetry(program, 1000), rc::kOk);
}

TEST_F(DisplayProperties, CursorShownBeforeComesBack) {
  HCURSOR cross = LoadCursorW(nullptr, IDC_CROSS);
  SetCursor(cross);
  OpenDisplayProperties(true);
  EXPECT_EQ(GetCursor(), cross);
  EXPECT_NE(WaitForWindow(kTitle, 10000), nullptr);
}

TEST_F(DisplayProperties, NotOfferedStartsNothingAndKeepsTheCursor) {
  HCURSOR cross = LoadCursorW(nullptr, IDC_CROSS);
  SetCursor(cross);
  OpenDisplayProperties(false);
  EXPECT_EQ(GetCursor(), cross);
  EXPECT_EQ(WaitForWindow(kTitle, 1500), nullptr);
}

// The English title is the second choice; this window plays that panel.
LRESULT CALLBACK EnglishPanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
    DestroyWindow(window);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

TEST(CloseDisplayPropertiesTitles, EnglishTitleIsClosedByItsCancelButton) {
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = EnglishPanelProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"LvEnglishPanel";
  RegisterClassW(&windowClass);
  HWND panel = CreateWindowW(L"LvEnglishPanel", L"Display Properties", WS_OVERLAPPEDWINDOW, 0, 0,
                             200, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(panel, nullptr);
  HWND cancel = CreateWindowW(L"BUTTON", L"Cancel", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10,
                              10, 80, 24, panel, reinterpret_cast<HMENU>(IDCANCEL),
                              GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(cancel, nullptr);
  CloseDisplayProperties();
  EXPECT_FALSE(IsWindow(panel));
  if (IsWindow(panel)) DestroyWindow(panel);
}

}  // namespace
