#include "app/Window.h"

#include <vector>

namespace ui {

HINSTANCE ModuleInstance() { return GetModuleHandleW(nullptr); }

namespace {
HCURSOR g_screenCursor = nullptr;
}

void SetScreenCursor(HCURSOR cursor) {
  g_screenCursor = cursor;
  SetCursor(cursor != nullptr ? cursor : LoadCursorW(nullptr, IDC_ARROW));
}

HCURSOR ScreenCursor() { return g_screenCursor; }

void Window::SetText(const std::wstring& text) {
  if (hwnd_ != nullptr) SetWindowTextW(hwnd_, text.c_str());
}

std::wstring Window::Text() const {
  if (hwnd_ == nullptr) return std::wstring();
  const int length = GetWindowTextLengthW(hwnd_);
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(hwnd_, buffer.data(), length + 1);
  return std::wstring(buffer.data(), copied > 0 ? static_cast<size_t>(copied) : 0);
}

void Window::Show(bool visible) {
  if (hwnd_ != nullptr) ShowWindow(hwnd_, visible ? SW_SHOW : SW_HIDE);
}

bool Window::IsVisible() const {
  return hwnd_ != nullptr && (GetWindowLongW(hwnd_, GWL_STYLE) & WS_VISIBLE) != 0;
}

void Window::Enable(bool enabled) {
  if (hwnd_ != nullptr) EnableWindow(hwnd_, enabled ? TRUE : FALSE);
}

bool Window::IsEnabled() const { return hwnd_ != nullptr && IsWindowEnabled(hwnd_) != FALSE; }

Bounds Window::GetBounds() const {
  Bounds bounds;
  if (hwnd_ == nullptr) return bounds;
  RECT rect{};
  GetWindowRect(hwnd_, &rect);
  HWND parent = (GetWindowLongW(hwnd_, GWL_STYLE) & WS_CHILD) != 0 ? GetParent(hwnd_) : nullptr;
  if (parent != nullptr) MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
  bounds.left = rect.left;
  bounds.top = rect.top;
  bounds.width = rect.right - rect.left;
  bounds.height = rect.bottom - rect.top;
  return bounds;
}

void Window::SetBounds(const Bounds& bounds) {
  if (hwnd_ == nullptr) return;
  SetWindowPos(hwnd_, nullptr, bounds.left, bounds.top, bounds.width, bounds.height,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void Window::SetLeft(int left) {
  Bounds bounds = GetBounds();
  bounds.left = left;
  SetBounds(bounds);
}

void Window::SetWidth(int width) {
  Bounds bounds = GetBounds();
  bounds.width = width;
  SetBounds(bounds);
}

void Window::SetHeight(int height) {
  Bounds bounds = GetBounds();
  bounds.height = height;
  SetBounds(bounds);
}

int Window::ClientWidth() const {
  RECT rect{};
  if (hwnd_ != nullptr) GetClientRect(hwnd_, &rect);
  return rect.right - rect.left;
}

int Window::ClientHeight() const {
  RECT rect{};
  if (hwnd_ != nullptr) GetClientRect(hwnd_, &rect);
  return rect.bottom - rect.top;
}

void Window::SetFont(HFONT font) {
  if (hwnd_ != nullptr) SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void Window::Repaint() {
  if (hwnd_ == nullptr) return;
  InvalidateRect(hwnd_, nullptr, TRUE);
  UpdateWindow(hwnd_);
}

void Window::BringToFront() {
  if (hwnd_ != nullptr)
    SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Window::Focus() {
  if (hwnd_ != nullptr) SetFocus(hwnd_);
}

void Window::Destroy() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
  hwnd_ = nullptr;
}

// --- CustomWindow -------------------------------------------------------------

Window::~Window() = default;

CustomWindow::~CustomWindow() {
  // The object goes away first: no message may reach it afterwards.
  if (hwnd_ != nullptr) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
    hwnd_ = nullptr;
  }
}

bool CustomWindow::CreateCustom(const wchar_t* className, DWORD exStyle, DWORD style,
                                const Bounds& bounds, HWND parent, const std::wstring& text,
                                HBRUSH background, HICON icon) {
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof(existing);
  if (!GetClassInfoExW(ModuleInstance(), className, &existing)) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;  // bevels and pictures follow the size
    wc.lpfnWndProc = &CustomWindow::Procedure;
    wc.hInstance = ModuleInstance();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background != nullptr ? background : GetSysColorBrush(COLOR_BTNFACE);
    wc.hIcon = icon;
    wc.hIconSm = icon;
    wc.lpszClassName = className;
    if (RegisterClassExW(&wc) == 0) return false;
  }
  HWND created = CreateWindowExW(exStyle, className, text.c_str(), style, bounds.left, bounds.top,
                                 bounds.width, bounds.height, parent, nullptr, ModuleInstance(),
                                 this);
  return created != nullptr;
}

LRESULT CustomWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return Default(message, wParam, lParam);
}

LRESULT CustomWindow::Default(UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK CustomWindow::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    auto* self = static_cast<CustomWindow*>(create->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<CustomWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
  if (message == WM_SETCURSOR && g_screenCursor != nullptr && LOWORD(lParam) == HTCLIENT) {
    SetCursor(g_screenCursor);
    return TRUE;
  }
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    const LRESULT result = DefWindowProcW(hwnd, message, wParam, lParam);
    self->hwnd_ = nullptr;
    return result;
  }
  try {
    return self->OnMessage(message, wParam, lParam);
  } catch (...) {
    // An exception cannot unwind through the system's dispatch: the message
    // gets the default handling instead.
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

// --- Font ----------------------------------------------------------------------

Font::Font(const wchar_t* face, int points, BYTE charset) {
  HDC screen = GetDC(nullptr);
  const int height = -MulDiv(points, GetDeviceCaps(screen, LOGPIXELSY), 72);
  ReleaseDC(nullptr, screen);
  font_ = CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, charset, OUT_DEFAULT_PRECIS,
                      CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face);
}

Font::~Font() {
  if (font_ != nullptr) DeleteObject(font_);
}

}  // namespace ui
