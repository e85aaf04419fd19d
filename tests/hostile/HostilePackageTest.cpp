// Hostile packages, end to end: installers assembled with the lvpack library,
// then edited into what the tool never writes, run as a user would run them.
// Every case must end within its time limit with a clear code (silent packages
// exit with the installation's result) and leave the machine as it found it,
// apart from the screen saver's own places where an installation is allowed
// to succeed.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdio>
#include <cstring>

#include "dcl/DclBuffer.h"
#include "payload/PayloadFormat.h"
#include "payload/SaverDataFormat.h"
#include "system/ResultCodes.h"
#include "tests/hostile/HostileSupport.h"

namespace hostile {
namespace {

constexpr DWORD kCaseLimitMs = 30000;
constexpr DWORD kMovieLimitMs = 90000;
constexpr std::int32_t kMaxInt32 = 0x7FFFFFFF;

std::string CaseName() {
  std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  for (char& c : name)
    if (c == '/') c = '_';
  return name;
}

class HostilePackage : public ::testing::Test {
 protected:
  // A machine where one screen saver was installed already: the player stand-in
  // is in place, so the cases below do not install it and the snapshots see
  // only what a case does.
  static void SetUpTestSuite() {
    if (fs::exists(SystemFolder() / "Warmup Saver.scr")) return;
    const fs::path folder = CaseFolder("warmup");
    lvpack::InstallerFile installer = Assemble(SilentPackage(folder, "Warmup Saver"), folder / "setup.exe");
    Save(installer);
    const Outcome outcome = RunInstaller(installer.path, kCaseLimitMs);
    ASSERT_TRUE(outcome.ended && outcome.exitCode == 0) << Describe(outcome);
  }

  // A name of its own for every case, so that no case replaces another's saver.
  void SetUp() override {
    static int serial = 0;
    saverName_ = "Hostile Saver " + std::to_string(++serial);
    folder_ = CaseFolder(CaseName());
    installer_ = Assemble(SilentPackage(folder_, saverName_), folder_ / "setup.exe");
  }

  // Runs the edited installer and checks how it ended and what it left.
  void RunExpecting(std::int32_t expectedCode, DWORD limitMs = kCaseLimitMs,
                    const std::function<void(DWORD)>& onTick = {}) {
    Save(installer_);
    const Snapshot before = TakeSnapshot();
    const Outcome outcome = RunInstaller(installer_.path, limitMs, onTick);
    const Snapshot after = TakeSnapshot();
    ASSERT_TRUE(outcome.ended) << Describe(outcome);
    EXPECT_TRUE(ReportsCode(outcome, expectedCode))
        << "expected code " << expectedCode << "; " << Describe(outcome);
    std::printf("%s: %s\n", CaseName().c_str(), Describe(outcome).c_str());
    const auto changed = Compare(before, after, IsSystemIni);
    EXPECT_TRUE(changed.empty()) << "changed outside the allowed places:\n" << Join(changed);
  }

  payload::PayloadRecord& Slot(int slot) { return *installer_.block.Slot(slot); }

