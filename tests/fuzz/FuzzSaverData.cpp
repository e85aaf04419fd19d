// Fuzz target: the screen saver's data file, read both ways the project reads
// it: field by field as the installer does through its file handle, and whole
// by the tool, whose result must write back and read again unchanged.
#include <cstdint>
#include <cstring>
#include <vector>

#include "payload/SaverDataFormat.h"
#include "tests/fuzz/FuzzCheck.h"

using namespace payload;

namespace {

// The installer's walk: settings, entry count, entries, then each chunk.
void ReadFieldByField(const std::uint8_t* data, std::size_t size) {
  SaverSettings settings;
  if (ParseSettings(data, size, settings) != rc::kOk) {
    FUZZ_CHECK(size < kSettingsSize, "settings refused");
    return;
  }
  const std::int32_t count = settings.EntryCount();
  if (ValidateEntryCount(count) != rc::kOk) {
    FUZZ_CHECK(count < 0 || count > kMaxEntryCount, "entry count refused");
    return;
  }
  FUZZ_CHECK(TableSize(count) == kSettingsSize + static_cast<std::size_t>(count) * kEntrySize, "table size");
  std::vector<SaverEntry> entries;
  if (ParseEntries(data + kSettingsSize, size - kSettingsSize, count, entries) != rc::kOk) return;
  FUZZ_CHECK(entries.size() == static_cast<std::size_t>(count), "entries parsed");
  FUZZ_CHECK(TableSize(count) <= size, "entry table beyond the file");

  for (std::int32_t i = 0; i < count; ++i) {
    const SaverEntry& entry = entries[static_cast<std::size_t>(i)];
    const std::string name = entry.Name();
    if (!name.empty())
      FUZZ_CHECK(fuzzcheck::IsRelativeCp932Path(name), "entry name leaves the data folder: " + name);
    if (name.empty() || IsInstallerMovieEntry(settings, i + 1, entry.kind)) continue;
    if (CheckChunkHeaderInFile(entry, size) != rc::kOk) continue;
    FUZZ_CHECK(entry.chunkOffset >= 0 &&
                   static_cast<std::uint64_t>(entry.chunkOffset) + kChunkHeaderSize <= size,
               "chunk header beyond the file");
    const SaverChunkHeader header = ParseChunkHeader(data + entry.chunkOffset);
    std::uint8_t written[kChunkHeaderSize];
    SerializeChunkHeader(header, written);
    FUZZ_CHECK(std::memcmp(written, data + entry.chunkOffset, kChunkHeaderSize) == 0,
               "chunk header does not write back");
    ChunkData where;
    if (LocateChunkData(entry, header, size, where) != rc::kOk) continue;
    FUZZ_CHECK(where.offset + where.length <= size, "chunk data beyond the file");
    FUZZ_CHECK(header.unpackedSize >= 0, "negative unpacked size accepted");
    fuzzcheck::Touch(data + where.offset, where.length);
  }
}

bool SameContent(const SaverContent& a, const SaverContent& b) {
  return a.kind == b.kind && a.name == b.name && a.tag == b.tag && a.compressed == b.compressed &&
         a.unpackedSize == b.unpackedSize && a.data == b.data;
}

void ReadWhole(const std::uint8_t* data, std::size_t size) {
  SaverDataFile file;
  if (ParseSaverDataFile(data, size, file) != rc::kOk) return;
  for (const SaverContent& c : file.entries) {
    // Skipped entries cannot be written back, nor can a name that fills its
    // whole field without a NUL: the reader takes all 256 bytes, the writer
    // keeps room for the terminator.
    if (c.name.empty() || c.name.size() >= kEntryNameSize) return;
    FUZZ_CHECK(fuzzcheck::IsRelativeCp932Path(c.name), "entry name leaves the data folder: " + c.name);
  }
  std::vector<std::uint8_t> bytes;
  FUZZ_CHECK(SerializeSaverDataFile(file, bytes) == rc::kOk, "a file that was read cannot be written");
  SaverDataFile again;
  FUZZ_CHECK(ParseSaverDataFile(bytes.data(), bytes.size(), again) == rc::kOk, "written file unreadable");
  FUZZ_CHECK(again.entries.size() == file.entries.size(), "entry count changed");
  for (std::size_t i = 0; i < file.entries.size(); ++i)
    FUZZ_CHECK(SameContent(file.entries[i], again.entries[i]), "entry changed: " + file.entries[i].name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ReadFieldByField(data, size);
  ReadWhole(data, size);
  return 0;
}
