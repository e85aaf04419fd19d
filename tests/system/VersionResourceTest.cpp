// A version resource read from its bytes: a damaged one gives nothing, never read past.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "payload/LittleEndian.h"
#include "system/VersionResource.h"

namespace {

// VS_VERSIONINFO of file version 7.0.19.0, with a string table's worth of tail.
std::vector<std::uint8_t> Resource() {
  std::vector<std::uint8_t> bytes(40 + 52 + 16, 0);
  payload::StoreU32(bytes.data(), static_cast<std::uint32_t>(bytes.size()) | (52u << 16));
  const char key[] = "VS_VERSION_INFO";
  for (std::size_t i = 0; i < sizeof key; ++i) bytes[6 + 2 * i] = static_cast<std::uint8_t>(key[i]);
  payload::StoreU32(bytes.data() + 40, 0xFEEF04BD);
  payload::StoreU32(bytes.data() + 48, 7u << 16);
  payload::StoreU32(bytes.data() + 52, 19u << 16);
  return bytes;
}

TEST(VersionResource, ReadsTheNumbersOfASoundResourceOnly) {
  version::FileVersion read;
  const auto sound = Resource();
  ASSERT_TRUE(version::ReadFileVersion(sound.data(), sound.size(), read));
  EXPECT_EQ(std::make_pair(read.first, read.third), std::make_pair(7, 19));
  struct Case { const char* what; std::size_t at; std::uint8_t value; std::size_t cut; };
  for (const Case& c : {Case{"cut inside the fixed information", 0, 108, 80},
                        Case{"block length beyond the resource", 1, 0x7F, 0},
                        Case{"value too small for the fixed information", 2, 51, 0},
                        Case{"another key", 8, 'X', 0}, Case{"wrong signature", 40, 0xBE, 0}}) {
    auto bytes = Resource();
    bytes[c.at] = c.value;
    version::FileVersion untouched{42, 43};
    const std::size_t size = c.cut != 0 ? c.cut : bytes.size();
    EXPECT_FALSE(version::ReadFileVersion(bytes.data(), size, untouched)) << c.what;
    EXPECT_EQ(untouched.first, 42) << c.what;
  }
}

}  // namespace
