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
// Optional header: its magic tells PE32 from PE32+, which differ in where the
// data directories start (each preceded by their count).
constexpr std::size_t kOptionalMagicSize = 2;
constexpr std::uint16_t kPe32Magic = 0x10B;
constexpr std::uint16_t kPe32PlusMagic = 0x20B;
constexpr std::uint64_t kPe32Directories = 96;
constexpr std::uint64_t kPe32PlusDirectories = 112;
constexpr std::uint64_t kDirectoryCountSize = 4;
constexpr std::uint64_t kDirectoryEntrySize = 8;
constexpr std::uint64_t kSecurityDirectory = 4;  // index of the certificate table
constexpr std::uint64_t kChecksumField = 64;     // same place in PE32 and PE32+

bool Fits(std::uint64_t offset, std::uint64_t length, std::size_t size) {
  return offset + length <= size;
}

}  // namespace

rc::Result FindPayloadOffsetField(const std::uint8_t* image, std::size_t size,
                                  std::size_t& fieldOffset) {
  return FindPayloadOffsetField(image, size, size, fieldOffset);
}

rc::Result FindPayloadOffsetField(const std::uint8_t* image, std::size_t size,
                                  std::uint64_t fileSize, std::size_t& fieldOffset) {
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
        raw + kFieldSize > fileSize)
      return rc::kNoPayloadOffsetField;
    fieldOffset = static_cast<std::size_t>(raw);
    return rc::kOk;
  }
  return rc::kNoPayloadOffsetField;
}

rc::Result FindCertificateTable(const std::uint8_t* headers, std::size_t size, CertificateTable& out) {
  if (size < kDosHeaderSize || headers[0] != 'M' || headers[1] != 'Z') return rc::kNotPeImage;
  const std::uint64_t pe = LoadU32(headers + kPeOffsetField);
  if (!Fits(pe, kSignatureSize + kFileHeaderSize, size) ||
      std::memcmp(headers + pe, "PE\0\0", kSignatureSize) != 0)
    return rc::kNotPeImage;
  const std::uint64_t optional = pe + kSignatureSize + kFileHeaderSize;
  const std::uint16_t optionalSize =
      LoadU16(headers + pe + kSignatureSize + kOptionalHeaderSizeField);
  if (!Fits(optional, optionalSize, size) || optionalSize < kOptionalMagicSize) return rc::kNotPeImage;
  const std::uint16_t magic = LoadU16(headers + optional);
  std::uint64_t directories = 0;
  if (magic == kPe32Magic) directories = kPe32Directories;
  else if (magic == kPe32PlusMagic) directories = kPe32PlusDirectories;
  else return rc::kNotPeImage;
  const std::uint64_t entry = directories + kSecurityDirectory * kDirectoryEntrySize;
  if (entry + kDirectoryEntrySize > optionalSize ||
      LoadU32(headers + optional + directories - kDirectoryCountSize) <= kSecurityDirectory)
    return rc::kNotPeImage;
  out.checksumOffset = static_cast<std::size_t>(optional + kChecksumField);
  out.entryOffset = static_cast<std::size_t>(optional + entry);
  out.offset = LoadU32(headers + out.entryOffset);
  out.size = LoadU32(headers + out.entryOffset + 4);
  return rc::kOk;
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
