#include "app/PreparingWindow.h"

#include "app/Application.h"
#include "app/InstallerForm.h"

TpreparingInstallWnd* preparingInstallWnd = nullptr;

namespace {
constexpr int kClientWidth = 244;
constexpr int kClientHeight = 84;
constexpr int kOffScreen = -3000;
constexpr DWORD kHalfSecond = 500;
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
}  // namespace

TpreparingInstallWnd::~TpreparingInstallWnd() = default;

bool TpreparingInstallWnd::Create(HWND owner, const std::wstring& caption) {
  RECT frame{0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&frame, kStyle, FALSE, 0);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  HICON icon = LoadIconW(ui::ModuleInstance(), MAKEINTRESOURCEW(1));
  if (!CreateCustom(L"TpreparingInstallWnd", 0, kStyle, ui::Bounds{left, top, width, height}, owner,
                    caption, nullptr, icon))
    return false;
  Label1.Create(hwnd_, ui::Bounds{0, 0, kClientWidth, kClientHeight}, L"インストールの準備中...",
                true);
  Label1.SetFont(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
  FormCreate();
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  UpdateWindow(hwnd_);
  return true;
}

void TpreparingInstallWnd::SetPreparingText(const std::wstring& text) {
  Label1.SetText(text);
  app::ProcessMessages();
}

void TpreparingInstallWnd::ParkOffScreen() {
  SetWindowPos(hwnd_, nullptr, kOffScreen, kOffScreen, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TpreparingInstallWnd::WaitHalfSecond() { Sleep(kHalfSecond); }

LRESULT TpreparingInstallWnd::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    // Closing the main window ends the application the way the close box does,
    // so that the work folder goes too.
    if (InstallerForm == nullptr)
      app::TerminateApplication();
    else
      InstallerForm->RequestClose();
    return 0;
  }
  return Default(message, wParam, lParam);
}
