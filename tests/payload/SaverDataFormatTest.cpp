// The screen saver's data file: layout, writer-to-reader round trip and the
// rejections that keep a bad file from writing outside the data folder.
#include "payload/SaverDataFormat.h"

#include <cstring>
#include <limits>

#include <gtest/gtest.h>

#include "payload/LittleEndian.h"

namespace payload {
namespace {

using Bytes = std::vector<std::uint8_t>;

SaverContent Stored(const std::string& name, const std::string& text) {
  SaverContent c;
  c.name = name;
  c.data.assign(text.begin(), text.end());
  c.unpackedSize = static_cast<std::int32_t>(text.size());
  return c;
}

// The reference file: entryCount 1, saverContentKind 3, one movie entry.
Bytes ReferenceLikeFile() {
  SaverDataFile f;
  f.settings.SetSaverContentKind(kSaverContentInstallerMovie);
  SaverContent movie;
  movie.kind = kEntryKindInstallerMovie;
  movie.name = "Night.swf";
  f.entries.push_back(movie);
  Bytes bytes;
  EXPECT_EQ(rc::kOk, SerializeSaverDataFile(f, bytes));
  return bytes;
}

TEST(SaverDataLayout, ReferenceShapedFileIs1548Bytes) {
  const Bytes bytes = ReferenceLikeFile();
  ASSERT_EQ(1548u, bytes.size());
  EXPECT_EQ(1, LoadI32(bytes.data() + 212));
  EXPECT_EQ(3, LoadI32(bytes.data() + 1204));
  EXPECT_EQ(3, bytes[1240]);
  EXPECT_EQ(0, std::memcmp(bytes.data() + 1242, "Night.swf", 10));
  EXPECT_EQ(1504, LoadI32(bytes.data() + 1240 + 260));
  EXPECT_EQ(0, std::memcmp(bytes.data() + 1504, "CHUN", 4));
  for (std::size_t i = 1508; i < 1548; ++i) EXPECT_EQ(0, bytes[i]) << i;
}

TEST(SaverDataLayout, RoundTripKeepsSettingsEntriesAndData) {
  SaverDataFile f;
  for (std::size_t i = 0; i < kSettingsSize; ++i)
    f.settings.bytes[i] = static_cast<std::uint8_t>(i * 13);
  f.entries.push_back(Stored("a.txt", "hello"));
  f.entries.push_back(Stored("img\\b.bin", std::string("\0\1\2", 3)));
  SaverContent packed;
  packed.name = "c.dat";
  packed.compressed = true;
  packed.unpackedSize = 1000;
  packed.data = {0, 6, 0xAA, 0xBB};
  packed.tag = 0x12345678;
  f.entries.push_back(packed);
  f.entries.push_back(Stored("empty.txt", ""));

  Bytes bytes;
  ASSERT_EQ(rc::kOk, SerializeSaverDataFile(f, bytes));
  SaverDataFile g;
  ASSERT_EQ(rc::kOk, ParseSaverDataFile(bytes.data(), bytes.size(), g));
  EXPECT_EQ(4, g.settings.EntryCount());
  // All settings bytes but entryCount are handed on unchanged.
  for (std::size_t i = 0; i < kSettingsSize; ++i) {
    if (i >= kEntryCountOffset && i < kEntryCountOffset + 4) continue;
    ASSERT_EQ(f.settings.bytes[i], g.settings.bytes[i]) << i;
  }
  ASSERT_EQ(4u, g.entries.size());
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(f.entries[i].name, g.entries[i].name);
    EXPECT_EQ(f.entries[i].data, g.entries[i].data);
    EXPECT_EQ(f.entries[i].compressed, g.entries[i].compressed);
    EXPECT_EQ(f.entries[i].unpackedSize, g.entries[i].unpackedSize);
  }
  EXPECT_EQ(0x12345678u, g.entries[2].tag);
  Bytes again;
  ASSERT_EQ(rc::kOk, SerializeSaverDataFile(g, again));
  EXPECT_EQ(bytes, again);
}

TEST(SaverDataLayout, EntryCountZeroUsesOnlyTheSettings) {
  SaverDataFile f;
  Bytes bytes;
  ASSERT_EQ(rc::kOk, SerializeSaverDataFile(f, bytes));
  EXPECT_EQ(kSettingsSize, bytes.size());
  SaverDataFile g;
  ASSERT_EQ(rc::kOk, ParseSaverDataFile(bytes.data(), bytes.size(), g));
  EXPECT_TRUE(g.entries.empty());
}

TEST(SaverDataLayout, EntryNameWithoutNulHas256Bytes) {
  Bytes raw(kEntrySize, 'n');
  EXPECT_EQ(std::string(256, 'n'), ParseEntry(raw.data()).Name());
  SaverEntry e;
  EXPECT_FALSE(e.SetName(std::string(256, 'n')));  // no room for the NUL
  EXPECT_TRUE(e.SetName(std::string(255, 'n')));
}

TEST(SaverDataLayout, ChunkOfTheMovieEntryIsNotRead) {
  // saverContentKind 3 makes entry 1 the installer's movie even with kind 0;
  // its chunk offset may point anywhere.
  Bytes bytes = ReferenceLikeFile();
  bytes[1240] = 0;
  StoreI32(bytes.data() + 1240 + 260, -5);
  SaverDataFile g;
  ASSERT_EQ(rc::kOk, ParseSaverDataFile(bytes.data(), bytes.size(), g));
  EXPECT_TRUE(IsInstallerMovieEntry(g.settings, 1, g.entries[0].kind));
  EXPECT_FALSE(IsInstallerMovieEntry(g.settings, 2, 0));
}

TEST(SaverDataRejection, EntryCountNegativeOrAbove159) {
  EXPECT_EQ(rc::kOk, ValidateEntryCount(0));
  EXPECT_EQ(rc::kOk, ValidateEntryCount(159));
  for (std::int32_t bad : {-1, 160, std::numeric_limits<std::int32_t>::max(),
                           std::numeric_limits<std::int32_t>::min()}) {
    EXPECT_EQ(rc::kBadEntryCount, ValidateEntryCount(bad)) << bad;
    Bytes bytes = ReferenceLikeFile();
    StoreI32(bytes.data() + kEntryCountOffset, bad);
    SaverDataFile g;
    EXPECT_EQ(rc::kBadEntryCount, ParseSaverDataFile(bytes.data(), bytes.size(), g)) << bad;
  }
  SaverDataFile tooMany;
  tooMany.entries.assign(160, Stored("a.txt", "x"));
  Bytes out;
  EXPECT_EQ(rc::kBadEntryCount, SerializeSaverDataFile(tooMany, out));
}

TEST(SaverDataRejection, UnsafeEntryNames) {
  for (const char* name : {"..\\evil.dll", "a\\..\\..\\evil.dll", "../evil", "\\evil",
                           "C:\\evil", "C:evil", "\\\\host\\share\\evil", "a\\..", "con"}) {
    EXPECT_EQ(rc::kUnsafeEntryName, ValidateEntryName(name)) << name;
    Bytes bytes = ReferenceLikeFile();
    std::memset(bytes.data() + 1242, 0, 256);
    std::memcpy(bytes.data() + 1242, name, std::strlen(name));
    SaverDataFile g;
    EXPECT_EQ(rc::kUnsafeEntryName, ParseSaverDataFile(bytes.data(), bytes.size(), g)) << name;
    SaverDataFile f;
    f.entries.push_back(Stored(name, "x"));
    Bytes out;
    EXPECT_EQ(rc::kUnsafeEntryName, SerializeSaverDataFile(f, out)) << name;
  }
  EXPECT_EQ(rc::kOk, ValidateEntryName("sub\\deeper\\file.jpg"));
  EXPECT_EQ(rc::kOk, ValidateEntryName(""));  // skipped by the installer
}

TEST(SaverDataRejection, ShortFiles) {
  const Bytes bytes = ReferenceLikeFile();
  SaverDataFile g;
  EXPECT_EQ(rc::kShortRead, ParseSaverDataFile(bytes.data(), kSettingsSize - 1, g));
  EXPECT_EQ(rc::kShortRead, ParseSaverDataFile(bytes.data(), kSettingsSize + kEntrySize - 1, g));
}

TEST(SaverDataRejection, ChunksOutsideTheFile) {
  SaverDataFile f;
  f.entries.push_back(Stored("a.txt", "hello"));
  Bytes good;
  ASSERT_EQ(rc::kOk, SerializeSaverDataFile(f, good));
  const std::size_t entry = kSettingsSize;
  const std::size_t chunk = kSettingsSize + kEntrySize;

  struct Damage {
    const char* what;
    std::size_t offset;
    std::int32_t value;
  };
  const Damage damages[] = {
      {"negative chunk offset", entry + 260, -1},
      {"chunk header past the end", entry + 260, static_cast<std::int32_t>(good.size() - 43)},
      {"huge chunk offset", entry + 260, std::numeric_limits<std::int32_t>::max()},
      {"negative unpacked size", chunk + 8, -1},
      {"stored data past the end", chunk + 8, 6},
      {"huge stored size", chunk + 8, std::numeric_limits<std::int32_t>::max()},
  };
  for (const Damage& d : damages) {
    Bytes bad = good;
    StoreI32(bad.data() + d.offset, d.value);
    SaverDataFile g;
    EXPECT_EQ(rc::kBadChunk, ParseSaverDataFile(bad.data(), bad.size(), g)) << d.what;
  }
  Bytes packed = good;  // compressed with a negative or too large packed size
  StoreI32(packed.data() + chunk + 16, 1);
  for (std::int32_t size : {-1, 6, std::numeric_limits<std::int32_t>::max()}) {
    StoreI32(packed.data() + chunk + 12, size);
    SaverDataFile g;
    EXPECT_EQ(rc::kBadChunk, ParseSaverDataFile(packed.data(), packed.size(), g)) << size;
  }
}

TEST(SaverDataLocate, ZeroUnpackedSizeHasNoDataToCheck) {
  SaverEntry e;
  e.chunkOffset = 100;
  SaverChunkHeader h;
  h.packedSize = std::numeric_limits<std::int32_t>::max();
  h.compressed = 1;
  ChunkData where;
  ASSERT_EQ(rc::kOk, LocateChunkData(e, h, 144, where));
  EXPECT_EQ(0u, where.length);
  EXPECT_EQ(rc::kBadChunk, LocateChunkData(e, h, 143, where));  // header itself cut off
}

TEST(SaverDataLocate, StoredAndCompressedLengths) {
  SaverEntry e;
  e.chunkOffset = 2000;
  SaverChunkHeader h;
  h.unpackedSize = 300;
  h.packedSize = 100;
  ChunkData where;
  ASSERT_EQ(rc::kOk, LocateChunkData(e, h, 2344, where));
  EXPECT_EQ(2044u, where.offset);
  EXPECT_EQ(300u, where.length);
  EXPECT_FALSE(where.compressed);
  h.compressed = 1;
  ASSERT_EQ(rc::kOk, LocateChunkData(e, h, 2144, where));
  EXPECT_EQ(100u, where.length);
  EXPECT_EQ(300u, where.unpackedSize);
  EXPECT_TRUE(where.compressed);
}

TEST(SaverDataWriter, StoredDataMustMatchItsSize) {
  SaverDataFile f;
  SaverContent c = Stored("a.txt", "hello");
  c.unpackedSize = 4;
  f.entries.push_back(c);
  Bytes out;
  EXPECT_EQ(rc::kBadChunk, SerializeSaverDataFile(f, out));
}

}  // namespace
}  // namespace payload
