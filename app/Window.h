// Thin wrappers over window handles: a handle with the few operations the
// installer needs, and a base for windows whose messages we handle ourselves.
// No framework: each wrapper owns nothing but its handle.
#pragma once

#include <windows.h>

#include <string>

namespace ui {

// Position and size of a window in its parent's client coordinates
// (screen coordinates for a top-level window).
struct Bounds {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  int right() const { return left + width; }
  int bottom() const { return top + height; }
};

class Window {
 public:
  Window() = default;
  explicit Window(HWND handle) : hwnd_(handle) {}
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  virtual ~Window();  // out of line, as are the controls' ones: one copy in the image

  HWND handle() const { return hwnd_; }
  explicit operator bool() const { return hwnd_ != nullptr; }

  void SetText(const std::wstring& text);
  std::wstring Text() const;

  void Show(bool visible);
  bool IsVisible() const;
  void Enable(bool enabled);
  bool IsEnabled() const;

  Bounds GetBounds() const;  // relative to the parent's client area
  void SetBounds(const Bounds& bounds);
  void SetBounds(int left, int top, int width, int height) {
    SetBounds(Bounds{left, top, width, height});
  }
  void SetLeft(int left);
  void SetWidth(int width);
  void SetHeight(int height);
  int ClientWidth() const;
  int ClientHeight() const;

  void SetFont(HFONT font);
  void Repaint();       // invalidates and paints at once, without the message loop
  void BringToFront();  // top of its siblings
  void Focus();
  void Destroy();

 protected:
  HWND hwnd_ = nullptr;
};

// A window whose messages go to OnMessage. The class is registered on first use.
class CustomWindow : public Window {
 public:
  ~CustomWindow() override;

 protected:
  // Creates the window of class `className` (registered with the given background
  // and class icon) and ties it to this object.
  bool CreateCustom(const wchar_t* className, DWORD exStyle, DWORD style, const Bounds& bounds,
                    HWND parent, const std::wstring& text, HBRUSH background = nullptr,
                    HICON icon = nullptr);
  virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
};

// Font for a whole window: one HFONT, deleted with the object.
class Font {
 public:
  Font(const wchar_t* face, int points, BYTE charset);
  ~Font();
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;
  HFONT handle() const { return font_; }

 private:
  HFONT font_ = nullptr;
};

// The module that the program's windows belong to.
HINSTANCE ModuleInstance();

// The cursor shown over every window of the program (the screen cursor); nullptr
// lets each window show its own. Takes effect at once.
void SetScreenCursor(HCURSOR cursor);
HCURSOR ScreenCursor();

}  // namespace ui
