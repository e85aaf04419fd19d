#include "messages/MessageBox.h"

#include <windows.h>

namespace {

BoxResponder g_responder;

// The captions our boxes must show whatever language the system speaks.
struct ButtonCaption {
  int id;
  const wchar_t* text;
};
const ButtonCaption kAbortCaptions[] = {{IDOK, L"中止"}};
const ButtonCaption kOkCancelCaptions[] = {{IDOK, L"OK"}, {IDCANCEL, L"キャンセル"}};
const ButtonCaption kYesNoCaptions[] = {{IDYES, L"はい"}, {IDNO, L"いいえ"}};

const ButtonCaption* g_captions = nullptr;
size_t g_captionCount = 0;
HHOOK g_hook = nullptr;

// Re-captions the system box's buttons as soon as the box becomes active.
LRESULT CALLBACK CaptionHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && g_captions != nullptr) {
    HWND box = reinterpret_cast<HWND>(wParam);
    for (size_t i = 0; i < g_captionCount; ++i)
      SetDlgItemTextW(box, g_captions[i].id, g_captions[i].text);
    g_captions = nullptr;  // only the first activation is our box
  }
  return CallNextHookEx(g_hook, code, wParam, lParam);
}

class ScopedCaptionHook {
 public:
  template <size_t N>
  explicit ScopedCaptionHook(const ButtonCaption (&captions)[N]) {
    g_captions = captions;
    g_captionCount = N;
    g_hook = SetWindowsHookExW(WH_CBT, CaptionHook, nullptr, GetCurrentThreadId());
  }
  ~ScopedCaptionHook() {
    if (g_hook != nullptr) UnhookWindowsHookEx(g_hook);
    g_hook = nullptr;
    g_captions = nullptr;
  }
  ScopedCaptionHook(const ScopedCaptionHook&) = delete;
  ScopedCaptionHook& operator=(const ScopedCaptionHook&) = delete;
};

UINT IconStyle(BoxKind kind) {
  switch (kind) {
    case BoxKind::Error: return MB_ICONERROR;
    case BoxKind::Information: return MB_ICONINFORMATION;
    case BoxKind::Confirmation: return MB_ICONQUESTION;
  }
  return 0;
}

BoxOwnerSource g_ownerSource = nullptr;

// The box belongs to the application: owned by the window the program names.
HWND BoxOwner() {
  if (g_ownerSource != nullptr) {
    HWND owner = g_ownerSource();
    if (owner != nullptr && IsWindow(owner)) return owner;
  }
  return GetActiveWindow();
}

// A box owned by a topmost window is topmost too, so that it never hides behind it.
UINT OwnerStyle(HWND owner) {
  return owner != nullptr && (GetWindowLongW(owner, GWL_EXSTYLE) & WS_EX_TOPMOST) ? MB_TOPMOST : 0;
}

}  // namespace

std::wstring BoxTitle(BoxKind kind) {
  switch (kind) {
    case BoxKind::Error: return L"エラー";
    case BoxKind::Information: return L"Information";
    case BoxKind::Confirmation: return L"確認";
  }
  return std::wstring();
}

void SetBoxResponder(BoxResponder responder) { g_responder = std::move(responder); }

void SetBoxOwnerSource(BoxOwnerSource source) { g_ownerSource = source; }

BoxAnswer ShowMessageBox(BoxKind kind, const std::wstring& text, BoxButtons buttons) {
  if (g_responder) return g_responder(kind, text, buttons);

  const std::wstring title = BoxTitle(kind);
  HWND owner = BoxOwner();
  const UINT style = IconStyle(kind) | MB_APPLMODAL | MB_SETFOREGROUND | OwnerStyle(owner);
  switch (buttons) {
    case BoxButtons::Abort: {
      ScopedCaptionHook hook(kAbortCaptions);
      MessageBoxW(owner, text.c_str(), title.c_str(), style | MB_OK);
      return BoxAnswer::Abort;
    }
    case BoxButtons::OkCancel: {
      ScopedCaptionHook hook(kOkCancelCaptions);
      const int answer = MessageBoxW(owner, text.c_str(), title.c_str(), style | MB_OKCANCEL);
      return answer == IDOK ? BoxAnswer::Ok : BoxAnswer::Cancel;
    }
    case BoxButtons::YesNo: {
      ScopedCaptionHook hook(kYesNoCaptions);
      const int answer = MessageBoxW(owner, text.c_str(), title.c_str(), style | MB_YESNO);
      return answer == IDYES ? BoxAnswer::Yes : BoxAnswer::No;
    }
  }
  return BoxAnswer::Abort;
}
