#include "payload/SaverDataFormat.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "payload/LittleEndian.h"
#include "payload/SafeNames.h"

namespace payload {
namespace {

// Field offsets inside an entry.
constexpr std::size_t kEntKind = 0;
constexpr std::size_t kEntReserved = 1;
constexpr std::size_t kEntName = 2;
constexpr std::size_t kEntPadding = 258;
constexpr std::size_t kEntChunkOffset = 260;
static_assert(kEntChunkOffset + 4 == kEntrySize, "entry layout");

// Field offsets inside a chunk header.
constexpr std::size_t kChkMagic = 0;
constexpr std::size_t kChkTag = 4;
constexpr std::size_t kChkUnpacked = 8;
constexpr std::size_t kChkPacked = 12;
constexpr std::size_t kChkCompressed = 16;
constexpr std::size_t kChkReserved = 20;
static_assert(kChkReserved + 24 == kChunkHeaderSize, "chunk header layout");

// Everything the format can address is a signed 32-bit offset.
constexpr std::uint64_t kMaxFileSize = static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());

}  // namespace

std::int32_t SaverSettings::EntryCount() const { return LoadI32(bytes.data() + kEntryCountOffset); }
void SaverSettings::SetEntryCount(std::int32_t count) {
  StoreI32(bytes.data() + kEntryCountOffset, count);
}
std::int32_t SaverSettings::SaverContentKind() const {
  return LoadI32(bytes.data() + kSaverContentKindOffset);
}
void SaverSettings::SetSaverContentKind(std::int32_t kind) {
  StoreI32(bytes.data() + kSaverContentKindOffset, kind);
}

std::string SaverEntry::Name() const {
  const auto* begin = nameField.data();
  const auto* end = std::find(begin, begin + kEntryNameSize, std::uint8_t{0});
  return std::string(reinterpret_cast<const char*>(begin), static_cast<std::size_t>(end - begin));
}

bool SaverEntry::SetName(std::string_view name) {
  if (name.size() >= kEntryNameSize || name.find('\0') != std::string_view::npos) return false;
  nameField.fill(0);
  std::memcpy(nameField.data(), name.data(), name.size());
  return true;
}

rc::Result ParseSettings(const std::uint8_t* bytes, std::size_t size, SaverSettings& out) {
  if (size < kSettingsSize) return rc::kShortRead;
  std::memcpy(out.bytes.data(), bytes, kSettingsSize);
  return rc::kOk;
}

rc::Result ValidateEntryCount(std::int32_t count) {
  return count < 0 || count > kMaxEntryCount ? rc::kBadEntryCount : rc::kOk;
}

std::size_t TableSize(std::int32_t count) {
  return kSettingsSize + static_cast<std::size_t>(count) * kEntrySize;
}

SaverEntry ParseEntry(const std::uint8_t* bytes) {
  SaverEntry e;
  e.kind = bytes[kEntKind];
  e.reserved = bytes[kEntReserved];
  std::memcpy(e.nameField.data(), bytes + kEntName, kEntryNameSize);
  std::memcpy(e.padding.data(), bytes + kEntPadding, e.padding.size());
  e.chunkOffset = LoadI32(bytes + kEntChunkOffset);
  return e;
}

void SerializeEntry(const SaverEntry& e, std::uint8_t* out) {
  out[kEntKind] = e.kind;
  out[kEntReserved] = e.reserved;
  std::memcpy(out + kEntName, e.nameField.data(), kEntryNameSize);
  std::memcpy(out + kEntPadding, e.padding.data(), e.padding.size());
  StoreI32(out + kEntChunkOffset, e.chunkOffset);
}

SaverChunkHeader ParseChunkHeader(const std::uint8_t* bytes) {
  SaverChunkHeader h;
  std::memcpy(h.magic.data(), bytes + kChkMagic, h.magic.size());
  h.tag = LoadU32(bytes + kChkTag);
  h.unpackedSize = LoadI32(bytes + kChkUnpacked);
  h.packedSize = LoadI32(bytes + kChkPacked);
  h.compressed = LoadI32(bytes + kChkCompressed);
  std::memcpy(h.reserved.data(), bytes + kChkReserved, h.reserved.size());
  return h;
}

void SerializeChunkHeader(const SaverChunkHeader& h, std::uint8_t* out) {
  std::memcpy(out + kChkMagic, h.magic.data(), h.magic.size());
  StoreU32(out + kChkTag, h.tag);
  StoreI32(out + kChkUnpacked, h.unpackedSize);
  StoreI32(out + kChkPacked, h.packedSize);
  StoreI32(out + kChkCompressed, h.compressed);
  std::memcpy(out + kChkReserved, h.reserved.data(), h.reserved.size());
}

rc::Result ValidateEntryName(std::string_view name) {
  if (name.empty()) return rc::kOk;
  return IsSafeRelativePath(name) ? rc::kOk : rc::kUnsafeEntryName;
}

rc::Result ParseEntries(const std::uint8_t* bytes, std::size_t size, std::int32_t count,
                        std::vector<SaverEntry>& out) {
  if (const rc::Result r = ValidateEntryCount(count); r != rc::kOk) return r;
  if (size < static_cast<std::size_t>(count) * kEntrySize) return rc::kShortRead;
  std::vector<SaverEntry> entries;
  entries.reserve(static_cast<std::size_t>(count));
  for (std::int32_t i = 0; i < count; ++i) {
    entries.push_back(ParseEntry(bytes + static_cast<std::size_t>(i) * kEntrySize));
    if (const rc::Result r = ValidateEntryName(entries.back().Name()); r != rc::kOk) return r;
  }
  out.swap(entries);
  return rc::kOk;
}

