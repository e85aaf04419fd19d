// The installer window's geometry: fitted heights, the parts on every resize,
// and the install button beside the cancel button.
#include <gtest/gtest.h>

#include "app/WindowLayout.h"

namespace {

using layout::Rect;

const Rect kContent{0, -1, 352, 152};  // stored layout: bottom 151

TEST(FittedHeight, WithoutLicenceClientIs214) {
  const int frame = 30;
  EXPECT_EQ(layout::FittedWindowHeight(frame, kContent, 63, false, 103) - frame, 214);
}

TEST(FittedHeight, WithLicenceClientIs321) {
  const int frame = 30;
  EXPECT_EQ(layout::FittedWindowHeight(frame, kContent, 63, true, 103) - frame, 321);
}

TEST(FittedHeight, LicenceHeightIgnoredWhenNotShown) {
  EXPECT_EQ(layout::FittedWindowHeight(0, kContent, 63, false, 500),
            layout::FittedWindowHeight(0, kContent, 63, false, 103));
}

TEST(ResizeParts, ContentKeepsTopAndHeightButTakesTheWidth) {
  const auto parts = layout::ResizeParts(400, 500, kContent);
  EXPECT_EQ(parts.content.left, 0);
  EXPECT_EQ(parts.content.top, -1);
  EXPECT_EQ(parts.content.height, 152);
  EXPECT_EQ(parts.content.width, 400);
}

TEST(ResizeParts, ButtonPanelIsPinnedToTheBottomAtFullWidth) {
  const auto parts = layout::ResizeParts(351, 214, kContent);
  EXPECT_EQ(parts.buttons.left, 0);
  EXPECT_EQ(parts.buttons.top, 214 - 63);
  EXPECT_EQ(parts.buttons.width, 351);
  EXPECT_EQ(parts.buttons.height, 63);
}

TEST(ResizeParts, LicenceTakesTheSpaceBetweenContentAndButtons) {
  const auto parts = layout::ResizeParts(351, 500, kContent);
  EXPECT_EQ(parts.license.top, 151 + 2);
  EXPECT_EQ(parts.license.width, 351);
  // (buttons top - 2) - (content bottom + 4)
  EXPECT_EQ(parts.license.height, (500 - 63 - 2) - (151 + 4));
}

TEST(ResizeParts, LicenceNeverGetsLowerThan103) {
  EXPECT_EQ(layout::ResizeParts(351, 321, kContent).license.height, 103);
  EXPECT_EQ(layout::ResizeParts(351, 100, kContent).license.height, 103);
}

TEST(ResizeParts, OnlyTheLicenceGrowsWithTheWindow) {
  const auto small = layout::ResizeParts(351, 400, kContent);
  const auto large = layout::ResizeParts(351, 480, kContent);
  EXPECT_EQ(large.content.height, small.content.height);
  EXPECT_EQ(large.license.top, small.license.top);
  EXPECT_EQ(large.license.height - small.license.height, 80);
  EXPECT_EQ(large.buttons.top - small.buttons.top, 80);
  EXPECT_EQ(large.buttons.height, small.buttons.height);
}

TEST(InstallButton, StandsSixPixelsLeftOfCancel) {
  EXPECT_EQ(layout::InstallButtonLeft(268, 80), 182);  // the stored layout's place
  EXPECT_EQ(layout::InstallButtonLeft(268, 115), 147);
}

}  // namespace
