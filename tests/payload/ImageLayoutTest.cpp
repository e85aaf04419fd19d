// Finding and patching PayloadOffset in an installer image.
#include "payload/ImageLayout.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "tests/payload/PeImageBuilder.h"

#ifdef _WIN32
#include <windows.h>

#include <fstream>
#include <iterator>

// This test program carries the field exactly as the installer does, so that
// the real linker's output is checked too.
extern "C" {
__attribute__((section(".lvpoff"), used)) volatile std::uint32_t PayloadOffset = 0x5A5A1234;
}
#endif

namespace payload {
namespace {

using testing_pe::BuildImage;
using testing_pe::InstallerLikeImage;

TEST(ImageLayout, FindsTheFieldAtTheSectionStart) {
  const auto image = InstallerLikeImage();
  std::size_t at = 0;
  ASSERT_EQ(rc::kOk, FindPayloadOffsetField(image.data(), image.size(), at));
  EXPECT_EQ(testing_pe::kInstallerLikeFieldAt, at);
}

TEST(ImageLayout, PatchWritesOnlyTheFourFieldBytes) {
  const auto original = InstallerLikeImage();
  auto image = original;
  ASSERT_EQ(rc::kOk, PatchPayloadOffset(image, 0x000A3400));
  std::uint32_t value = 0;
  ASSERT_EQ(rc::kOk, ReadPayloadOffset(image.data(), image.size(), value));
  EXPECT_EQ(0x000A3400u, value);
  const std::size_t at = testing_pe::kInstallerLikeFieldAt;
  EXPECT_EQ(0x00, image[at]);
  EXPECT_EQ(0x34, image[at + 1]);
  EXPECT_EQ(0x0A, image[at + 2]);
  EXPECT_EQ(0x00, image[at + 3]);
  for (std::size_t i = 0; i < image.size(); ++i) {
    if (i >= at && i < at + 4) continue;
    ASSERT_EQ(original[i], image[i]) << i;
  }
}

TEST(ImageLayout, NonPeInputIsRejected) {
  std::vector<std::uint8_t> text(4096, 'a');
  std::size_t at = 0;
  EXPECT_EQ(rc::kNotPeImage, FindPayloadOffsetField(text.data(), text.size(), at));
  EXPECT_EQ(rc::kNotPeImage, FindPayloadOffsetField(text.data(), 0, at));

  auto image = InstallerLikeImage();
  EXPECT_EQ(rc::kNotPeImage, FindPayloadOffsetField(image.data(), 0x3F, at));  // cut DOS header
  auto badSignature = image;
  badSignature[testing_pe::kPeAt + 1] = 'X';
  EXPECT_EQ(rc::kNotPeImage, FindPayloadOffsetField(badSignature.data(), badSignature.size(), at));
  auto farPe = image;
  testing_pe::Put32(farPe, 0x3C, 0xFFFFFFF0u);  // PE header offset beyond the file
  EXPECT_EQ(rc::kNotPeImage, FindPayloadOffsetField(farPe.data(), farPe.size(), at));
  auto arm64 = BuildImage({{".lvpoff", 0x200}}, 0xAA64);  // neither x86 nor x64
  EXPECT_EQ(rc::kNotPeImage, FindPayloadOffsetField(arm64.data(), arm64.size(), at));
  auto manySections = image;
  testing_pe::Put16(manySections, testing_pe::kPeAt + 6, 0xFFFF);  // table beyond the file
  EXPECT_EQ(rc::kNotPeImage, FindPayloadOffsetField(manySections.data(), manySections.size(), at));
}

TEST(ImageLayout, MissingOrUnusableSectionIsRejected) {
  std::size_t at = 0;
  const auto none = BuildImage({{".text", 0x200}, {".data", 0x200}});
  EXPECT_EQ(rc::kNoPayloadOffsetField, FindPayloadOffsetField(none.data(), none.size(), at));
  const auto similar = BuildImage({{".lvpoffx", 0x200}, {".lvpof", 0x200}});
  EXPECT_EQ(rc::kNoPayloadOffsetField, FindPayloadOffsetField(similar.data(), similar.size(), at));
  const auto empty = BuildImage({{".text", 0x200}, {".lvpoff", 0}});
  EXPECT_EQ(rc::kNoPayloadOffsetField, FindPayloadOffsetField(empty.data(), empty.size(), at));
  auto outside = BuildImage({{".lvpoff", 0x200}});
  testing_pe::Put32(outside, testing_pe::kSectionTableAt + 20, 0x7FFFFFFE);
  EXPECT_EQ(rc::kNoPayloadOffsetField, FindPayloadOffsetField(outside.data(), outside.size(), at));
  std::vector<std::uint8_t> copy = outside;
  EXPECT_EQ(rc::kNoPayloadOffsetField, PatchPayloadOffset(copy, 1));
  EXPECT_EQ(outside, copy);
}

#ifdef _WIN32
TEST(ImageLayout, FindsTheFieldInThisProgramsOwnFile) {
  wchar_t path[MAX_PATH];
  ASSERT_NE(0u, GetModuleFileNameW(nullptr, path, MAX_PATH));
  std::ifstream in(path, std::ios::binary);
  const std::vector<std::uint8_t> image((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
  std::uint32_t value = 0;
  ASSERT_EQ(rc::kOk, ReadPayloadOffset(image.data(), image.size(), value));
  EXPECT_EQ(PayloadOffset, value);
}
#endif

}  // namespace
}  // namespace payload
