// The few control kinds of the installer's windows, each a thin wrapper over its
// handle: panel (with anchored children), label, button, progress bar, read-only
// multi-line text box, image and timer.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "app/Window.h"

namespace ui {

enum Anchor : unsigned {
  kAnchorLeft = 1,
  kAnchorTop = 2,
  kAnchorRight = 4,
  kAnchorBottom = 8,
};

// A plain container. Children anchored to the right or bottom edge keep their
// distance to that edge when the panel's size changes. Commands and colour
// requests of its children go on to the panel's parent, so that the form
// handles every control.
class Panel : public CustomWindow {
 public:
  ~Panel() override;
  enum class Bevel { None, Lowered };
  bool Create(HWND parent, const Bounds& bounds, Bevel bevel, HBRUSH background = nullptr);
  // Records `child`'s distances to this panel's edges as they are now.
  void SetAnchors(const Window& child, unsigned anchors);

 protected:
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  struct Anchored {
    HWND child;
    unsigned anchors;
    int rightGap;
    int bottomGap;
  };
  void ArrangeAnchored();
  Bevel bevel_ = Bevel::None;
  std::vector<Anchored> anchored_;
};

class Label : public Window {
 public:
  ~Label() override;
  // centred: text centred horizontally and vertically (one line).
  bool Create(HWND parent, const Bounds& bounds, const std::wstring& text, bool centred = false);
};

class Button : public Window {
 public:
  ~Button() override;
  bool Create(HWND parent, const Bounds& bounds, const std::wstring& text, int id);
};

class ProgressBar : public Window {
 public:
  ~ProgressBar() override;
  bool Create(HWND parent, const Bounds& bounds);
  void SetRange(int minimum, int maximum);
  void SetMaximum(int maximum);
  int Maximum() const;
  void SetStep(int step);
  void StepIt();
  void SetPosition(int position);
  int Position() const;

 private:
  int minimum_ = 0;
};

// Read-only multi-line text box with a vertical scroll bar.
class MemoBox : public Window {
 public:
  ~MemoBox() override;
  bool Create(HWND parent, const Bounds& bounds);
  // Shows `text`; bare line feeds become line breaks of the box.
  void SetLines(const std::wstring& text);
};

// Shows one bitmap stretched over its whole client area. Owns the bitmap.
class ImageBox : public CustomWindow {
 public:
  ~ImageBox() override;
  bool Create(HWND parent, const Bounds& bounds);
  void SetPicture(HBITMAP bitmap);  // takes ownership; nullptr empties the image
  bool HasPicture() const { return bitmap_ != nullptr; }

 protected:
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  HBITMAP bitmap_ = nullptr;
};

// A window timer: WM_TIMER with `id` reaches `owner` while enabled.
class Timer {
 public:
  Timer() = default;
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;
  ~Timer() { SetEnabled(false); }
  void Attach(HWND owner, UINT_PTR id, UINT interval) {
    owner_ = owner;
    id_ = id;
    interval_ = interval;
  }
  void SetEnabled(bool enabled);
  bool Enabled() const { return enabled_; }
  UINT_PTR id() const { return id_; }

 private:
  HWND owner_ = nullptr;
  UINT_PTR id_ = 0;
  UINT interval_ = 0;
  bool enabled_ = false;
};

}  // namespace ui
