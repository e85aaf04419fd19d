// The version resource read from its bytes: a sound one gives the first and third
// numbers of the file version; a damaged one gives nothing and never reads past it.
#include <gtest/gtest.h>

#include <cstdint>
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

TEST(VersionResource, ReadsFirstAndThirdNumber) {
  const auto bytes = Resource();
  version::FileVersion read;
  ASSERT_TRUE(version::ReadFileVersion(bytes.data(), bytes.size(), read));
  EXPECT_EQ(read.first, 7);
  EXPECT_EQ(read.third, 19);
}

TEST(VersionResource, DamagedResourcesGiveNothing) {
  struct Case { const char* what; std::size_t at; std::uint8_t value; std::size_t size; };
  const Case cases[] = {
      {"cut inside the fixed information", 0, 0, 80},
      {"block length beyond the resource", 1, 0x7F, 0},
      {"value too small for the fixed information", 2, 51, 0},
      {"another key", 8, 'X', 0},
      {"wrong signature", 40, 0xBE, 0},
  };
  for (const Case& c : cases) {
    auto bytes = Resource();
    if (c.size == 0) bytes[c.at] = c.value;
    const std::size_t size = c.size != 0 ? c.size : bytes.size();
    version::FileVersion read{42, 43};
    EXPECT_FALSE(version::ReadFileVersion(bytes.data(), size, read)) << c.what;
    EXPECT_EQ(read.first, 42) << c.what;
  }
  version::FileVersion read;
  EXPECT_FALSE(version::ReadFileVersion(nullptr, 0, read));
}

}  // namespace
