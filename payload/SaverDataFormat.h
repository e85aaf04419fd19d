// The screen saver's data file (package slot 8): a 1,240-byte settings block,
// a table of 264-byte entries, and for each entry a chunk (44-byte header, then
// data) somewhere in the file. Integers little-endian, offsets from the start
// of the data file.
//
// Two levels of API:
//  - field level, for readers that work on an open file: parse the settings
//    block, the entry table and one chunk header from bytes they have read, and
//    locate a chunk's data with every offset checked against the file's length
//    (the Windows installer reads through its own file handle this way);
//  - whole-file level, for the tool: parse or serialize a complete data file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "system/ResultCodes.h"

namespace payload {

constexpr std::size_t kSettingsSize = 1240;
constexpr std::size_t kEntrySize = 264;
constexpr std::size_t kChunkHeaderSize = 44;
constexpr std::size_t kEntryNameSize = 256;
constexpr std::int32_t kMaxEntryCount = 159;  // the installer's entry table has 160 slots, slot 0 unused
constexpr std::size_t kEntryCountOffset = 212;
constexpr std::size_t kSaverContentKindOffset = 1204;
// saverContentKind 3: entry 1 is the installer's own movie, whatever its kind.
constexpr std::int32_t kSaverContentInstallerMovie = 3;
// Entry kind 3: a copy of the installer's movie, no data of its own.
constexpr std::uint8_t kEntryKindInstallerMovie = 3;
constexpr std::array<std::uint8_t, 4> kChunkMagic = {'C', 'H', 'U', 'N'};

// The screen saver's settings: opaque bytes except two fields.
struct SaverSettings {
  std::array<std::uint8_t, kSettingsSize> bytes{};

  std::int32_t EntryCount() const;
  void SetEntryCount(std::int32_t count);
  std::int32_t SaverContentKind() const;
  void SetSaverContentKind(std::int32_t kind);
};

struct SaverEntry {
  std::uint8_t kind = 0;
  std::uint8_t reserved = 0;
  std::array<std::uint8_t, kEntryNameSize> nameField{};  // NUL-terminated, code page 932
  std::array<std::uint8_t, 2> padding{};
  std::int32_t chunkOffset = 0;

  // Up to the first NUL; all 256 bytes when there is none. Empty: skip the entry.
  std::string Name() const;
  // False (nothing changed) when the name and its NUL do not fit 256 bytes.
  bool SetName(std::string_view name);
};

struct SaverChunkHeader {
  std::array<std::uint8_t, 4> magic = kChunkMagic;  // not checked by readers
  std::uint32_t tag = 0;
  std::int32_t unpackedSize = 0;  // length of the file; 0: nothing is written
  std::int32_t packedSize = 0;    // data bytes that follow when compressed
  std::int32_t compressed = 0;    // non-zero: an implode stream
  std::array<std::uint8_t, 24> reserved{};
};

// --- field level -------------------------------------------------------------

// Fewer than 1,240 bytes give rc::kShortRead.
rc::Result ParseSettings(const std::uint8_t* bytes, std::size_t size, SaverSettings& out);

// entryCount negative or above 159: rc::kBadEntryCount.
rc::Result ValidateEntryCount(std::int32_t count);

// Bytes the settings block and `count` entries take (count already validated).
std::size_t TableSize(std::int32_t count);

SaverEntry ParseEntry(const std::uint8_t* bytes);                     // 264 bytes
void SerializeEntry(const SaverEntry& entry, std::uint8_t* out);      // 264 bytes
SaverChunkHeader ParseChunkHeader(const std::uint8_t* bytes);         // 44 bytes
void SerializeChunkHeader(const SaverChunkHeader& h, std::uint8_t* out);  // 44 bytes

// An entry name must stay inside the data folder: a relative path of plain
// names (subfolders allowed, "\" or "/"). Absolute paths, drive letters, ".."
// components: rc::kUnsafeEntryName. The empty name (entry skipped) passes.
rc::Result ValidateEntryName(std::string_view name);

// Parses entries 1..count from the bytes behind the settings block (`bytes`
// points at offset 1,240; `size` bytes available) and validates their names.
// rc::kBadEntryCount, rc::kShortRead or rc::kUnsafeEntryName; on success
// out[i - 1] is entry i.
rc::Result ParseEntries(const std::uint8_t* bytes, std::size_t size, std::int32_t count,
                        std::vector<SaverEntry>& out);

// The chunk header of an entry lies inside the file: rc::kBadChunk otherwise.
rc::Result CheckChunkHeaderInFile(const SaverEntry& entry, std::uint64_t fileSize);

// Where a chunk's data lie, checked: sizes non-negative and the data inside the
// file (rc::kBadChunk otherwise). A chunk with unpackedSize 0 writes nothing and
// has no data to check.
struct ChunkData {
  std::uint64_t offset = 0;      // file offset of the first data byte
  std::uint32_t length = 0;      // data bytes to read: packedSize or unpackedSize
  bool compressed = false;
  std::uint32_t unpackedSize = 0;
};
rc::Result LocateChunkData(const SaverEntry& entry, const SaverChunkHeader& header,
                           std::uint64_t fileSize, ChunkData& out);

// Whether entry `number` (1-based) is a copy of the installer's movie: kind 3,
// or entry 1 when saverContentKind is 3. Such entries have no data of their own.
bool IsInstallerMovieEntry(const SaverSettings& settings, std::int32_t number, std::uint8_t kind);

// --- whole-file level ---------------------------------------------------------

// One entry with its data, as the tool sees it.
struct SaverContent {
  std::uint8_t kind = 0;
  std::string name;  // code page 932, relative to the data folder
  std::uint32_t tag = 0;
  bool compressed = false;
  std::int32_t unpackedSize = 0;   // length of the file
  std::vector<std::uint8_t> data;  // stored: the file; compressed: the implode stream
};

struct SaverDataFile {
  SaverSettings settings;
  std::vector<SaverContent> entries;  // entries[0] is entry 1
};

// Writes settings (entryCount set to the number of entries), the entry table
// and one chunk per entry in entry order; kind-3 entries get a chunk with all
// sizes 0. rc::kBadEntryCount, rc::kUnsafeEntryName, or rc::kBadChunk when a
// stored entry's data length differs from unpackedSize or the file would
// exceed 2 GB.
rc::Result SerializeSaverDataFile(const SaverDataFile& file, std::vector<std::uint8_t>& out);

// Reads a complete data file with every check of the field level; each
// entry's data is its chunk's raw data (still imploded when compressed).
rc::Result ParseSaverDataFile(const std::uint8_t* bytes, std::size_t size, SaverDataFile& out);

}  // namespace payload
