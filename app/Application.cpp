#include "app/Application.h"

#include "app/Window.h"

namespace app {

namespace {
HWND g_appWindow = nullptr;
HWND g_mainWindow = nullptr;
MessageFilter g_filter;
std::function<void()> g_closeHandler;
bool g_terminated = false;
int g_exitCode = 0;

LRESULT CALLBACK ApplicationProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    // Left to DefWindowProc, this would destroy the window and with it both
    // forms, bypassing the refusal while installing and the work folder's removal.
    try {
      if (g_closeHandler)
        g_closeHandler();
      else
        TerminateApplication();
    } catch (...) {
      // Nothing may unwind through the system's dispatch.
    }
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

BOOL CALLBACK MinimizeOwnWindow(HWND window, LPARAM processId) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == static_cast<DWORD>(processId) && window != g_appWindow && IsWindowVisible(window))
    ShowWindow(window, SW_MINIMIZE);
  return TRUE;
}

// Dispatches one message unless the filter handled it.
void Deliver(MSG& message) {
  bool handled = false;
  if (g_filter) g_filter(message, handled);
  if (handled) return;
  TranslateMessage(&message);
  DispatchMessageW(&message);
}
}  // namespace

bool InitApplication(const std::wstring& title) {
  if (g_appWindow != nullptr) return true;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = ApplicationProc;
  wc.hInstance = ui::ModuleInstance();
  wc.hIcon = LoadIconW(ui::ModuleInstance(), MAKEINTRESOURCEW(1));
  wc.lpszClassName = L"LvApplication";
  RegisterClassExW(&wc);
  // A zero-sized, shown popup: it owns the forms and gives the taskbar button its text.
  g_appWindow = CreateWindowExW(0, L"LvApplication", title.c_str(),
                                WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0, 0, 0, nullptr,
                                nullptr, ui::ModuleInstance(), nullptr);
  if (g_appWindow != nullptr) ShowWindow(g_appWindow, SW_SHOWNOACTIVATE);
  return g_appWindow != nullptr;
}

HWND ApplicationWindow() { return g_appWindow; }

void SetApplicationTitle(const std::wstring& title) {
  if (g_appWindow != nullptr) SetWindowTextW(g_appWindow, title.c_str());
}

std::wstring ApplicationTitle() {
  ui::Window window(g_appWindow);
  return window.Text();
}

void SetCloseHandler(std::function<void()> handler) { g_closeHandler = std::move(handler); }

void SetMessageFilter(MessageFilter filter) { g_filter = std::move(filter); }

void ProcessMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      g_terminated = true;
      // Leave the quit for the loop that owns it.
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    Deliver(message);
  }
}

void HandleMessage() {
  MSG message;
  if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    WaitMessage();
    return;
  }
  if (message.message == WM_QUIT) {
    g_terminated = true;
    PostQuitMessage(static_cast<int>(message.wParam));
    return;
  }
  Deliver(message);
}

int RunMessageLoop() {
  if (!g_terminated && g_mainWindow != nullptr && IsWindow(g_mainWindow))
    ShowWindow(g_mainWindow, SW_SHOWNOACTIVATE);
  MSG message;
  while (!g_terminated) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0 || got == -1) break;
    Deliver(message);
  }
  return g_exitCode;
}

void TerminateApplication() {
  if (!g_terminated) PostQuitMessage(0);
  g_terminated = true;
}

bool Terminated() { return g_terminated; }

void SetExitCode(int code) { g_exitCode = code; }
int ExitCode() { return g_exitCode; }

void BringApplicationToFront() {
  HWND target = GetLastActivePopup(g_appWindow);
  if (target == nullptr || target == g_appWindow || !IsWindowVisible(target)) return;
  if (IsIconic(g_appWindow)) ShowWindow(g_appWindow, SW_RESTORE);
  SetForegroundWindow(target);
}

void MinimizeApplication() {
  // The forms are owned popups: minimising each visible one leaves the desktop free.
  EnumWindows(&MinimizeOwnWindow, static_cast<LPARAM>(GetCurrentProcessId()));
}

bool ApplicationActive() {
  HWND foreground = GetForegroundWindow();
  if (foreground == nullptr) return false;
  DWORD process = 0;
  GetWindowThreadProcessId(foreground, &process);
  return process == GetCurrentProcessId();
}

void SetMainWindow(HWND window) { g_mainWindow = window; }

}  // namespace app