rc::Result CheckChunkHeaderInFile(const SaverEntry& entry, std::uint64_t fileSize) {
  if (entry.chunkOffset < 0) return rc::kBadChunk;
  if (static_cast<std::uint64_t>(entry.chunkOffset) + kChunkHeaderSize > fileSize)
    return rc::kBadChunk;
  return rc::kOk;
}

rc::Result LocateChunkData(const SaverEntry& entry, const SaverChunkHeader& header,
                           std::uint64_t fileSize, ChunkData& out) {
  if (const rc::Result r = CheckChunkHeaderInFile(entry, fileSize); r != rc::kOk) return r;
  if (header.unpackedSize < 0) return rc::kBadChunk;
  ChunkData d;
  d.offset = static_cast<std::uint64_t>(entry.chunkOffset) + kChunkHeaderSize;
  d.compressed = header.compressed != 0;
  d.unpackedSize = static_cast<std::uint32_t>(header.unpackedSize);
  if (header.unpackedSize != 0) {
    const std::int32_t length = d.compressed ? header.packedSize : header.unpackedSize;
    if (length < 0) return rc::kBadChunk;
    d.length = static_cast<std::uint32_t>(length);
    if (d.offset + d.length > fileSize) return rc::kBadChunk;
  }
  out = d;
  return rc::kOk;
}

bool IsInstallerMovieEntry(const SaverSettings& settings, std::int32_t number, std::uint8_t kind) {
  return kind == kEntryKindInstallerMovie ||
         (number == 1 && settings.SaverContentKind() == kSaverContentInstallerMovie);
}

rc::Result SerializeSaverDataFile(const SaverDataFile& file, std::vector<std::uint8_t>& out) {
  if (file.entries.size() > static_cast<std::size_t>(kMaxEntryCount)) return rc::kBadEntryCount;
  const auto count = static_cast<std::int32_t>(file.entries.size());

  std::uint64_t total = TableSize(count);
  for (const SaverContent& c : file.entries) {
    if (c.name.empty() || ValidateEntryName(c.name) != rc::kOk) return rc::kUnsafeEntryName;
    if (c.unpackedSize < 0) return rc::kBadChunk;
    if (c.kind != kEntryKindInstallerMovie && !c.compressed &&
        c.data.size() != static_cast<std::size_t>(c.unpackedSize))
      return rc::kBadChunk;
    total += kChunkHeaderSize + (c.kind == kEntryKindInstallerMovie ? 0 : c.data.size());
  }
  if (total > kMaxFileSize) return rc::kBadChunk;

  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(total), 0);
  SaverSettings settings = file.settings;
  settings.SetEntryCount(count);
  std::memcpy(bytes.data(), settings.bytes.data(), kSettingsSize);

  std::size_t chunkPos = TableSize(count);
  for (std::int32_t i = 0; i < count; ++i) {
    const SaverContent& c = file.entries[static_cast<std::size_t>(i)];
    SaverEntry entry;
    entry.kind = c.kind;
    if (!entry.SetName(c.name)) return rc::kUnsafeEntryName;
    entry.chunkOffset = static_cast<std::int32_t>(chunkPos);
    SerializeEntry(entry, bytes.data() + TableSize(i));

    SaverChunkHeader header;
    header.tag = c.tag;
    const bool hasData = c.kind != kEntryKindInstallerMovie;
    if (hasData) {
      header.unpackedSize = c.unpackedSize;
      header.packedSize = static_cast<std::int32_t>(c.data.size());
      header.compressed = c.compressed ? 1 : 0;
    }
    SerializeChunkHeader(header, bytes.data() + chunkPos);
    chunkPos += kChunkHeaderSize;
    if (hasData && !c.data.empty()) {
      std::memcpy(bytes.data() + chunkPos, c.data.data(), c.data.size());
      chunkPos += c.data.size();
    }
  }
  out.swap(bytes);
  return rc::kOk;
}

rc::Result ParseSaverDataFile(const std::uint8_t* bytes, std::size_t size, SaverDataFile& out) {
  SaverDataFile file;
  if (const rc::Result r = ParseSettings(bytes, size, file.settings); r != rc::kOk) return r;
  const std::int32_t count = file.settings.EntryCount();
  std::vector<SaverEntry> entries;
  if (const rc::Result r =
          ParseEntries(bytes + kSettingsSize, size - kSettingsSize, count, entries);
      r != rc::kOk)
    return r;

  for (std::int32_t i = 0; i < count; ++i) {
    const SaverEntry& entry = entries[static_cast<std::size_t>(i)];
    SaverContent c;
    c.kind = entry.kind;
    c.name = entry.Name();
    // Entries the installer skips or copies from its movie have no data to read.
    if (!c.name.empty() && !IsInstallerMovieEntry(file.settings, i + 1, entry.kind)) {
      if (const rc::Result r = CheckChunkHeaderInFile(entry, size); r != rc::kOk) return r;
      const SaverChunkHeader header =
          ParseChunkHeader(bytes + static_cast<std::size_t>(entry.chunkOffset));
      ChunkData where;
      if (const rc::Result r = LocateChunkData(entry, header, size, where); r != rc::kOk) return r;
      c.tag = header.tag;
      c.compressed = where.compressed;
      c.unpackedSize = header.unpackedSize;
      c.data.assign(bytes + where.offset, bytes + where.offset + where.length);
    }
    file.entries.push_back(std::move(c));
  }
  out = std::move(file);
  return rc::kOk;
}

}  // namespace payload
