// The package header and table: layout, round trip, slot access, the
// destination rule and every rejection of a bad record.
#include "payload/PayloadFormat.h"

#include <cstring>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

namespace payload {
namespace {

PayloadRecord MakeRecord(std::string_view name, std::int32_t destination, std::int32_t first = 4000,
                         std::int32_t last = 4099) {
  PayloadRecord r;
  EXPECT_TRUE(r.SetName(name));
  r.destination = destination;
  r.firstByte = first;
  r.lastByte = last;
  return r;
}

// A block with a value in every field, so that a misplaced field shows.
PayloadBlock SampleBlock() {
  PayloadBlock b;
  b.header.contentKind = kContentMovieAlt;
  b.header.offerDisplayProperties = 1;
  EXPECT_TRUE(SetScreenSaverName(b.header, "Night Saver"));
  for (int i = 0; i < kSlotCount; ++i) {
    PayloadRecord& r = *b.Slot(i);
    r.SetName("file" + std::to_string(i) + ".bin");
    r.firstByte = 0x01020300 + i;
    r.lastByte = 0x01020400 + i;
    r.destination = 7;
    r.compressed = static_cast<std::uint8_t>(i % 2);
    r.packedSize = 0xA0B0C0D0u + static_cast<std::uint32_t>(i);
    r.unpackedSize = 512000 + i;
  }
  return b;
}

TEST(PayloadLayout, HeaderFieldsSitAtTheirOffsets) {
  const auto bytes = SerializeBlock(SampleBlock());
  const std::uint8_t start[] = {3, 0, 0, 0, 1, 'N', 'i', 'g', 'h', 't'};
  EXPECT_EQ(0, std::memcmp(bytes.data(), start, sizeof start));
  for (std::size_t i = 5 + 11; i < kHeaderSize; ++i) EXPECT_EQ(0, bytes[i]) << i;
}

TEST(PayloadLayout, RecordFieldsAreLittleEndianAtTheirOffsets) {
  const auto bytes = SerializeBlock(SampleBlock());
  const std::uint8_t* slot2 = bytes.data() + kHeaderSize + 2 * kRecordSize;
  EXPECT_EQ(9, slot2[0]);
  EXPECT_EQ(0, std::memcmp(slot2 + 1, "file2.bin", 9));
  const std::uint8_t first[] = {0x02, 0x03, 0x02, 0x01};
  EXPECT_EQ(0, std::memcmp(slot2 + 256, first, 4));
  const std::uint8_t last[] = {0x02, 0x04, 0x02, 0x01};
  EXPECT_EQ(0, std::memcmp(slot2 + 260, last, 4));
  EXPECT_EQ(7, slot2[264]);
  EXPECT_EQ(0, slot2[268]);
  const std::uint8_t packed[] = {0xD2, 0xC0, 0xB0, 0xA0};
  EXPECT_EQ(0, std::memcmp(slot2 + 272, packed, 4));
  const std::uint8_t unpacked[] = {0x02, 0xD0, 0x07, 0x00};  // 512,002
  EXPECT_EQ(0, std::memcmp(slot2 + 276, unpacked, 4));
  EXPECT_EQ(1, bytes[kHeaderSize + 3 * kRecordSize + 268]);
}

TEST(PayloadLayout, WriterToReaderRoundTripIsByteExact) {
  const PayloadBlock written = SampleBlock();
  const auto bytes = SerializeBlock(written);
  PayloadBlock read;
  ASSERT_EQ(rc::kOk, ParseBlock(bytes.data(), bytes.size(), read));
  EXPECT_EQ(bytes, SerializeBlock(read));
  EXPECT_EQ("file10.bin", read.Slot(10)->Name());
  EXPECT_EQ(512000 + 10, read.Slot(10)->unpackedSize);
  EXPECT_EQ(0xA0B0C0D0u + 4, read.Slot(4)->packedSize);
  EXPECT_EQ("Night Saver", ScreenSaverNameBytes(read.header));
}

TEST(PayloadLayout, ArbitraryBytesSurviveParseAndSerialize) {
  // Reserved bytes, padding and stale name bytes are kept, so that a block
  // read from any package writes back unchanged.
  std::vector<std::uint8_t> bytes(kBlockSize);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
  PayloadBlock block;
  ASSERT_EQ(rc::kOk, ParseBlock(bytes.data(), bytes.size(), block));
  const auto again = SerializeBlock(block);
  EXPECT_TRUE(std::equal(again.begin(), again.end(), bytes.begin()));
}

TEST(PayloadLayout, FewerThanBlockSizeBytesGivePackageTooShort) {
  const auto bytes = SerializeBlock(SampleBlock());
  PayloadBlock block;
  block.header.contentKind = 99;
  EXPECT_EQ(rc::kPackageTooShort, ParseBlock(bytes.data(), kBlockSize - 1, block));
  EXPECT_EQ(rc::kPackageTooShort, ParseBlock(bytes.data(), 0, block));
  EXPECT_EQ(99, block.header.contentKind);  // untouched
}

TEST(PayloadSlots, AccessBySlotNumberOnly) {
  PayloadBlock block = SampleBlock();
  EXPECT_EQ("file0.bin", block.Slot(0)->Name());
  EXPECT_EQ("file7.bin", block.Slot(7)->Name());
  EXPECT_EQ(nullptr, block.Slot(-1));
  EXPECT_EQ(nullptr, block.Slot(kSlotCount));
  const PayloadBlock& constBlock = block;
  EXPECT_EQ(block.Slot(3), constBlock.Slot(3));
}

TEST(PayloadSlots, NameLengthZeroIsAnEmptySlot) {
  PayloadRecord r = MakeRecord("x.bin", 7);
  r.nameLength = 0;
  EXPECT_TRUE(r.IsEmpty());
  EXPECT_EQ(rc::kEmptySlot, ValidateRecord(r, 1u << 20));
}

TEST(PayloadNames, BytesBehindTheNameLengthAreIgnored) {
  PayloadRecord r;
  std::memcpy(r.nameField.data(), "saver1.dll-old-and-longer", 25);
  r.nameLength = 10;
  EXPECT_EQ("saver1.dll", r.Name());
}

TEST(PayloadNames, SetNameClearsLeftoversAndRefusesOverlongNames) {
  PayloadRecord r;
  ASSERT_TRUE(r.SetName("a-much-longer-name.bin"));
  ASSERT_TRUE(r.SetName("b.bin"));
  EXPECT_EQ(0, r.nameField[5]);
  EXPECT_TRUE(r.SetName(std::string(255, 'n')));
  EXPECT_FALSE(r.SetName(std::string(256, 'n')));
  EXPECT_EQ(255, r.nameLength);
}

TEST(PayloadNames, SaverNameOfSixtyFourCharactersWithoutNul) {
  PayloadHeader h;
  const std::string name(64, 'S');
  ASSERT_TRUE(SetScreenSaverName(h, name));
  EXPECT_EQ(name, ScreenSaverNameBytes(h));
  std::array<std::uint8_t, kHeaderSize> bytes{};
  SerializeHeader(h, bytes.data());
  bytes[69] = 'X';  // padding right behind the name field is not part of the name
  EXPECT_EQ(name, ScreenSaverNameBytes(ParseHeader(bytes.data())));
  EXPECT_FALSE(SetScreenSaverName(h, std::string(65, 'S')));
}

TEST(PayloadNames, SaverNameEndsAtTheFirstNul) {
  PayloadHeader h;
  std::memcpy(h.saverName.data(), "Abc\0stale", 9);
  EXPECT_EQ("Abc", ScreenSaverNameBytes(h));
}

TEST(PayloadNames, SaverNameMustBeAPlainNonEmptyName) {
  EXPECT_EQ(rc::kOk, ValidateScreenSaverName("Night Saver"));
  EXPECT_EQ(rc::kUnsafeSaverName, ValidateScreenSaverName(""));
  EXPECT_EQ(rc::kUnsafeSaverName, ValidateScreenSaverName("..\\..\\evil"));
  EXPECT_EQ(rc::kUnsafeSaverName, ValidateScreenSaverName("C:x"));
}

TEST(PayloadRange, FirstEqualsLastIsOneByte) {
  std::uint32_t length = 0;
  ASSERT_EQ(rc::kOk, StoredLength(MakeRecord("a", 7, 700, 700), length));
  EXPECT_EQ(1u, length);
}

TEST(PayloadRange, ReferenceSlotSixLength) {
  std::uint32_t length = 0;
  ASSERT_EQ(rc::kOk, StoredLength(MakeRecord("a", 2, 1258898, 1461457), length));
  EXPECT_EQ(202560u, length);
}

TEST(PayloadRange, BadRangesAreRejected) {
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  const std::pair<std::int32_t, std::int32_t> bad[] = {
      {-1, 10}, {0, -1}, {kMin, kMax}, {100, 99}, {0, kMax}, {kMin, -1}};
  for (const auto& [first, last] : bad) {
    std::uint32_t length = 12345;
    EXPECT_EQ(rc::kBadRecordRange, StoredLength(MakeRecord("a", 7, first, last), length))
        << first << ".." << last;
    EXPECT_EQ(12345u, length);
  }
  std::uint32_t length = 0;
  EXPECT_EQ(rc::kOk, StoredLength(MakeRecord("a", 7, 1, kMax), length));
  EXPECT_EQ(static_cast<std::uint32_t>(kMax), length);
}

TEST(PayloadRange, DataBehindTheFileEndIsAShortReadBeforeAnyAllocation) {
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  EXPECT_EQ(rc::kShortRead, ValidateRecord(MakeRecord("a.bin", 7, 1, kMax), 5000));
  EXPECT_EQ(rc::kShortRead, ValidateRecord(MakeRecord("a.bin", 7, 4000, 5000), 5000));
  EXPECT_EQ(rc::kOk, ValidateRecord(MakeRecord("a.bin", 7, 4000, 4999), 5000));
}

TEST(PayloadRange, DataOutOfSlotOrderOrBeforeTheTableIsFine) {
  // Only each record's own offsets count: data in front of the table (inside
  // the image) or in reverse slot order is valid.
  EXPECT_EQ(rc::kOk, ValidateRecord(MakeRecord("a.bin", 7, 10, 19), 5000));
  EXPECT_EQ(rc::kOk, ValidateRecord(MakeRecord("b.bin", 7, 4500, 4999), 5000));
  EXPECT_EQ(rc::kOk, ValidateRecord(MakeRecord("c.bin", 7, 4000, 4499), 5000));
}

TEST(PayloadRange, CompressedRecordNeedsNonNegativeUnpackedSize) {
  PayloadRecord r = MakeRecord("a.bin", 7);
  r.compressed = 1;
  r.unpackedSize = -1;
  EXPECT_EQ(rc::kBadRecordRange, ValidateRecord(r, 1u << 20));
  r.compressed = 0;  // stored records never read it
  EXPECT_EQ(rc::kOk, ValidateRecord(r, 1u << 20));
}

struct DestinationCase {
  std::int32_t kind;
  const char* name;
  FolderKind folder;
  const char* fileName;
};

TEST(PayloadDestination, TheRuleForEveryKind) {
  const DestinationCase cases[] = {
      {1, "a.dat", FolderKind::SaverData, "a.dat"},
      {5, "saver1.dll", FolderKind::SaverData, "saver1.dll"},
      {6, "install.exe", FolderKind::SaverData, "install.exe"},
      {10, "b.txt", FolderKind::SaverData, "b.txt"},
      {2, "Night.scr", FolderKind::System, "Night.scr"},
      {3, "flashax.exe", FolderKind::Work, "flashax.exe"},
      {3, "FLASHAX.EXE", FolderKind::System, "FLASHAX.dll"},
      {3, "player.setup.exe", FolderKind::System, "player.setup.dll"},
      {3, "noext", FolderKind::System, "noext.dll"},
      {4, "impborl.dat", FolderKind::Work, "impborl.dll"},
      {4, "IMPBORL.DAT", FolderKind::Work, "IMPBORL.DAT"},
      {4, "impborl.dat2", FolderKind::Work, "impborl.dat2"},
      {7, "installer.swf", FolderKind::Work, "installer.swf"},
  };
  for (const auto& c : cases) {
    Destination d;
    ASSERT_EQ(rc::kOk, DestinationOf(MakeRecord(c.name, c.kind), d)) << c.kind << " " << c.name;
    EXPECT_EQ(c.folder, d.folder) << c.kind << " " << c.name;
    EXPECT_EQ(c.fileName, d.fileName) << c.kind << " " << c.name;
  }
}

TEST(PayloadDestination, KindsWithoutAPathAreRejected) {
  for (std::int32_t kind : {0, 8, 9, 11, -1, 256, std::numeric_limits<std::int32_t>::min()}) {
    Destination d;
    d.fileName = "unchanged";
    EXPECT_EQ(rc::kBadDestination, DestinationOf(MakeRecord("a.bin", kind), d)) << kind;
    EXPECT_EQ("unchanged", d.fileName);
    EXPECT_EQ(rc::kBadDestination, ValidateRecord(MakeRecord("a.bin", kind), 1u << 20));
  }
}

TEST(PayloadDestination, NamesThatAreNotPlainFileNamesAreRejected) {
  for (const char* name : {"..", ".", "..\\x.dll", "sub\\x.dll", "sub/x.dll", "C:x.dll",
                           "\\x.dll", "x.dll:stream", "CON", "nul.txt", "Com1.dll", "LPT9",
                           "a*.dll", "a\tb"}) {
    Destination d;
    EXPECT_EQ(rc::kUnsafeRecordName, DestinationOf(MakeRecord(name, 7), d)) << name;
    EXPECT_EQ(rc::kUnsafeRecordName, ValidateRecord(MakeRecord(name, 2), 1u << 20)) << name;
  }
}

TEST(PayloadDestination, DoubleByteNameWithBackslashTrailByteIsPlain) {
  // "ソフト.scr": the first character is 0x83 0x5C.
  const std::string name = "\x83\x5C\x83\x74\x83\x67.scr";
  Destination d;
  ASSERT_EQ(rc::kOk, DestinationOf(MakeRecord(name, 2), d));
  EXPECT_EQ(name, d.fileName);
  // The extension rule finds the real dot, not a byte inside a character.
  ASSERT_EQ(rc::kOk, DestinationOf(MakeRecord("\x83\x5C.exe", 3), d));
  EXPECT_EQ("\x83\x5C.dll", d.fileName);
}

struct SaverProgramCase {
  const char* saverName;
  const char* programName;
  std::int32_t destination;
  rc::Result expected;
};

TEST(PayloadSaverProgram, SlotSixIsTheSaversOwnProgramInTheSystemFolder) {
  // "ア" is 0x83 0x41 and "ヂ" 0x83 0x61: a second byte that looks like a
  // letter is not one, so the two names differ.
  const SaverProgramCase cases[] = {
      {"Night", "Night.scr", 2, rc::kOk},
      {"Night", "NIGHT.SCR", 2, rc::kOk},
      {"night saver", "Night Saver.Scr", 2, rc::kOk},
      {"\x83\x41Z", "\x83\x41z.scr", 2, rc::kOk},
      {"\x83\x41", "\x83\x61.scr", 2, rc::kBadSaverProgramRecord},
      {"Night", "Night.scr", 1, rc::kBadSaverProgramRecord},
      {"Night", "Night.scr", 3, rc::kBadSaverProgramRecord},
      {"Night", "Night.exe", 2, rc::kBadSaverProgramRecord},
      {"Night", "Night", 2, rc::kBadSaverProgramRecord},
      {"Night", "Night.scr.scr", 2, rc::kBadSaverProgramRecord},
      {"Night", "Nights.scr", 2, rc::kBadSaverProgramRecord},
      {"Night", "user32.dll", 2, rc::kBadSaverProgramRecord},
      {"Night", "", 2, rc::kBadSaverProgramRecord},
  };
  for (const auto& c : cases) {
    PayloadBlock block;
    ASSERT_TRUE(SetScreenSaverName(block.header, c.saverName));
    *block.Slot(kSlotSaverProgram) = MakeRecord(c.programName, c.destination);
    EXPECT_EQ(c.expected, ValidateSaverProgramRecord(block))
        << c.saverName << " / " << c.programName << " / " << c.destination;
  }
}

}  // namespace
}  // namespace payload
