// The program entry when a window cannot be made: an error box and an exit code,
// never a program left running without a window to end it. The creation is
// refused by a hook, the way a system out of window resources refuses it.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "app/ProgramEntry.h"
#include "messages/MessageBox.h"
#include "system/ResultCodes.h"

namespace {

std::wstring g_refusedClass;

LRESULT CALLBACK RefuseClass(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND) {
    wchar_t name[64] = {};
    GetClassNameW(reinterpret_cast<HWND>(wParam), name, 64);
    if (g_refusedClass == name) return 1;  // the window is not created
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(ProgramEntry, AWindowThatCannotBeMadeEndsTheProgramWithABoxAndItsCode) {
  for (const wchar_t* refused : {L"TpreparingInstallWnd", L"TInstallerForm"}) {
    SCOPED_TRACE(std::string(refused, refused + wcslen(refused)));
    g_refusedClass = refused;
    std::vector<std::wstring> boxes;
    SetBoxResponder([&](BoxKind kind, const std::wstring& text, BoxButtons) {
      EXPECT_EQ(kind, BoxKind::Error);
      boxes.push_back(text);
      return BoxAnswer::Abort;
    });
    HHOOK hook = SetWindowsHookExW(WH_CBT, RefuseClass, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    const int exitCode = RunInstallerProgram();
    UnhookWindowsHookEx(hook);
    SetBoxResponder(nullptr);
    EXPECT_EQ(exitCode, rc::kWindowNotCreated);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], L"インストーラが破損していますLumivaneエラー = -551. ");
  }
}

}  // namespace
