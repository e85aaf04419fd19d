// The installer window's geometry rules, free of Win32 so that they are checked
// on the host: the final height, the placement of the parts on every resize, and
// the install button's place beside the cancel button.
#pragma once

namespace layout {

struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  int bottom() const { return top + height; }
  int right() const { return left + width; }
};

constexpr int kArrangedWidth = 359;         // window width at the end of start-up
constexpr int kButtonPanelHeight = 63;      // the button panel keeps this height
constexpr int kLicenseMinHeight = 103;      // the licence box never gets lower
constexpr int kLicenseGapAbove = 2;         // between the content and the licence box
constexpr int kLicenseGapBelow = 4;         // between the licence box and the buttons (in the sum)
constexpr int kMinWidthWithLicense = 359;   // a sizeable window cannot get narrower
constexpr int kMinHeightWithLicense = 340;  // ... nor lower
constexpr int kButtonGap = 6;               // install button stands this far left of cancel
constexpr int kInstallWidthPlain = 80;
constexpr int kInstallWidthLicense = 115;

struct ResizedParts {
  Rect content;
  Rect buttons;
  Rect license;
};

// Where the parts go for a client area of clientWidth x clientHeight: the content
// keeps its top and height and takes the full width; the button panel is pinned to
// the bottom; the licence box takes what is left between them.
ResizedParts ResizeParts(int clientWidth, int clientHeight, const Rect& content);

// The window height that shows the content, the buttons and, when shown, the licence box.
// frameHeight: the window's height minus its client height.
int FittedWindowHeight(int frameHeight, const Rect& content, int buttonPanelHeight,
                       bool licenseShown, int licenseHeight);

// Left edge of the install button: `kButtonGap` pixels left of the cancel button.
inline int InstallButtonLeft(int cancelLeft, int installWidth) {
  return cancelLeft - installWidth - kButtonGap;
}

}  // namespace layout
