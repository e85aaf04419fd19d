// Boxes answered by script, and the real system box re-captioned and closed from outside.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "messages/MessageBox.h"

namespace {

class ScriptedBoxes : public ::testing::Test {
 protected:
  void TearDown() override { SetBoxResponder(nullptr); }
};

TEST_F(ScriptedBoxes, ResponderSeesKindTextAndButtons) {
  BoxKind seenKind{};
  std::wstring seenText;
  BoxButtons seenButtons{};
  SetBoxResponder([&](BoxKind k, const std::wstring& t, BoxButtons b) {
    seenKind = k;
    seenText = t;
    seenButtons = b;
    return BoxAnswer::Cancel;
  });
  EXPECT_EQ(ShowMessageBox(BoxKind::Confirmation, L"質問", BoxButtons::OkCancel), BoxAnswer::Cancel);
  EXPECT_EQ(seenKind, BoxKind::Confirmation);
  EXPECT_EQ(seenText, L"質問");
  EXPECT_EQ(seenButtons, BoxButtons::OkCancel);
}

TEST(BoxTitles, AreTheToolkitTitles) {
  EXPECT_EQ(BoxTitle(BoxKind::Error), L"エラー");
  EXPECT_EQ(BoxTitle(BoxKind::Information), L"Information");
  EXPECT_EQ(BoxTitle(BoxKind::Confirmation), L"確認");
}

// Reads the real box from a timer while it is open, then presses its button.
struct BoxProbe {
  std::wstring button1;
  std::wstring button2;
  bool found = false;
  int pressId = 0;
};
BoxProbe* g_probe = nullptr;

VOID CALLBACK ProbeTimer(HWND, UINT, UINT_PTR id, DWORD) {
  HWND box = FindWindowW(L"#32770", nullptr);
  if (box == nullptr) return;
  KillTimer(nullptr, id);
  wchar_t text[64] = {};
  g_probe->found = true;
  if (GetDlgItemTextW(box, IDOK, text, 64) > 0) g_probe->button1 = text;
  else if (GetDlgItemTextW(box, IDYES, text, 64) > 0) g_probe->button1 = text;
  if (GetDlgItemTextW(box, IDCANCEL, text, 64) > 0) g_probe->button2 = text;
  else if (GetDlgItemTextW(box, IDNO, text, 64) > 0) g_probe->button2 = text;
  SendMessageW(GetDlgItem(box, g_probe->pressId), BM_CLICK, 0, 0);
}

TEST(SystemBox, ErrorBoxHasOneAbortButton) {
  BoxProbe probe;
  probe.pressId = IDOK;
  g_probe = &probe;
  SetTimer(nullptr, 0, 100, ProbeTimer);
  EXPECT_EQ(ShowMessageBox(BoxKind::Error, L"テスト", BoxButtons::Abort), BoxAnswer::Abort);
  EXPECT_TRUE(probe.found);
  EXPECT_EQ(probe.button1, L"中止");
  EXPECT_EQ(probe.button2, L"");
}

TEST(SystemBox, QuestionButtonsAreJapaneseAndAnswerIsReturned) {
  BoxProbe probe;
  probe.pressId = IDNO;
  g_probe = &probe;
  SetTimer(nullptr, 0, 100, ProbeTimer);
  EXPECT_EQ(ShowMessageBox(BoxKind::Confirmation, L"開きますか？", BoxButtons::YesNo), BoxAnswer::No);
  EXPECT_EQ(probe.button1, L"はい");
  EXPECT_EQ(probe.button2, L"いいえ");
}

}  // namespace
