// Bitmap headers are checked before a loader sees them: whole files pass, any
// cut or forged header that would make a loader read past the data fails.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "app/BmpCheck.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put32(Bytes& b, size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void Put16(Bytes& b, size_t at, std::uint16_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

// A whole bitmap of `bits` per pixel with a full palette for 8 bits and less.
Bytes MakeBmp(int width, int height, int bits) {
  const std::uint32_t colours = bits <= 8 ? (1u << bits) : 0;
  const std::uint32_t stride = ((width * bits + 31) / 32) * 4;
  const std::uint32_t offset = 14 + 40 + colours * 4;
  Bytes b(offset + stride * static_cast<std::uint32_t>(height < 0 ? -height : height), 0);
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 2, static_cast<std::uint32_t>(b.size()));
  Put32(b, 10, offset);
  Put32(b, 14, 40);
  Put32(b, 18, static_cast<std::uint32_t>(width));
  Put32(b, 22, static_cast<std::uint32_t>(height));
  Put16(b, 26, 1);
  Put16(b, 28, static_cast<std::uint16_t>(bits));
  return b;
}

bool Sound(const Bytes& b) { return BmpLayoutIsSound(b.data(), b.size()); }

TEST(BmpCheck, WholeFilesOfEveryDepthPass) {
  for (int bits : {1, 4, 8, 16, 24, 32}) EXPECT_TRUE(Sound(MakeBmp(13, 7, bits))) << bits;
  EXPECT_TRUE(Sound(MakeBmp(200, -100, 24))) << "top-down rows";
}

TEST(BmpCheck, CutFilesFail) {
  const Bytes whole = MakeBmp(200, 100, 24);
  for (size_t keep : {size_t{0}, size_t{2}, size_t{14}, size_t{30}, size_t{54}, whole.size() - 1}) {
    Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(keep));
    EXPECT_FALSE(Sound(cut)) << keep;
  }
}

TEST(BmpCheck, ForgedHeadersFail) {
  Bytes b = MakeBmp(10, 10, 24);
  b[0] = 'X';
  EXPECT_FALSE(Sound(b)) << "signature";

  b = MakeBmp(10, 10, 24);
  Put32(b, 10, 0xFFFFFFF0u);
  EXPECT_FALSE(Sound(b)) << "pixel offset beyond the file";

  b = MakeBmp(10, 10, 24);
  Put32(b, 18, 100000);
  EXPECT_FALSE(Sound(b)) << "width beyond the data and the limit";

  b = MakeBmp(10, 10, 24);
  Put32(b, 22, 0);
  EXPECT_FALSE(Sound(b)) << "zero height";

  b = MakeBmp(10, 10, 24);
  Put16(b, 28, 7);
  EXPECT_FALSE(Sound(b)) << "unknown depth";

  b = MakeBmp(10, 10, 8);
  Put32(b, 46, 100000);
  EXPECT_FALSE(Sound(b)) << "palette larger than 256";

  b = MakeBmp(10, 10, 24);
  Put32(b, 14, 1000);
  EXPECT_FALSE(Sound(b)) << "info header size";
}

TEST(BmpCheck, RunLengthDataNeedsItsStoredLength) {
  Bytes b = MakeBmp(10, 10, 8);
  Put32(b, 30, 1);  // BI_RLE8
  Put32(b, 34, 0);
  EXPECT_FALSE(Sound(b)) << "no stored length";
  Put32(b, 34, 50);
  EXPECT_TRUE(Sound(b));
  Put32(b, 34, static_cast<std::uint32_t>(b.size()));
  EXPECT_FALSE(Sound(b)) << "stored length beyond the file";
}

TEST(BmpCheck, NullAndEmptyInputFail) {
  EXPECT_FALSE(BmpLayoutIsSound(nullptr, 100));
  const std::uint8_t one = 'B';
  EXPECT_FALSE(BmpLayoutIsSound(&one, 0));
}

}  // namespace
