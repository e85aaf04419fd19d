// lvpack verify and extract on damaged and hostile installers, made with the
// test generator of hostile packages.
#include <limits>

#include "tests/tools/HostilePackages.h"
#include "tests/tools/LvpackFixture.h"
#include "tools/lvpack/Builder.h"
#include "tools/lvpack/Extract.h"
#include "tools/lvpack/Installer.h"
#include "tools/lvpack/ToolError.h"
#include "tools/lvpack/Verify.h"

namespace {

class LvpackVerifyTest : public LvpackTest {
 protected:
  void SetUp() override {
    LvpackTest::SetUp();
    sound_ = lvpack::ParseInstaller(Path("out.exe"),
                                    lvpack::BuildInstaller(lvpack::LoadManifest(SaveManifest())));
    ASSERT_TRUE(lvpack::VerifyInstaller(sound_).empty());
  }

  // The single problem verify reports; it must mention every given text.
  static void ExpectOneProblem(const lvpack::InstallerFile& f, std::initializer_list<const char*> texts) {
    const auto problems = lvpack::VerifyInstaller(f);
    ASSERT_EQ(1u, problems.size()) << (problems.empty() ? "none" : problems[0]);
    for (const char* t : texts) EXPECT_NE(std::string::npos, problems[0].find(t)) << problems[0];
  }

