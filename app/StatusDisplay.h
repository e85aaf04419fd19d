// The status line, the progress steps and the error boxes of the installation.
// Every subsystem reports through these; the installer window registers itself as
// the view. Without a view (tests, silent installation) status updates do nothing.
#pragma once

#include <string>

#include "system/ResultCodes.h"

// The installer window's side of the status display.
class StatusView {
 public:
  virtual ~StatusView() = default;
  virtual void SetStatusText(const std::wstring& text) = 0;  // shows and repaints the status line
  virtual void StepProgressBar() = 0;                         // advances the progress bar by one
  virtual void RunPauseTimer() = 0;  // one 100 ms pause while window messages are handled
};

void SetStatusView(StatusView* view);

// The status line (nothing while windowMode is 4).
void ShowStatus(const std::wstring& text);
// One progress step followed by a pause (nothing while windowMode is 4).
void StepProgress();
// A pause of one timer period while window messages are handled; then the Flash
// Player set-up's prompt is dismissed when due, and the application comes to the front.
void PauseBriefly();
// The error box for a result code; detail is the path concerned or the code in decimal.
// Shown whatever windowMode is.
void ShowInstallError(rc::Result code, const std::wstring& detail);
