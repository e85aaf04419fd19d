#include "app/WindowLayout.h"

#include <algorithm>

namespace layout {

ResizedParts ResizeParts(int clientWidth, int clientHeight, const Rect& content) {
  ResizedParts parts;
  parts.content = content;
  parts.content.width = clientWidth;

  parts.buttons = Rect{0, clientHeight - kButtonPanelHeight, clientWidth, kButtonPanelHeight};

  const int licenseTop = parts.content.bottom() + kLicenseGapAbove;
  const int available =
      (parts.buttons.top - kLicenseGapAbove) - (parts.content.bottom() + kLicenseGapBelow);
  parts.license = Rect{0, licenseTop, clientWidth, std::max(kLicenseMinHeight, available)};
  return parts;
}

int FittedWindowHeight(int frameHeight, const Rect& content, int buttonPanelHeight,
                       bool licenseShown, int licenseHeight) {
  int height = frameHeight + content.bottom() + buttonPanelHeight;
  if (licenseShown) height += licenseHeight + kLicenseGapBelow;
  return height;
}

}  // namespace layout