  std::string saverName_;
  fs::path folder_;
  lvpack::InstallerFile installer_;
};

// --- record names -------------------------------------------------------------

struct NamedSlot {
  const char* name;
  int slot;
};

class HostileRecordName : public HostilePackage, public ::testing::WithParamInterface<NamedSlot> {};

TEST_P(HostileRecordName, IsRefusedAndNothingIsWritten) {
  ASSERT_TRUE(Slot(GetParam().slot).SetName(GetParam().name));
  // The program's slot must carry the saver's own name: refused at start-up.
  RunExpecting(GetParam().slot == payload::kSlotSaverProgram ? rc::kBadSaverProgramRecord
                                                             : rc::kUnsafeRecordName);
}

// Each name on the decompressor (start-up, work folder), the saver program
// (system folder) or a saver file (data folder), so that refusals before and
// after the first file was placed are both seen.
INSTANTIATE_TEST_SUITE_P(
    Names, HostileRecordName,
    ::testing::Values(NamedSlot{"..\\evil.dll", payload::kSlotDecompressor},
                      NamedSlot{"..\\..\\evil.scr", payload::kSlotSaverProgram},
                      NamedSlot{"..\\evil.txt", payload::kSlotSaverFile},
                      NamedSlot{"sub\\evil.scr", payload::kSlotSaverProgram},
                      NamedSlot{"sub/evil.txt", payload::kSlotSaverFile},
                      NamedSlot{"evil.scr:hidden", payload::kSlotSaverProgram},
                      NamedSlot{"C:evil.dll", payload::kSlotDecompressor},
                      NamedSlot{"C:\\evil.scr", payload::kSlotSaverProgram},
                      NamedSlot{"\\evil.txt", payload::kSlotSaverFile},
                      NamedSlot{"CON", payload::kSlotSaverProgram},
                      NamedSlot{"NUL", payload::kSlotSaverFile},
                      NamedSlot{"COM1", payload::kSlotDecompressor},
                      NamedSlot{"AUX", payload::kSlotSaverProgram},
                      NamedSlot{"PRN", payload::kSlotSaverFile},
                      NamedSlot{"LPT1", payload::kSlotSaverProgram},
                      NamedSlot{"con.scr", payload::kSlotSaverProgram},
                      NamedSlot{"Nul.txt", payload::kSlotSaverFile},
                      NamedSlot{"com1.dat", payload::kSlotDecompressor},
                      NamedSlot{"AUX .txt", payload::kSlotSaverFile},
                      NamedSlot{"prn.dll", payload::kSlotEngine1},
                      NamedSlot{"lpt1.scr", payload::kSlotSaverProgram},
                      NamedSlot{"\x83/evil.txt", payload::kSlotSaverFile},
                      NamedSlot{"comctl32.dll", payload::kSlotSaverProgram},
                      NamedSlot{"Other.scr", payload::kSlotSaverProgram}));


TEST_F(HostilePackage, SaverNameWithPathIsRefused) {
  ASSERT_TRUE(payload::SetScreenSaverName(installer_.block.header, "..\\..\\Hostile"));
  RunExpecting(rc::kUnsafeSaverName);
}

// --- record ranges --------------------------------------------------------------

TEST_F(HostilePackage, NegativeFirstByteIsRefused) {
  Slot(payload::kSlotSaverProgram).firstByte = -4096;
  RunExpecting(rc::kBadRecordRange);
}

TEST_F(HostilePackage, LastByteBeforeFirstByteIsRefused) {
  auto& record = Slot(payload::kSlotEngine1);
  record.lastByte = record.firstByte - 100;
  RunExpecting(rc::kBadRecordRange);
}

TEST_F(HostilePackage, LastByteFarBeyondTheFileIsRefused) {
  Slot(payload::kSlotEngine2).lastByte = kMaxInt32 - 1;
  RunExpecting(rc::kShortRead);
}

// Records may share bytes, and may even cover the package's own table: the data
// are only read, so this installs, and only into the saver's places.
TEST_F(HostilePackage, OverlappingRecordsInstallOnlyIntoTheSaversPlaces) {
  const auto& program = Slot(payload::kSlotSaverProgram);
  Slot(payload::kSlotEngine1).firstByte = program.firstByte;
  Slot(payload::kSlotEngine1).lastByte = program.lastByte;
  Slot(payload::kSlotEngine2).firstByte = static_cast<std::int32_t>(installer_.payloadOffset);
  Slot(payload::kSlotEngine2).lastByte = program.firstByte + 10;
  Save(installer_);
  const Snapshot before = TakeSnapshot();
  const Outcome outcome = RunInstaller(installer_.path, kCaseLimitMs);
  const Snapshot after = TakeSnapshot();
  ASSERT_TRUE(outcome.ended) << Describe(outcome);
  std::printf("%s: %s\n", CaseName().c_str(), Describe(outcome).c_str());
  EXPECT_EQ(outcome.exitCode, 0u) << Describe(outcome);
  const auto changed = Compare(before, after, [&](const std::wstring& item) { return IsSaverPlace(item, saverName_); });
  EXPECT_TRUE(changed.empty()) << Join(changed);
  EXPECT_TRUE(fs::exists(SystemFolder() / (saverName_ + " dir") / "saver1.dll"));
}

// --- compressed records -----------------------------------------------------------

// An implode stream cut before its end marker, claiming a 2 GB file: the
// decoder runs out of input and the record is refused.
TEST_F(HostilePackage, CompressedRecordWhoseStreamNeverEndsIsRefused) {
  const dcl::Bytes program(200000, 'S');
  dcl::Bytes stream = dcl::ImplodeBuffer(program, dcl::kBinary, dcl::kDict4096).data;
  stream.resize(stream.size() / 2);
  ReplaceSlotData(installer_, payload::kSlotSaverProgram, stream);
  Slot(payload::kSlotSaverProgram).compressed = 1;
  Slot(payload::kSlotSaverProgram).unpackedSize = kMaxInt32;
  RunExpecting(rc::kExplodedSizeMismatch);
}

// --- the screen saver's data file -----------------------------------------------

class HostileDataFile : public HostilePackage {
 protected:
  // A valid data file of three entries: stored, compressed, stored in a subfolder.
  void SetUp() override {
    HostilePackage::SetUp();
    payload::SaverDataFile file;
    auto entry = [](const std::string& name, const dcl::Bytes& data, bool compressed) {
      payload::SaverContent c;
      c.kind = 1;
      c.name = name;
      c.compressed = compressed;
      c.unpackedSize = static_cast<std::int32_t>(data.size());
      c.data = compressed ? dcl::ImplodeBuffer(data, dcl::kBinary, dcl::kDict1024).data : data;
      return c;
    };
    file.entries = {entry("scene.dat", dcl::Bytes(3000, 'C'), false),
                    entry("packed.dat", dcl::Bytes(5000, 'Z'), true),
                    entry("pictures\\one.bmp", dcl::Bytes(500, 'P'), false)};
    ASSERT_EQ(payload::SerializeSaverDataFile(file, data_), rc::kOk);
  }
  std::uint8_t* EntryAt(int number) { return &data_[payload::TableSize(number - 1)]; }
  payload::SaverEntry Entry(int number) { return payload::ParseEntry(EntryAt(number)); }
  void SetEntry(int number, const payload::SaverEntry& e) { payload::SerializeEntry(e, EntryAt(number)); }
  std::uint8_t* ChunkOf(int number) { return &data_[static_cast<std::size_t>(Entry(number).chunkOffset)]; }
  void SetCount(std::int32_t count) {
    payload::SaverSettings s;
    std::memcpy(s.bytes.data(), data_.data(), payload::kSettingsSize);
    s.SetEntryCount(count);
    std::memcpy(data_.data(), s.bytes.data(), payload::kSettingsSize);
  }
  void RunDataFile(std::int32_t expectedCode) {
    ReplaceSlotData(installer_, payload::kSlotSaverDataFile, data_);
    RunExpecting(expectedCode);
  }
  std::vector<std::uint8_t> data_;
};

class HostileEntryName : public HostileDataFile, public ::testing::WithParamInterface<const char*> {};

TEST_P(HostileEntryName, IsRefusedAndTheInstalledPartIsRemoved) {
  payload::SaverEntry e = Entry(3);
  ASSERT_TRUE(e.SetName(GetParam()));
  SetEntry(3, e);
  RunDataFile(rc::kUnsafeEntryName);
}

INSTANTIATE_TEST_SUITE_P(Names, HostileEntryName,
                         ::testing::Values("..\\evil.txt", "pictures\\..\\..\\evil.txt", "../../evil.txt",
                                           "..", "C:\\evil.txt", "C:evil.txt", "\\evil.txt", "/evil.txt",
                                           "\\\\server\\share\\evil.txt", "pictures\\CON"));

class HostileEntryCount : public HostileDataFile, public ::testing::WithParamInterface<std::int32_t> {};

TEST_P(HostileEntryCount, IsRefused) {
  SetCount(GetParam());
  RunDataFile(rc::kBadEntryCount);
}

INSTANTIATE_TEST_SUITE_P(Counts, HostileEntryCount, ::testing::Values(-1, 160, kMaxInt32));

TEST_F(HostileDataFile, ChunkOffsetBeyondTheEndIsRefused) {
  payload::SaverEntry e = Entry(2);
  e.chunkOffset = static_cast<std::int32_t>(data_.size()) + 1000;
  SetEntry(2, e);
  RunDataFile(rc::kBadChunk);
}

TEST_F(HostileDataFile, NegativeChunkOffsetIsRefused) {
  payload::SaverEntry e = Entry(3);
  e.chunkOffset = -44;
  SetEntry(3, e);
  RunDataFile(rc::kBadChunk);
}

TEST_F(HostileDataFile, StoredChunkLongerThanTheFileIsRefused) {
  payload::SaverChunkHeader h = payload::ParseChunkHeader(ChunkOf(1));
  h.unpackedSize = kMaxInt32;
  payload::SerializeChunkHeader(h, ChunkOf(1));
  RunDataFile(rc::kBadChunk);
}

// A tiny implode stream that claims to unpack to 2 GB: explode ends after a few
// bytes, the length check refuses it, and no large file is left anywhere.
TEST_F(HostileDataFile, CompressedChunkClaimingTwoGigabytesIsRefused) {
  payload::SaverChunkHeader h = payload::ParseChunkHeader(ChunkOf(2));
  h.unpackedSize = kMaxInt32;
  payload::SerializeChunkHeader(h, ChunkOf(2));
  RunDataFile(rc::kExplodedSizeMismatch);
}

// --- the installer's movie ----------------------------------------------------------

// A compressed movie that declares 2 GB and whose zlib stream unpacks to about
// 48 MB of nothing. The start-up must finish (or fail) within the limit, and the
// panel's temporary folder must be gone afterwards.
TEST_F(HostilePackage, MovieDeclaring2GBWithAnExpandingStreamEnds) {
  std::vector<unsigned char> plain(48u << 20, 0);
  const unsigned char head[] = {'F', 'W', 'S', 6};
  std::memcpy(plain.data(), head, 4);
  uLongf packedSize = compressBound(static_cast<uLong>(plain.size() - 8));
  std::vector<unsigned char> packed(packedSize);
  ASSERT_EQ(compress2(packed.data(), &packedSize, plain.data() + 8, static_cast<uLong>(plain.size() - 8), 9), Z_OK);
  packed.resize(packedSize);
  Bytes movie = {'C', 'W', 'S', 6, 0xFF, 0xFF, 0xFF, 0x7F};
  movie.insert(movie.end(), packed.begin(), packed.end());

  installer_.block.header.contentKind = payload::kContentMovie;
  auto& presentation = Slot(payload::kSlotPresentation);
  ASSERT_TRUE(presentation.SetName("intro.swf"));
  presentation.destination = 7;
  presentation.compressed = 0;
  ReplaceSlotData(installer_, payload::kSlotPresentation, movie);
  Save(installer_);

  const Snapshot before = TakeSnapshot();
  // Whatever screen the installer reaches, it is closed as a user would close it.
  const Outcome outcome = RunInstaller(installer_.path, kMovieLimitMs, [](DWORD pid) {
    if (HWND form = FindProcessWindow(pid, L"TInstallerForm")) PostMessageW(form, WM_CLOSE, 0, 0);
  });
  const Snapshot after = TakeSnapshot();
  ASSERT_TRUE(outcome.ended) << Describe(outcome);
  std::printf("%s: %s\n", CaseName().c_str(), Describe(outcome).c_str());
  const auto changed = Compare(before, after, [&](const std::wstring& item) { return IsSaverPlace(item, saverName_); });
  EXPECT_TRUE(changed.empty()) << Join(changed);
}

}  // namespace
}  // namespace hostile
