#include "system/VersionResource.h"

#include <cstring>

#include "payload/LittleEndian.h"

namespace version {

namespace {

constexpr std::size_t kBlockLengthAt = 0;       // 16-bit length of the whole block
constexpr std::size_t kValueLengthAt = 2;       // 16-bit length of the fixed information
constexpr std::size_t kKeyAt = 6;               // after the type word
// "VS_VERSION_INFO" and its terminator in UTF-16 little-endian.
constexpr char kKey[] = "V\0S\0_\0V\0E\0R\0S\0I\0O\0N\0_\0I\0N\0F\0O\0\0";
constexpr std::size_t kKeyBytes = sizeof kKey;  // 32: the literal's own terminator completes the last unit
constexpr std::size_t kFixedInfoAt = (kKeyAt + kKeyBytes + 3) & ~std::size_t{3};  // 40
constexpr std::size_t kFixedInfoBytes = 52;     // thirteen 32-bit fields
constexpr std::uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr std::size_t kVersionHighAt = 8;       // within the fixed information: a.b
constexpr std::size_t kVersionLowAt = 12;       // c.d

}  // namespace

bool ReadFileVersion(const std::uint8_t* data, std::size_t size, FileVersion& out) {
  if (data == nullptr || size < kFixedInfoAt + kFixedInfoBytes) return false;
  const std::size_t blockLength = payload::LoadU16(data + kBlockLengthAt);
  if (blockLength < kFixedInfoAt + kFixedInfoBytes || blockLength > size) return false;
  if (payload::LoadU16(data + kValueLengthAt) < kFixedInfoBytes) return false;
  if (std::memcmp(data + kKeyAt, kKey, kKeyBytes) != 0) return false;
  const std::uint8_t* fixed = data + kFixedInfoAt;
  if (payload::LoadU32(fixed) != kFixedInfoSignature) return false;
  out.first = static_cast<int>(payload::LoadU32(fixed + kVersionHighAt) >> 16);
  out.third = static_cast<int>(payload::LoadU32(fixed + kVersionLowAt) >> 16);
  return true;
}

}  // namespace version
