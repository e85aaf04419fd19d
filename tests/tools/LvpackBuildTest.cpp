// lvpack build: layout of the assembled installer and round trips through
// list, extract and the data file for every compression choice.
#include <algorithm>

#include "payload/ImageLayout.h"
#include "payload/LittleEndian.h"
#include "payload/SaverDataFormat.h"
#include "tests/tools/LvpackFixture.h"
#include "tools/lvpack/Builder.h"
#include "tools/lvpack/Extract.h"
#include "tools/lvpack/Installer.h"
#include "tools/lvpack/ToolError.h"
#include "tools/lvpack/Verify.h"

namespace {

using lvpack::InstallerFile;

InstallerFile BuildAndRead(const std::filesystem::path& manifest) {
  const lvpack::Bytes bytes = lvpack::BuildInstaller(lvpack::LoadManifest(manifest));
  return lvpack::ParseInstaller(manifest.parent_path() / "out.exe", bytes);
}

TEST_F(LvpackTest, LayoutFollowsTheReferencePackage) {
  const InstallerFile f = BuildAndRead(SaveManifest());
  const Bytes image = Read("image.exe");
  EXPECT_EQ(image.size(), f.payloadOffset);
  // The image is unchanged but for its PayloadOffset field.
  Bytes patched = image;
  ASSERT_EQ(rc::kOk, payload::PatchPayloadOffset(patched, f.payloadOffset));
  EXPECT_TRUE(std::equal(patched.begin(), patched.end(), f.bytes.begin()));

  const std::uint8_t headerStart[] = {3, 0, 0, 0, 1, 'N', 'i', 'g', 'h', 't'};
  EXPECT_TRUE(std::equal(std::begin(headerStart), std::end(headerStart), f.bytes.begin() + f.payloadOffset));

  const payload::PayloadRecord& image0 = *f.block.Slot(0);
  EXPECT_EQ("install.exe", image0.Name());
  EXPECT_EQ(0, image0.firstByte);
  EXPECT_EQ(static_cast<std::int32_t>(f.payloadOffset) - 1, image0.lastByte);
  EXPECT_EQ(static_cast<std::int32_t>(f.payloadOffset), image0.unpackedSize);

  const char* names[] = {"install.exe", "impborl.dat", "flashax.exe", "installer.swf", "", "",
                         "Night Saver.scr", "readme.txt", "Night Saver.ssd", "saver1.dll",
                         "saver2.dll"};
  const std::int32_t destinations[] = {6, 4, 3, 7, 7, 7, 2, 5, 4, 5, 5};
  // Slot 9 holds noise, which imploding would make larger: it is stored as it is.
  const std::uint8_t compressed[] = {0, 0, 0, 0, 1, 1, 1, 0, 0, 0, 1};
  // Data follow the table in slot order without gaps; the file ends with the last byte.
  std::int64_t next = f.payloadOffset + payload::kBlockSize;
  for (int slot = 0; slot < payload::kSlotCount; ++slot) {
    const payload::PayloadRecord& r = *f.block.Slot(slot);
    EXPECT_EQ(names[slot], r.Name()) << slot;
    EXPECT_EQ(destinations[slot], r.destination) << slot;
    EXPECT_EQ(compressed[slot], r.compressed) << slot;
    if (slot == 0) continue;
    EXPECT_EQ(next, r.firstByte) << slot;
    if (r.IsEmpty()) {
      EXPECT_EQ(r.firstByte, r.lastByte) << slot;
      continue;
    }
    if (r.compressed) {
      EXPECT_EQ(static_cast<std::uint32_t>(r.lastByte - r.firstByte + 1), r.packedSize);
    }
    next = r.lastByte + 1;
  }
  EXPECT_EQ(static_cast<std::size_t>(next), f.bytes.size());
  EXPECT_EQ(51200, f.block.Slot(6)->unpackedSize);
  // Reference implode streams start with 00 06: binary mode, 4,096-byte dictionary.
  EXPECT_EQ(0, f.bytes[f.block.Slot(6)->firstByte]);
  EXPECT_EQ(6, f.bytes[f.block.Slot(6)->firstByte + 1]);
  EXPECT_TRUE(lvpack::VerifyInstaller(f).empty());
}

TEST_F(LvpackTest, DataFileFromContentFolder) {
  const InstallerFile f = BuildAndRead(SaveManifest());
  const Bytes data = lvpack::RecordContent(f, payload::kSlotSaverDataFile);
  payload::SaverDataFile parsed;
  ASSERT_EQ(rc::kOk, payload::ParseSaverDataFile(data.data(), data.size(), parsed));
  EXPECT_EQ(4, parsed.settings.EntryCount());
  EXPECT_EQ(3, parsed.settings.SaverContentKind());
  ASSERT_EQ(4u, parsed.entries.size());
  EXPECT_EQ("Night.swf", parsed.entries[0].name);
  EXPECT_EQ(payload::kEntryKindInstallerMovie, parsed.entries[0].kind);
  EXPECT_EQ("a.txt", parsed.entries[1].name);
  EXPECT_EQ("empty.txt", parsed.entries[2].name);
  EXPECT_EQ(0, parsed.entries[2].unpackedSize);
  EXPECT_EQ("img\\b.bin", parsed.entries[3].name);
  EXPECT_EQ(Read("content/img/b.bin"), parsed.entries[3].data);
}

TEST_F(LvpackTest, SettingsFromAFileAndExplicitContentKind) {
  Bytes settings = Noise(payload::kSettingsSize, 9);
  Write("settings.bin", settings);
  manifest_["slots"]["dataFile"]["content"] = {{"settings", "settings.bin"}, {"saverContentKind", 7}};
  const InstallerFile f = BuildAndRead(SaveManifest());
  const Bytes data = lvpack::RecordContent(f, payload::kSlotSaverDataFile);
  ASSERT_EQ(payload::kSettingsSize, data.size());
  payload::StoreI32(settings.data() + payload::kEntryCountOffset, 0);
  payload::StoreI32(settings.data() + payload::kSaverContentKindOffset, 7);
  EXPECT_EQ(settings, data);
}

TEST_F(LvpackTest, DataFileGivenAsAFileIsStoredAsIs) {
  const Bytes ssd = Noise(1548, 4);
  Write("given.ssd", ssd);
  manifest_["slots"]["dataFile"] = {{"file", "given.ssd"}};
  const InstallerFile f = BuildAndRead(SaveManifest());
  EXPECT_EQ(ssd, lvpack::RecordContent(f, payload::kSlotSaverDataFile));
}

TEST_F(LvpackTest, OptionalSlotsAreNamedAfterTheirFiles) {
  Write("Licence.txt", Text(100));
  Write("\xE8\xAA\xAC\xE6\x98\x8E.txt", Text(100));  // "説明.txt"
  manifest_["showLicense"] = true;
  manifest_["hasDocument"] = true;
  manifest_["slots"]["license"] = {{"file", "Licence.txt"}};
  manifest_["slots"]["document"] = {{"file", "\xE8\xAA\xAC\xE6\x98\x8E.txt"}, {"destination", 4}};
  manifest_["slots"]["engine2"]["name"] = "engine-two.dll";
  const InstallerFile f = BuildAndRead(SaveManifest());
  EXPECT_EQ("Licence.txt", f.block.Slot(4)->Name());
  EXPECT_EQ("\x90\xE0\x96\xBE.txt", f.block.Slot(5)->Name());  // code page 932
  EXPECT_EQ(4, f.block.Slot(5)->destination);
  EXPECT_EQ("engine-two.dll", f.block.Slot(10)->Name());
  EXPECT_EQ(1, f.block.header.showLicense);
  EXPECT_EQ(1, f.block.header.hasDocument);
}

TEST_F(LvpackTest, JapaneseSaverNameIsStoredInCodePage932) {
  manifest_["saverName"] = "\xE5\xA4\x9C\xE7\xA9\xBA";  // "夜空"
  const InstallerFile f = BuildAndRead(SaveManifest());
  EXPECT_EQ("\x96\xE9\x8B\xF3", payload::ScreenSaverNameBytes(f.block.header));
  EXPECT_EQ("\x96\xE9\x8B\xF3.scr", f.block.Slot(6)->Name());
  EXPECT_EQ("\x96\xE9\x8B\xF3.ssd", f.block.Slot(8)->Name());
}

TEST_F(LvpackTest, SixtyFourByteSaverNameIsAccepted) {
  manifest_["saverName"] = std::string(64, 'N');
  const InstallerFile f = BuildAndRead(SaveManifest());
  EXPECT_EQ(std::string(64, 'N'), payload::ScreenSaverNameBytes(f.block.header));
  EXPECT_TRUE(lvpack::VerifyInstaller(f).empty());
}

TEST_F(LvpackTest, SilentPackageNeedsNoPresentation) {
  manifest_["contentKind"] = "silent";
  manifest_["offerDisplayProperties"] = false;
  manifest_["slots"].erase("presentation");
  manifest_["slots"]["dataFile"]["content"].erase("movieEntry");  // no movie to copy
  const InstallerFile f = BuildAndRead(SaveManifest());
  EXPECT_EQ(4, f.block.header.contentKind);
  EXPECT_EQ(0, f.block.header.offerDisplayProperties);
  EXPECT_TRUE(f.block.Slot(3)->IsEmpty());
  EXPECT_TRUE(lvpack::VerifyInstaller(f).empty());
}

// Every compression choice: build -> read -> extract gives the files back.
struct CompressionChoice {
  bool compressed;
  const char* mode;
  int dictionary;
};

class LvpackRoundTrip : public LvpackTest,
                        public ::testing::WithParamInterface<CompressionChoice> {};

TEST_P(LvpackRoundTrip, ExtractGivesByteIdenticalFiles) {
  const CompressionChoice c = GetParam();
  // The decompressor is always stored: the installer needs it to explode the others.
  const char* slotFiles[][2] = {{"flashSetup", "flashax.exe"},
                                {"presentation", "movie.swf"},   {"saver", "night.scr"},
                                {"saverFile", "readme.txt"},     {"engine1", "saver1.dll"},
                                {"engine2", "saver2.dll"}};
  for (const auto& [role, file] : slotFiles) {
    auto& slot = manifest_["slots"][role];
    slot["compressed"] = c.compressed ? nlohmann::json("always") : nlohmann::json(false);
    if (c.compressed) {
      slot["mode"] = c.mode;
      slot["dictionary"] = c.dictionary;
    }
  }
  auto& content = manifest_["slots"]["dataFile"]["content"];
  content["compressed"] = c.compressed ? nlohmann::json("always") : nlohmann::json(false);
  if (c.compressed) {
    content["mode"] = c.mode;
    content["dictionary"] = c.dictionary;
  }
  const lvpack::Bytes installer = lvpack::BuildInstaller(lvpack::LoadManifest(SaveManifest()));
  Write("out.exe", installer);
  const InstallerFile f = lvpack::LoadInstaller(Path("out.exe"));
  EXPECT_TRUE(lvpack::VerifyInstaller(f).empty());
  if (c.compressed) {
    // Header byte 0: literal mode; byte 1: log2(dictionary) - 6.
    std::uint8_t stream[2];
    f.ReadAt(f.block.Slot(6)->firstByte, stream, sizeof stream);
    EXPECT_EQ(std::string(c.mode) == "ascii" ? 1 : 0, stream[0]);
    EXPECT_EQ(c.dictionary == 1024 ? 4 : c.dictionary == 2048 ? 5 : 6, stream[1]);
  }

  lvpack::ExtractOptions options;
  options.unpackDataFile = true;
  const auto written = lvpack::ExtractInstaller(f, Path("x"), options);
  EXPECT_EQ(9u + 1u + 3u, written.size());  // 9 records, saver.dat, 3 entries (one of 0 bytes)
  EXPECT_EQ(Read("image.exe"), Read("x/install.exe"));  // the bare image again
  for (const auto& [role, file] : slotFiles) {
    const int slot = std::find(lvpack::kSlotRoles.begin(), lvpack::kSlotRoles.end(), std::string(role)) -
                     lvpack::kSlotRoles.begin();
    EXPECT_EQ(Read(file), Read("x/" + f.block.Slot(slot)->Name())) << role;
  }
  EXPECT_EQ(Read("content/a.txt"), Read("x/Night Saver dir/a.txt"));
  EXPECT_EQ(Read("content/img/b.bin"), Read("x/Night Saver dir/img/b.bin"));
  EXPECT_TRUE(Read("x/Night Saver dir/empty.txt").empty());
  EXPECT_EQ(payload::kSettingsSize, Read("x/Night Saver dir/saver.dat").size());
  EXPECT_FALSE(std::filesystem::exists(Path("x/Night Saver dir/Night.swf")));
}

INSTANTIATE_TEST_SUITE_P(
    EveryChoice, LvpackRoundTrip,
    ::testing::Values(CompressionChoice{false, "binary", 4096}, CompressionChoice{true, "binary", 1024},
                      CompressionChoice{true, "binary", 2048}, CompressionChoice{true, "binary", 4096},
                      CompressionChoice{true, "ascii", 1024}, CompressionChoice{true, "ascii", 2048},
                      CompressionChoice{true, "ascii", 4096}));

TEST_F(LvpackTest, ExtractSelectedSlotsOnlyAndLongNames) {
  const std::string longName = std::string(251, 'L') + ".txt";  // the longest record name
  manifest_["showLicense"] = true;
  manifest_["slots"]["license"] = {{"file", "readme.txt"}, {"name", longName}};
  Write("out.exe", lvpack::BuildInstaller(lvpack::LoadManifest(SaveManifest())));
  lvpack::ExtractOptions options;
  options.slots = {6, 9, 4};
  const auto written = lvpack::ExtractInstaller(lvpack::LoadInstaller(Path("out.exe")), Path("x"), options);
  ASSERT_EQ(3u, written.size());
  EXPECT_EQ(Read("night.scr"), Read("x/Night Saver.scr"));
  EXPECT_EQ(Read("saver1.dll"), Read("x/saver1.dll"));
  EXPECT_EQ(Read("readme.txt"), Read("x/" + longName));
  options.slots = {5};  // empty
  EXPECT_THROW(lvpack::ExtractInstaller(lvpack::LoadInstaller(Path("out.exe")), Path("y"), options),
               lvpack::ToolError);
  EXPECT_FALSE(std::filesystem::exists(Path("y")));
}

}  // namespace

namespace {

TEST_F(LvpackTest, AtomicWriteReplacesAnExistingFileAndLeavesNoTemporary) {
  Write("target.bin", Bytes{1, 2, 3});
  lvpack::WriteFileAtomic(Path("target.bin"), Bytes{9, 8});
  EXPECT_EQ((Bytes{9, 8}), Read("target.bin"));
  std::size_t files = 0;
  for (const auto& item : std::filesystem::directory_iterator(root_)) {
    EXPECT_EQ(std::string::npos, item.path().filename().string().find("tmp")) << item.path();
    ++files;
  }
  EXPECT_GT(files, 1u);
  EXPECT_THROW(lvpack::WriteFileAtomic(Path("no-such-folder/x.bin"), Bytes{1}), lvpack::ToolError);
}

}  // namespace
