// The package appended to the installer image: a 72-byte header, a table of
// eleven 280-byte records (slots 0 to 10) and the records' data. All offsets
// are absolute file offsets of the installer file; all integers little-endian.
//
// The structures hold every byte of the layout (reserved bytes, padding and the
// leftovers behind a record's name included), so that parsing and serializing
// are exact inverses: a block read from a package writes back byte for byte.
// Parsing never judges a record; ValidateRecord does, before a record's data is
// read or a path is made from it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "system/ResultCodes.h"

namespace payload {

constexpr std::size_t kHeaderSize = 72;
constexpr std::size_t kRecordSize = 280;
constexpr int kSlotCount = 11;
constexpr std::size_t kBlockSize = kHeaderSize + kSlotCount * kRecordSize;  // 3,152
constexpr std::size_t kSaverNameSize = 64;
constexpr std::size_t kRecordNameSize = 255;

// contentKind values: what the installer window presents.
constexpr std::uint8_t kContentBitmap = 1;
constexpr std::uint8_t kContentMovie = 2;
constexpr std::uint8_t kContentMovieAlt = 3;  // handled like kContentMovie
constexpr std::uint8_t kContentSilent = 4;    // install at once, no window
constexpr std::uint8_t kContentJpeg = 8;

// Slot numbers: a slot's number says what its file is for.
constexpr int kSlotInstallerImage = 0;
constexpr int kSlotDecompressor = 1;
constexpr int kSlotFlashSetup = 2;
constexpr int kSlotPresentation = 3;
constexpr int kSlotLicense = 4;
constexpr int kSlotDocument = 5;
constexpr int kSlotSaverProgram = 6;
constexpr int kSlotSaverFile = 7;
constexpr int kSlotSaverDataFile = 8;
constexpr int kSlotEngine1 = 9;
constexpr int kSlotEngine2 = 10;

// Names the destination rule compares exactly (case-sensitive, whole name).
constexpr std::string_view kFlashSetupName = "flashax.exe";
constexpr std::string_view kDecompressorStoredName = "impborl.dat";
constexpr std::string_view kDecompressorLibraryName = "impborl.dll";
constexpr std::string_view kLibraryExtension = ".dll";
constexpr std::string_view kSaverProgramExtension = ".scr";
constexpr std::int32_t kSystemFolderDestination = 2;  // the destination kind of slot 6

struct PayloadHeader {
  std::uint8_t contentKind = 0;
  std::uint8_t showLicense = 0;
  std::uint8_t hasDocument = 0;
  std::uint8_t reserved = 0;
  std::uint8_t offerDisplayProperties = 0;
  std::array<std::uint8_t, kSaverNameSize> saverName{};  // code page 932, NUL padded
  std::array<std::uint8_t, 3> padding{};
};

struct PayloadRecord {
  std::uint8_t nameLength = 0;                             // 0: the slot is empty
  std::array<std::uint8_t, kRecordNameSize> nameField{};  // only the first nameLength bytes count
  std::int32_t firstByte = 0;                              // absolute offset of the first stored byte
  std::int32_t lastByte = 0;                               // absolute offset of the last stored byte
  std::int32_t destination = 0;                            // destination kind 0..10
  std::uint8_t compressed = 0;                             // non-zero: an implode stream
  std::array<std::uint8_t, 3> padding{};
  std::uint32_t packedSize = 0;   // compressed records: the stored length; never read
  std::int32_t unpackedSize = 0;  // compressed records: the exploded length

  bool IsEmpty() const { return nameLength == 0; }
  // The file name: the first nameLength bytes (code page 932).
  std::string Name() const;
  // Sets length and name bytes; the bytes behind the name are cleared. False
  // (and nothing changed) when the name is longer than 255 bytes.
  bool SetName(std::string_view name);
};

// The header and the table: the process-wide block of the installer.
struct PayloadBlock {
  PayloadHeader header;
  std::array<PayloadRecord, kSlotCount> records;

  // Slot access by number; nullptr outside 0..10.
  const PayloadRecord* Slot(int slot) const;
  PayloadRecord* Slot(int slot);
};

// Parses exactly 72 / 280 / 3,152 bytes (the caller guarantees the length).
PayloadHeader ParseHeader(const std::uint8_t* bytes);
PayloadRecord ParseRecord(const std::uint8_t* bytes);
// Parses the block from what one read delivered: fewer than 3,152 bytes give
// rc::kPackageTooShort and leave `out` unchanged.
rc::Result ParseBlock(const std::uint8_t* bytes, std::size_t size, PayloadBlock& out);

void SerializeHeader(const PayloadHeader& header, std::uint8_t* out);  // 72 bytes
void SerializeRecord(const PayloadRecord& record, std::uint8_t* out);  // 280 bytes
std::array<std::uint8_t, kBlockSize> SerializeBlock(const PayloadBlock& block);

// The screen saver's name: saverName up to its first NUL, all 64 bytes when it
// has none. Code page 932 bytes.
std::string ScreenSaverNameBytes(const PayloadHeader& header);
// Sets saverName, NUL padded; false (nothing changed) when over 64 bytes.
bool SetScreenSaverName(PayloadHeader& header, std::string_view name);
// The name becomes a file name, a folder name and a registry key name on the
// target: it must be a non-empty plain file name. rc::kUnsafeSaverName otherwise.
rc::Result ValidateScreenSaverName(std::string_view name);

// Slot 6, the screen-saver program, goes to the system folder under the
// saver's own name: its name must be ScreenSaverNameBytes + ".scr" (ASCII
// letters compared without regard to case, double-byte characters exactly)
// and its destination 2. Anything else (an empty slot included) would put
// another file into the system folder, remove it again on rollback and leave
// the uninstall command without its program: rc::kBadSaverProgramRecord.
// The name itself is judged by ValidateScreenSaverName.
rc::Result ValidateSaverProgramRecord(const PayloadBlock& block);

// The stored length lastByte - firstByte + 1 with checked arithmetic:
// rc::kBadRecordRange for a negative offset, lastByte < firstByte, or a length
// that does not fit a signed 32-bit value.
rc::Result StoredLength(const PayloadRecord& record, std::uint32_t& length);

// Where a record's file goes: a folder kind and a file name; the Windows layer
// joins the name to the folder's path.
enum class FolderKind { Work, System, SaverData };
struct Destination {
  FolderKind folder = FolderKind::Work;
  std::string fileName;  // code page 932
};
// rc::kBadDestination for kinds 0, 8, 9 and anything outside 0..10;
// rc::kUnsafeRecordName when the record's name is not a plain file name.
rc::Result DestinationOf(const PayloadRecord& record, Destination& out);

// All checks a non-empty record must pass before its data is read: name,
// destination, stored range, and for a compressed record a non-negative
// unpackedSize. `fileSize` (the package file's length) additionally catches
// data lying beyond the end of the file: rc::kShortRead, before any buffer is
// allocated. An empty record gives rc::kEmptySlot.
rc::Result ValidateRecord(const PayloadRecord& record, std::uint64_t fileSize);

}  // namespace payload
