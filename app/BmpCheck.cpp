#include "app/BmpCheck.h"

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kCoreHeaderSize = 12;   // BITMAPCOREHEADER
constexpr std::uint32_t kInfoHeaderSize = 40;   // BITMAPINFOHEADER
constexpr std::uint32_t kMaxInfoHeaderSize = 124;  // BITMAPV5HEADER
constexpr std::int64_t kMaxSide = kMaxPictureSide;
constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;
constexpr std::uint32_t kBitFields = 3;

std::uint32_t U16(const std::uint8_t* p) { return p[0] | (p[1] << 8); }
std::uint32_t U32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

bool KnownDepth(std::uint32_t bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

}  // namespace

bool BmpLayoutIsSound(const std::uint8_t* data, std::size_t size) {
  return BmpLayoutIsSound(data, size, size);
}

bool BmpLayoutIsSound(const std::uint8_t* data, std::size_t headersSize, std::uint64_t size) {
  // The fields read below lie in the first 54 bytes (file header and the
  // start of the info header); everything else is judged by the file's size.
  if (data == nullptr || size < kFileHeaderSize + kCoreHeaderSize) return false;
  if (headersSize < size && headersSize < kFileHeaderSize + kInfoHeaderSize) return false;
  if (data[0] != 'B' || data[1] != 'M') return false;
  const std::uint64_t pixelOffset = U32(data + 10);
  const std::uint8_t* info = data + kFileHeaderSize;
  const std::uint32_t infoSize = U32(info);
  if (infoSize != kCoreHeaderSize && (infoSize < kInfoHeaderSize || infoSize > kMaxInfoHeaderSize))
    return false;
  if (kFileHeaderSize + infoSize > size) return false;

  std::int64_t width = 0;
  std::int64_t height = 0;
  std::uint32_t bits = 0;
  std::uint32_t compression = kRgb;
  std::uint64_t colours = 0;
  std::uint64_t imageSize = 0;
  std::uint64_t entrySize = 4;
  if (infoSize == kCoreHeaderSize) {
    width = U16(info + 4);
    height = U16(info + 6);
    bits = U16(info + 10);
    entrySize = 3;
  } else {
    width = static_cast<std::int32_t>(U32(info + 4));
    height = static_cast<std::int32_t>(U32(info + 8));
    bits = U16(info + 14);
    compression = U32(info + 16);
    imageSize = U32(info + 20);
    colours = U32(info + 32);
  }
  if (height < 0) height = -height;  // top-down rows
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return false;
  if (!KnownDepth(bits)) return false;

  if (colours == 0 && bits <= 8) colours = 1ull << bits;
  if (colours > 256) return false;
  std::uint64_t headersEnd = kFileHeaderSize + infoSize + colours * entrySize;
  if (compression == kBitFields && infoSize == kInfoHeaderSize) headersEnd += 12;  // three masks
  if (pixelOffset < kFileHeaderSize + infoSize || pixelOffset > size) return false;
  if (headersEnd > size) return false;

  std::uint64_t needed = 0;
  if (compression == kRgb || compression == kBitFields) {
    const std::uint64_t stride = ((static_cast<std::uint64_t>(width) * bits + 31) / 32) * 4;
    needed = stride * static_cast<std::uint64_t>(height);
  } else if (compression == kRle8 || compression == kRle4) {
    if (imageSize == 0) return false;  // the stored length is all that bounds the codes
    needed = imageSize;
  } else {
    return false;  // JPEG/PNG inside a bitmap and other kinds are not shown
  }
  return pixelOffset + needed <= size;
}
