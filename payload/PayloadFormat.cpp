#include "payload/PayloadFormat.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "payload/LittleEndian.h"
#include "payload/SafeNames.h"

namespace payload {
namespace {

// Field offsets inside the header.
constexpr std::size_t kHdrContentKind = 0;
constexpr std::size_t kHdrShowLicense = 1;
constexpr std::size_t kHdrHasDocument = 2;
constexpr std::size_t kHdrReserved = 3;
constexpr std::size_t kHdrOfferDisplayProperties = 4;
constexpr std::size_t kHdrSaverName = 5;
constexpr std::size_t kHdrPadding = 69;

// Field offsets inside a record.
constexpr std::size_t kRecNameLength = 0;
constexpr std::size_t kRecName = 1;
constexpr std::size_t kRecFirstByte = 256;
constexpr std::size_t kRecLastByte = 260;
constexpr std::size_t kRecDestination = 264;
constexpr std::size_t kRecCompressed = 268;
constexpr std::size_t kRecPadding = 269;
constexpr std::size_t kRecPackedSize = 272;
constexpr std::size_t kRecUnpackedSize = 276;

static_assert(kHdrPadding + 3 == kHeaderSize, "header layout");
static_assert(kRecUnpackedSize + 4 == kRecordSize, "record layout");
static_assert(kBlockSize == 3152, "block layout");

// Delphi's ChangeFileExt: replace from the last dot of the name, or append.
std::string ReplaceExtension(const std::string& name, std::string_view extension) {
  std::size_t dot = std::string::npos;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto b = static_cast<std::uint8_t>(name[i]);
    if (IsCp932LeadByte(b)) {
      ++i;
    } else if (name[i] == '.') {
      dot = i;
    }
  }
  return name.substr(0, dot) + std::string(extension);
}

std::uint8_t AsciiLower(std::uint8_t b) {
  return b >= 'A' && b <= 'Z' ? static_cast<std::uint8_t>(b - 'A' + 'a') : b;
}

// Equal as Windows names compare for ASCII: letters A-Z fold; both bytes of a
// double-byte character are compared exactly (a second byte 0x41..0x5A is not
// a letter, "\x83\x41" and "\x83\x61" are two different characters).
bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto x = static_cast<std::uint8_t>(a[i]);
    const auto y = static_cast<std::uint8_t>(b[i]);
    if (IsCp932LeadByte(x)) {
      if (x != y || i + 1 >= a.size() || a[i + 1] != b[i + 1]) return false;
      ++i;
    } else if (AsciiLower(x) != AsciiLower(y)) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::string PayloadRecord::Name() const {
  return std::string(reinterpret_cast<const char*>(nameField.data()), nameLength);
}

bool PayloadRecord::SetName(std::string_view name) {
  if (name.size() > kRecordNameSize) return false;
  nameField.fill(0);
  std::memcpy(nameField.data(), name.data(), name.size());
  nameLength = static_cast<std::uint8_t>(name.size());
  return true;
}

const PayloadRecord* PayloadBlock::Slot(int slot) const {
  if (slot < 0 || slot >= kSlotCount) return nullptr;
  return &records[static_cast<std::size_t>(slot)];
}

PayloadRecord* PayloadBlock::Slot(int slot) {
  if (slot < 0 || slot >= kSlotCount) return nullptr;
  return &records[static_cast<std::size_t>(slot)];
}

PayloadHeader ParseHeader(const std::uint8_t* bytes) {
  PayloadHeader h;
  h.contentKind = bytes[kHdrContentKind];
  h.showLicense = bytes[kHdrShowLicense];
  h.hasDocument = bytes[kHdrHasDocument];
  h.reserved = bytes[kHdrReserved];
  h.offerDisplayProperties = bytes[kHdrOfferDisplayProperties];
  std::memcpy(h.saverName.data(), bytes + kHdrSaverName, kSaverNameSize);
  std::memcpy(h.padding.data(), bytes + kHdrPadding, h.padding.size());
  return h;
}

PayloadRecord ParseRecord(const std::uint8_t* bytes) {
  PayloadRecord r;
  r.nameLength = bytes[kRecNameLength];
  std::memcpy(r.nameField.data(), bytes + kRecName, kRecordNameSize);
  r.firstByte = LoadI32(bytes + kRecFirstByte);
  r.lastByte = LoadI32(bytes + kRecLastByte);
  r.destination = LoadI32(bytes + kRecDestination);
  r.compressed = bytes[kRecCompressed];
  std::memcpy(r.padding.data(), bytes + kRecPadding, r.padding.size());
  r.packedSize = LoadU32(bytes + kRecPackedSize);
  r.unpackedSize = LoadI32(bytes + kRecUnpackedSize);
  return r;
}

rc::Result ParseBlock(const std::uint8_t* bytes, std::size_t size, PayloadBlock& out) {
  if (size < kBlockSize) return rc::kPackageTooShort;
  PayloadBlock block;
  block.header = ParseHeader(bytes);
  for (int i = 0; i < kSlotCount; ++i)
    block.records[static_cast<std::size_t>(i)] =
        ParseRecord(bytes + kHeaderSize + static_cast<std::size_t>(i) * kRecordSize);
  out = block;
  return rc::kOk;
}

void SerializeHeader(const PayloadHeader& h, std::uint8_t* out) {
  out[kHdrContentKind] = h.contentKind;
  out[kHdrShowLicense] = h.showLicense;
  out[kHdrHasDocument] = h.hasDocument;
  out[kHdrReserved] = h.reserved;
  out[kHdrOfferDisplayProperties] = h.offerDisplayProperties;
  std::memcpy(out + kHdrSaverName, h.saverName.data(), kSaverNameSize);
  std::memcpy(out + kHdrPadding, h.padding.data(), h.padding.size());
}

void SerializeRecord(const PayloadRecord& r, std::uint8_t* out) {
  out[kRecNameLength] = r.nameLength;
  std::memcpy(out + kRecName, r.nameField.data(), kRecordNameSize);
  StoreI32(out + kRecFirstByte, r.firstByte);
  StoreI32(out + kRecLastByte, r.lastByte);
  StoreI32(out + kRecDestination, r.destination);
  out[kRecCompressed] = r.compressed;
  std::memcpy(out + kRecPadding, r.padding.data(), r.padding.size());
  StoreU32(out + kRecPackedSize, r.packedSize);
  StoreI32(out + kRecUnpackedSize, r.unpackedSize);
}

std::array<std::uint8_t, kBlockSize> SerializeBlock(const PayloadBlock& block) {
  std::array<std::uint8_t, kBlockSize> bytes{};
  SerializeHeader(block.header, bytes.data());
  for (int i = 0; i < kSlotCount; ++i)
    SerializeRecord(block.records[static_cast<std::size_t>(i)],
                    bytes.data() + kHeaderSize + static_cast<std::size_t>(i) * kRecordSize);
  return bytes;
}

std::string ScreenSaverNameBytes(const PayloadHeader& header) {
  const auto* begin = header.saverName.data();
  const auto* end = std::find(begin, begin + kSaverNameSize, std::uint8_t{0});
  return std::string(reinterpret_cast<const char*>(begin), static_cast<std::size_t>(end - begin));
}

bool SetScreenSaverName(PayloadHeader& header, std::string_view name) {
  if (name.size() > kSaverNameSize) return false;
  header.saverName.fill(0);
  std::memcpy(header.saverName.data(), name.data(), name.size());
  return true;
}

rc::Result ValidateScreenSaverName(std::string_view name) {
  return IsPlainFileName(name) ? rc::kOk : rc::kUnsafeSaverName;
}

rc::Result ValidateSaverProgramRecord(const PayloadBlock& block) {
  const PayloadRecord& program = *block.Slot(kSlotSaverProgram);
  const std::string expected =
      ScreenSaverNameBytes(block.header) + std::string(kSaverProgramExtension);
  const bool named = EqualIgnoringAsciiCase(program.Name(), expected);
  return named && program.destination == kSystemFolderDestination ? rc::kOk
                                                                  : rc::kBadSaverProgramRecord;
}

rc::Result StoredLength(const PayloadRecord& record, std::uint32_t& length) {
  if (record.firstByte < 0 || record.lastByte < 0 || record.lastByte < record.firstByte)
    return rc::kBadRecordRange;
  const std::int64_t n =
      static_cast<std::int64_t>(record.lastByte) - static_cast<std::int64_t>(record.firstByte) + 1;
  if (n > std::numeric_limits<std::int32_t>::max()) return rc::kBadRecordRange;
  length = static_cast<std::uint32_t>(n);
  return rc::kOk;
}

rc::Result DestinationOf(const PayloadRecord& record, Destination& out) {
  const std::string name = record.Name();
  Destination d;
  switch (record.destination) {
    case 1: case 5: case 6: case 10:
      d = {FolderKind::SaverData, name};
      break;
    case 2:
      d = {FolderKind::System, name};
      break;
    case 3:
      d = name == kFlashSetupName ? Destination{FolderKind::Work, name}
                                  : Destination{FolderKind::System,
                                                ReplaceExtension(name, kLibraryExtension)};
      break;
    case 4:
      d = {FolderKind::Work,
           name == kDecompressorStoredName ? std::string(kDecompressorLibraryName) : name};
      break;
    case 7:
      d = {FolderKind::Work, name};
      break;
    default:  // 0, 8, 9 have no path; anything else is not a kind at all
      return rc::kBadDestination;
  }
  // The record's own name must be plain; the extension rule cannot make it unsafe.
  if (!IsPlainFileName(name)) return rc::kUnsafeRecordName;
  out = std::move(d);
  return rc::kOk;
}

rc::Result ValidateRecord(const PayloadRecord& record, std::uint64_t fileSize) {
  if (record.IsEmpty()) return rc::kEmptySlot;
  Destination ignored;
  if (const rc::Result r = DestinationOf(record, ignored); r != rc::kOk) return r;
  std::uint32_t length = 0;
  if (const rc::Result r = StoredLength(record, length); r != rc::kOk) return r;
  if (record.compressed != 0 && record.unpackedSize < 0) return rc::kBadRecordRange;
  if (static_cast<std::uint64_t>(record.lastByte) >= fileSize) return rc::kShortRead;
  return rc::kOk;
}

}  // namespace payload
