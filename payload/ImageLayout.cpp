#include "payload/ImageLayout.h"

#include <cstring>

#include "payload/LittleEndian.h"

namespace payload {
namespace {

// MS-DOS stub header: "MZ", and at 0x3C the offset of the PE signature.
constexpr std::size_t kDosHeaderSize = 0x40;
constexpr std::size_t kPeOffsetField = 0x3C;
// "PE\0\0", then the 20-byte file header.
constexpr std::size_t kSignatureSize = 4;
constexpr std::size_t kFileHeaderSize = 20;
constexpr std::size_t kMachineField = 0;
constexpr std::size_t kSectionCountField = 2;
constexpr std::size_t kOptionalHeaderSizeField = 16;
// The product is an i386 image; its 64-bit test build (win64) an AMD64 (PE32+) one.
// Both keep the section table after the optional header whose size the file
// header gives, so one reader serves both.
constexpr std::uint16_t kMachineI386 = 0x014C;
constexpr std::uint16_t kMachineAmd64 = 0x8664;
// Section table entries: name, sizes and where the raw data lie.
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::size_t kSectionNameSize = 8;
constexpr std::size_t kSectionRawSizeField = 16;
constexpr std::size_t kSectionRawPointerField = 20;
constexpr std::size_t kFieldSize = 4;

bool Fits(std::uint64_t offset, std::uint64_t length, std::size_t size) {
  return offset + length <= size;
}

}  // namespace

rc::Result FindPayloadOffsetField(const std::uint8_t* image, std::size_t size,
                                  std::size_t& fieldOffset) {
  if (size < kDosHeaderSize || image[0] != 'M' || image[1] != 'Z') return rc::kNotPeImage;
  const std::uint64_t pe = LoadU32(image + kPeOffsetField);
  if (!Fits(pe, kSignatureSize + kFileHeaderSize, size) ||
      std::memcmp(image + pe, "PE\0\0", kSignatureSize) != 0)
    return rc::kNotPeImage;
  const std::uint8_t* fileHeader = image + pe + kSignatureSize;
  const std::uint16_t machine = LoadU16(fileHeader + kMachineField);
  if (machine != kMachineI386 && machine != kMachineAmd64) return rc::kNotPeImage;

  const std::uint16_t sections = LoadU16(fileHeader + kSectionCountField);
  const std::uint64_t table = pe + kSignatureSize + kFileHeaderSize +
                              LoadU16(fileHeader + kOptionalHeaderSizeField);
  if (!Fits(table, static_cast<std::uint64_t>(sections) * kSectionHeaderSize, size))
    return rc::kNotPeImage;

  char wanted[kSectionNameSize] = {};
  std::memcpy(wanted, kPayloadOffsetSection, sizeof kPayloadOffsetSection - 1);
  for (std::uint16_t i = 0; i < sections; ++i) {
    const std::uint8_t* section = image + table + static_cast<std::size_t>(i) * kSectionHeaderSize;
    if (std::memcmp(section, wanted, kSectionNameSize) != 0) continue;
    const std::uint64_t raw = LoadU32(section + kSectionRawPointerField);
    if (LoadU32(section + kSectionRawSizeField) < kFieldSize || raw == 0 ||
        !Fits(raw, kFieldSize, size))
      return rc::kNoPayloadOffsetField;
    fieldOffset = static_cast<std::size_t>(raw);
    return rc::kOk;
  }
  return rc::kNoPayloadOffsetField;
}

rc::Result ReadPayloadOffset(const std::uint8_t* image, std::size_t size, std::uint32_t& value) {
  std::size_t at = 0;
  if (const rc::Result r = FindPayloadOffsetField(image, size, at); r != rc::kOk) return r;
  value = LoadU32(image + at);
  return rc::kOk;
}

rc::Result PatchPayloadOffset(std::vector<std::uint8_t>& image, std::uint32_t value) {
  std::size_t at = 0;
  if (const rc::Result r = FindPayloadOffsetField(image.data(), image.size(), at); r != rc::kOk)
    return r;
  StoreU32(image.data() + at, value);
  return rc::kOk;
}

}  // namespace payload
