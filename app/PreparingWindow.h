// The small window shown while the installer prepares itself: one centred label.
// It is the application's main window; during an installation without the
// installer window it is the only display.
#pragma once

#include <string>

#include "app/Window.h"
#include "app/WindowControls.h"

class TpreparingInstallWnd : public ui::CustomWindow {
 public:
  ~TpreparingInstallWnd() override;
  // Creates the window, visible and centred on the screen, with `caption`.
  bool Create(HWND owner, const std::wstring& caption);

  // Sets the label's text and handles pending messages once, so that it is painted at once.
  void SetPreparingText(const std::wstring& text);
  // Moves the window to -3000, -3000: still "visible", but off the screen.
  void ParkOffScreen();
  // Sleeps 500 ms without handling messages.
  void WaitHalfSecond();

  std::wstring PreparingText() const { return Label1.Text(); }

 protected:
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void FormCreate() {}
  ui::Label Label1;
};

// The one preparing window of the process (nullptr when there is none).
extern TpreparingInstallWnd* preparingInstallWnd;