  lvpack::InstallerFile sound_;
};

TEST_F(LvpackVerifyTest, DamagedCompressedRecord) {
  lvpack::InstallerFile f = sound_;
  hostile::DamageStoredByte(f, 6, 0);  // the stream's literal-mode byte
  ExpectOneProblem(f, {"slot 6 (Night Saver.scr)", "damaged compressed data"});
}

TEST_F(LvpackVerifyTest, WrongUnpackedSize) {
  lvpack::InstallerFile f = sound_;
  hostile::SetUnpackedSize(f, 10, f.block.Slot(10)->unpackedSize + 1);
  ExpectOneProblem(f, {"slot 10 (saver2.dll)", "exploded size 1819 differs from unpackedSize 1820"});
}

TEST_F(LvpackVerifyTest, UnsafeNames) {
  lvpack::InstallerFile f = sound_;
  hostile::SetRecordName(f, 10, "..\\saver2.dll");
  ExpectOneProblem(f, {"slot 10", "not a plain file name", "-541"});
  f = sound_;
  hostile::SetRecordName(f, 7, "CON.txt");
  ExpectOneProblem(f, {"slot 7", "-541"});
  f = sound_;
  hostile::SetSaverName(f, "a:b");  // the program in slot 6 no longer bears its name either
  const auto problems = lvpack::VerifyInstaller(f);
  ASSERT_EQ(2u, problems.size());
  EXPECT_NE(std::string::npos, problems[0].find("header: saverName: ")) << problems[0];
  EXPECT_NE(std::string::npos, problems[0].find("-546")) << problems[0];
  EXPECT_NE(std::string::npos, problems[1].find("slot 6 (Night Saver.scr): ")) << problems[1];
  EXPECT_NE(std::string::npos, problems[1].find("-550")) << problems[1];
}

TEST_F(LvpackVerifyTest, BadDestinationsAndRanges) {
  for (std::int32_t kind : {0, 8, 9, 11, -3}) {
    lvpack::InstallerFile f = sound_;
    hostile::SetDestination(f, 2, kind);
    ExpectOneProblem(f, {"slot 2 (flashax.exe)", "-540"});
  }
  lvpack::InstallerFile f = sound_;
  const std::int32_t first = f.block.Slot(3)->firstByte;
  hostile::SetRange(f, 3, first, first - 1);
  ExpectOneProblem(f, {"slot 3", "-542"});
  hostile::SetRange(f, 3, -1, first);
  ExpectOneProblem(f, {"slot 3", "-542"});
  hostile::SetRange(f, 3, 0, std::numeric_limits<std::int32_t>::max());
  ExpectOneProblem(f, {"slot 3", "-542"});
  hostile::SetRange(f, 3, first, static_cast<std::int32_t>(f.bytes.size()));
  ExpectOneProblem(f, {"slot 3", "beyond the end of the file", "-30"});
}

TEST_F(LvpackVerifyTest, MissingRequiredSlot) {
  lvpack::InstallerFile f = sound_;
  hostile::EmptySlot(f, 1);
  ExpectOneProblem(f, {"slot 1", "required"});
}

TEST_F(LvpackVerifyTest, HostileDataFiles) {
  lvpack::InstallerFile f = sound_;
  hostile::SetDataEntryCount(f, 160);
  ExpectOneProblem(f, {"slot 8", "entryCount 160", "-543"});
  f = sound_;
  hostile::SetDataEntryCount(f, -1);
  ExpectOneProblem(f, {"slot 8", "-543"});
  f = sound_;
  hostile::SetDataEntryName(f, 2, "..\\..\\evil.dll");
  ExpectOneProblem(f, {"slot 8", "entry 2 (..\\..\\evil.dll): name leaves the data folder", "-544"});
  f = sound_;
  hostile::SetDataEntryName(f, 2, "C:\\evil.dll");
  ExpectOneProblem(f, {"slot 8", "-544"});
  f = sound_;
  hostile::SetDataChunkOffset(f, 2, std::numeric_limits<std::int32_t>::max());
  ExpectOneProblem(f, {"slot 8", "chunk", "-547"});
  f = sound_;
  hostile::SetDataChunkUnpackedSize(f, 4, 4001);  // stored data would run past the end
  ExpectOneProblem(f, {"slot 8", "-547"});
}

TEST_F(LvpackVerifyTest, CompressedDataFileEntryWithWrongSize) {
  manifest_["slots"]["dataFile"]["content"]["compressed"] = true;
  lvpack::InstallerFile f = lvpack::ParseInstaller(
      Path("out.exe"), lvpack::BuildInstaller(lvpack::LoadManifest(SaveManifest())));
  ASSERT_TRUE(lvpack::VerifyInstaller(f).empty());
  hostile::SetDataChunkUnpackedSize(f, 2, 301);
  ExpectOneProblem(f, {"entry 2 (a.txt)", "exploded size 300 differs"});
}

TEST_F(LvpackVerifyTest, TooShortInstallerIsRefusedOnLoad) {
  lvpack::InstallerFile f = sound_;
  hostile::Truncate(f, f.payloadOffset + payload::kBlockSize - 1);
  try {
    lvpack::ParseInstaller(Path("short.exe"), f.bytes);
    ADD_FAILURE() << "no error";
  } catch (const lvpack::ToolError& e) {
    EXPECT_NE(std::string::npos, std::string(e.what()).find("-31")) << e.what();
  }
  EXPECT_THROW(lvpack::ParseInstaller(Path("image.exe"), Read("image.exe")), lvpack::ToolError);
}

TEST_F(LvpackVerifyTest, ExtractRefusesUnsafeRecordsAndWritesNothing) {
  lvpack::InstallerFile f = sound_;
  hostile::SetRecordName(f, 10, "../escape.dll");
  EXPECT_THROW(lvpack::ExtractInstaller(f, Path("x"), {}), lvpack::ToolError);
  EXPECT_FALSE(std::filesystem::exists(Path("x")));
  EXPECT_FALSE(std::filesystem::exists(Path("escape.dll")));
  f = sound_;
  hostile::SetDataEntryName(f, 2, "../escape.txt");
  lvpack::ExtractOptions options;
  options.unpackDataFile = true;
  EXPECT_THROW(lvpack::ExtractInstaller(f, Path("x"), options), lvpack::ToolError);
  EXPECT_FALSE(std::filesystem::exists(Path("x")));
}

TEST_F(LvpackVerifyTest, ListingNeverPrintsControlCharactersOfHostileNames) {
  lvpack::InstallerFile f = sound_;
  hostile::SetRecordName(f, 7, "a\x1b[2Jb.txt");
  const std::string listing = lvpack::Listing(f);
  EXPECT_NE(std::string::npos, listing.find("a?[2Jb.txt")) << listing;
  EXPECT_EQ(std::string::npos, listing.find('\x1b'));
}

TEST_F(LvpackVerifyTest, StoreBlockWritesTheEditedTableBack) {
  lvpack::InstallerFile f = sound_;
  hostile::SetDestination(f, 7, 10);
  const lvpack::InstallerFile again = lvpack::ParseInstaller(Path("again.exe"), f.bytes);
  EXPECT_EQ(10, again.block.Slot(7)->destination);
  EXPECT_EQ(sound_.bytes.size(), again.bytes.size());
}

}  // namespace
