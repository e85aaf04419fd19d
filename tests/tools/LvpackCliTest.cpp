// The lvpack command line: one table of refused manifests, content folders,
// inputs and outputs (each with its message and exit code, and nothing left
// behind), then the everyday path, interrupts and signing.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <thread>

#include "payload/LittleEndian.h"
#include "payload/SaverDataFormat.h"
#include "tests/tools/LvpackFixture.h"
#include "tools/lvpack/Builder.h"
#include "tools/lvpack/Installer.h"

namespace {

namespace fs = std::filesystem;

struct RunResult {
  int exitCode = -1;
  std::string output;  // stdout and stderr
};

class LvpackCliTest : public LvpackTest {
 public:
  void SetUp() override {
    LvpackTest::SetUp();
    fs::create_directories(Path("tmp"));  // the tool's scratch files land here, in view
  }

  std::string Command(const std::string& arguments) const {
    return "cd '" + root_.string() + "' && TMPDIR='" + Path("tmp").string() + "' exec '" LVPACK_EXE
           "' " + arguments;
  }

  RunResult Run(const std::string& arguments) const {
    RunResult r;
    FILE* pipe = popen((Command(arguments) + " 2>&1").c_str(), "r");
    if (!pipe) return r;
    std::array<char, 4096> buffer{};
    std::size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) r.output.append(buffer.data(), n);
    const int status = pclose(pipe);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
  }

  // Every file below the test folder with its size and time: what a failed
  // command must leave as it was.
  std::map<std::string, std::string> Snapshot() const {
    std::map<std::string, std::string> files;
    for (const auto& item : fs::recursive_directory_iterator(root_)) {
      std::error_code ec;
      const auto status = item.symlink_status(ec);
      std::string state = std::to_string(static_cast<int>(status.type()));
      if (fs::is_regular_file(status))
        state += " " + std::to_string(item.file_size()) + " " +
                 std::to_string(item.last_write_time().time_since_epoch().count());
      files[item.path().string()] = state;
    }
    return files;
  }

  // The fixture's image with an optional header that signing tools accept.
  static Bytes SignableImage() {
    Bytes image = testing_pe::InstallerLikeImage();
    const std::size_t optional = testing_pe::kPeAt + 24;
    payload::StoreU32(image.data() + optional, 0x10B);       // PE32 magic
    payload::StoreU32(image.data() + optional + 60, 0x400);  // SizeOfHeaders
    payload::StoreU32(image.data() + optional + 92, 16);     // data directories
    return image;
  }

  static Bytes Bitmap() {  // 2 x 2 pixels, 24 bits
    Bytes b(54 + 16, 0);
    b[0] = 'B';
    b[1] = 'M';
    payload::StoreU32(b.data() + 2, static_cast<std::uint32_t>(b.size()));
    payload::StoreU32(b.data() + 10, 54);
    payload::StoreU32(b.data() + 14, 40);
    payload::StoreU32(b.data() + 18, 2);
    payload::StoreU32(b.data() + 22, 2);
    b[26] = 1;
    b[28] = 24;
    return b;
  }

  // A data file whose second entry is named `name` (written into the bytes,
  // past the writer's own checks).
  static Bytes DataFileNaming(const std::string& name) {
    payload::SaverDataFile file;
    for (const char* entry : {"a.txt", "b.txt"}) {
      payload::SaverContent c;
      c.name = entry;
      c.unpackedSize = 1;
      c.data = {'x'};
      file.entries.push_back(c);
    }
    Bytes bytes;
    payload::SerializeSaverDataFile(file, bytes);
    payload::SaverEntry e = payload::ParseEntry(bytes.data() + payload::TableSize(1));
    e.SetName(name);
    payload::SerializeEntry(e, bytes.data() + payload::TableSize(1));
    return bytes;
  }

  void Sparse(const std::string& name, std::uintmax_t size) const {
    Write(name, Bytes());
    fs::resize_file(Path(name), size);
  }
};

// ---- one table of everything the tool refuses -------------------------------

struct Refusal {
  const char* name;
  std::function<void(LvpackCliTest&)> setup;  // changes the manifest or the files
  const char* arguments;
  int exitCode;
  std::vector<std::string> says;  // every text must appear in the output
};

using T = LvpackCliTest;
using json = nlohmann::json;
const char* const kBuild = "build package.json -o setup.exe";

void Slot(T& t, const char* role, const json& value) { t.manifest_["slots"][role] = value; }
void SlotField(T& t, const char* role, const char* field, const json& value) {
  t.manifest_["slots"][role][field] = value;
}
void Content(T& t, const char* field, const json& value) {
  t.manifest_["slots"]["dataFile"]["content"][field] = value;
}

const Refusal kRefusals[] = {
    // The command line.
    {"NoSubcommand", [](T&) {}, "", 2, {"A subcommand is required"}},
    {"UnknownSubcommand", [](T&) {}, "frobnicate x", 2,
     {"unknown subcommand frobnicate; use one of: build, list, verify, extract, sign"}},
    {"BuildWithoutManifest", [](T&) {}, "build", 2, {"MANIFEST is required"}},
    {"ExtractSlotOutOfRange", [](T&) {}, "extract setup.exe 11 -d out", 2, {"\"11\" is not a slot"}},
    {"ExtractUnknownRole", [](T&) {}, "extract setup.exe screensaver -d out", 2,
     {"\"screensaver\" is not a slot", "decompressor, flashSetup"}},
    {"ListMissingFile", [](T&) {}, "list nothere.exe", 2, {"nothere.exe: file not found"}},
    {"ListAFolder", [](T&) {}, "list content", 2, {"content: not a regular file"}},
    {"ListNotAnInstaller", [](T&) {}, "list readme.txt", 2, {"readme.txt: not an x86 or x64 Windows executable"}},
    // The manifest.
    {"InvalidJson", [](T& t) { t.Write("broken.json", Bytes{'{', '"', 'a'}); }, "build broken.json -o setup.exe", 2,
     {"broken.json: not valid JSON at line 1, column 4"}},
    {"UnknownField", [](T& t) { t.manifest_["colour"] = "blue"; }, kBuild, 2, {"package.json: colour: unknown field"}},
    {"UnknownSlotField", [](T& t) { SlotField(t, "saver", "compresed", true); }, kBuild, 2,
     {"slots.saver.compresed: unknown field"}},
    {"ContentOnlyForTheDataFile", [](T& t) { SlotField(t, "saver", "content", json::object()); }, kBuild, 2,
     {"slots.saver.content: unknown field"}},
    {"UnknownSlot", [](T& t) { Slot(t, "screensaver", {{"file", "night.scr"}}); }, kBuild, 2,
     {"slots.screensaver: unknown slot", "engine2"}},
    {"UnknownContentKind", [](T& t) { t.manifest_["contentKind"] = "video"; }, kBuild, 2,
     {"contentKind: \"video\" is not a content kind"}},
    {"ContentKindOutOfRange", [](T& t) { t.manifest_["contentKind"] = 256; }, kBuild, 2, {"contentKind: must be from 0 to 255"}},
    {"ContentKindNotANumber", [](T& t) { t.manifest_["contentKind"] = true; }, kBuild, 2, {"contentKind: must be a whole number"}},
    {"SaverNameTooLong", [](T& t) { t.manifest_["saverName"] = std::string(65, 'N'); }, kBuild, 2,
     {"saverName: ", "65 bytes"}},
    {"SaverNameTooLongInCodePage932",  // 33 kanji: 99 UTF-8 bytes, 66 in code page 932
     [](T& t) {
       std::string name;
       for (int i = 0; i < 33; ++i) name += "\xE5\xA4\x9C";
       t.manifest_["saverName"] = name;
     },
     kBuild, 2, {"66 bytes in code page 932"}},
    {"SaverNameNotInCodePage932", [](T& t) { t.manifest_["saverName"] = "Caf\xC3\xA9"; }, kBuild, 2,
     {"saverName: \"Caf\xC3\xA9\" has characters that code page 932 cannot hold"}},
    {"SaverNameEmpty", [](T& t) { t.manifest_["saverName"] = ""; }, kBuild, 2, {"saverName: \"\" is not usable"}},
    {"SaverNameWithAPath", [](T& t) { t.manifest_["saverName"] = "..\\evil"; }, kBuild, 2, {"is not usable as a file name"}},
    {"SaverNameMissing", [](T& t) { t.manifest_.erase("saverName"); }, kBuild, 2, {"package.json: saverName: missing"}},
    {"DestinationWithoutPath", [](T& t) { SlotField(t, "engine1", "destination", 8); }, kBuild, 2,
     {"slots.engine1.destination: destination kind without a path", "(-540)"}},
    {"DestinationOutOfRange", [](T& t) { SlotField(t, "engine1", "destination", 11); }, kBuild, 2,
     {"slots.engine1.destination: must be from 0 to 10, not 11"}},
    {"BadDictionary", [](T& t) { SlotField(t, "engine1", "dictionary", 8192); }, kBuild, 2,
     {"slots.engine1.dictionary: must be 1024, 2048 or 4096, not 8192"}},
    {"BadMode", [](T& t) { SlotField(t, "engine1", "mode", "text"); }, kBuild, 2,
     {"slots.engine1.mode: must be \"binary\" or \"ascii\""}},
    {"BadCompressed", [](T& t) { SlotField(t, "engine1", "compressed", "yes"); }, kBuild, 2,
     {"slots.engine1.compressed: must be true, false or \"always\""}},
    {"NameWithAFolder", [](T& t) { SlotField(t, "engine1", "name", "sub\\x.dll"); }, kBuild, 2,
     {"slots.engine1.name: \"sub\\x.dll\" is not a plain file name"}},
    {"MissingSlotFile", [](T& t) { SlotField(t, "engine1", "file", "nothere.dll"); }, kBuild, 2,
     {"slots.engine1.file: file not found:", "nothere.dll"}},
    {"RequiredSlotMissing", [](T& t) { t.manifest_["slots"].erase("engine2"); }, kBuild, 2,
     {"slots.engine2: required"}},
    {"LicenceAskedForButMissing", [](T& t) { t.manifest_["showLicense"] = true; }, kBuild, 2,
     {"slots.license: required"}},
    {"EmptyStoredFile",
     [](T& t) {
       t.Write("empty.bin", Bytes());
       SlotField(t, "saverFile", "file", "empty.bin");
     },
     kBuild, 2, {"slots.saverFile.file: is empty"}},
    // The installer image.
    {"ImageNotAnExecutable",
     [](T& t) {
       t.Write("notpe.exe", LvpackTest::Text(4096));
       t.manifest_["image"] = "notpe.exe";
     },
     kBuild, 2, {"notpe.exe: not an x86 or x64 Windows executable"}},
    {"ImageWithoutField",
     [](T& t) {
       t.Write("nofield.exe", testing_pe::BuildImage({{".text", 0x200}}));
       t.manifest_["image"] = "nofield.exe";
     },
     kBuild, 2, {"nofield.exe: has no usable \".lvpoff\" section"}},
    {"NoImage", [](T& t) { t.manifest_.erase("image"); }, kBuild, 2, {"image: no installer image given"}},
    {"ImageThatCarriesAPackage",
     [](T& t) {
       t.Write("old-setup.exe", lvpack::BuildInstaller(lvpack::LoadManifest(t.SaveManifest())));
       t.manifest_["image"] = "old-setup.exe";
     },
     kBuild, 2, {"old-setup.exe: an installer that already carries a package", "lvpack extract"}},
    {"SignedImage",
     [](T& t) {
       Bytes image = T::SignableImage();
       payload::StoreU32(image.data() + testing_pe::kPeAt + 24 + 96 + 32, 0x1000);  // certificate table
       t.Write("signed.exe", image);
       t.manifest_["image"] = "signed.exe";
     },
     kBuild, 2, {"signed.exe: the image is signed", "lvpack sign"}},
    // The presentation and the slots' places.
    {"BitmapAsTheMovie", [](T& t) { t.Write("movie.swf", T::Bitmap()); }, kBuild, 2,
     {"slots.presentation.file: is a Windows bitmap, but contentKind is movie"}},
    {"NotAMovie", [](T& t) { t.Write("movie.swf", LvpackTest::Text(500)); }, kBuild, 2,
     {"slots.presentation.file: is not a Flash movie"}},
    {"Version15Movie",
     [](T& t) { t.Write("movie.swf", SwfBuilder().version(15).background(0, 0, 0).compressed()); }, kBuild, 2,
     {"slots.presentation.file: is a movie the installer does not play", "versions 3 to 7 (-405)"}},
    {"MovieAsTheJpeg",
     [](T& t) {
       t.manifest_["contentKind"] = "jpeg";
       t.manifest_["slots"]["dataFile"]["content"].erase("movieEntry");
     },
     kBuild, 2, {"slots.presentation.file: is a Flash movie, not a JPEG picture"}},
    {"ArithmeticJpeg",  // a frame header of an arithmetic-coded 16 x 16 grey picture
     [](T& t) {
       t.Write("movie.swf", Bytes{0xFF, 0xD8, 0xFF, 0xC9, 0, 11, 8, 0, 16, 0, 16, 1, 1, 0x11, 0});
       t.manifest_["contentKind"] = "jpeg";
       t.manifest_["slots"]["dataFile"]["content"].erase("movieEntry");
     },
     kBuild, 2, {"slots.presentation.file: is an arithmetic-coded JPEG, which the installer's decoder does not read"}},
    {"MovieEntryWithAPicture",
     [](T& t) {
       t.Write("movie.swf", T::Bitmap());
       t.manifest_["contentKind"] = "bitmap";
     },
     kBuild, 2, {"slots.dataFile: data file entry 1 (Night.swf)", "shows no movie", "(-532)"}},
    {"DecompressorRenamed", [](T& t) { SlotField(t, "decompressor", "destination", 7); }, kBuild, 2,
     {"slots.decompressor.destination: goes to the work folder as \"impborl.dat\"", "\"impborl.dll\""}},
    {"DecompressorCompressed", [](T& t) { SlotField(t, "decompressor", "compressed", "always"); }, kBuild, 2,
     {"slots.decompressor.compressed: is compressed", "store it as it is"}},
    {"FlashSetupRenamed", [](T& t) { SlotField(t, "flashSetup", "name", "setup.exe"); }, kBuild, 2,
     {"slots.flashSetup.destination: goes to the system folder as \"setup.dll\"", "\"flashax.exe\""}},
    {"SaverNotNamedAfterTheSaver", [](T& t) { SlotField(t, "saver", "name", "other.scr"); }, kBuild, 2,
     {"slots.saver.name: goes to the system folder as \"other.scr\"", "\"Night Saver.scr\"", "(-550)"}},
    {"SaverInTheDataFolder", [](T& t) { SlotField(t, "saver", "destination", 5); }, kBuild, 2,
     {"slots.saver.destination: goes to the data folder", "(-550)"}},
    {"PresentationInTheSystemFolder", [](T& t) { SlotField(t, "presentation", "destination", 2); }, kBuild, 2,
     {"slots.presentation.destination: goes to the system folder", "from the work folder"}},
    {"LicenceInTheSystemFolder",
     [](T& t) {
       t.manifest_["showLicense"] = true;
       Slot(t, "license", {{"file", "readme.txt"}, {"destination", 2}});
     },
     kBuild, 2, {"slots.license.destination: goes to the system folder", "work folder"}},
    {"DataFileInTheDataFolder", [](T& t) { SlotField(t, "dataFile", "destination", 5); }, kBuild, 2,
     {"slots.dataFile.destination: goes to the data folder"}},
    {"TwoEnginesOneName", [](T& t) { SlotField(t, "engine2", "name", "SAVER1.DLL"); }, kBuild, 2,
     {"slots.engine2.name: slot 10 (SAVER1.DLL) lands in the data folder on the same file as slot 9"}},
    {"EngineNamedLikeTheSettings", [](T& t) { SlotField(t, "engine1", "name", "Saver.dat"); }, kBuild, 2,
     {"slots.engine1.name:", "the settings file saver.dat"}},
    // The data file.
    {"DataFileWithTraversalName",
     [](T& t) {
       t.Write("given.ssd", T::DataFileNaming("..\\..\\evil.dll"));
       Slot(t, "dataFile", {{"file", "given.ssd"}});
     },
     kBuild, 2, {"slots.dataFile: data file entry 2 (..\\..\\evil.dll): name leaves the data folder (-544)"}},
    {"DataFileGivenWithCaseTwins",
     [](T& t) {
       t.Write("given.ssd", T::DataFileNaming("A.TXT"));
       Slot(t, "dataFile", {{"file", "given.ssd"}});
     },
     kBuild, 2, {"data file entry 2 (A.TXT): lands on the same file as data file entry 1"}},
    {"ContentFolderMissing", [](T& t) { Content(t, "folder", "missing"); }, kBuild, 2,
     {"slots.dataFile.content.folder: folder not found"}},
    {"FileAndContent", [](T& t) { SlotField(t, "dataFile", "file", "readme.txt"); }, kBuild, 2,
     {"slots.dataFile: give either \"file\" or \"content\", not both"}},
    {"MovieEntryOutsideTheDataFolder", [](T& t) { Content(t, "movieEntry", "..\\x.swf"); }, kBuild, 2,
     {"slots.dataFile.content.movieEntry: must be a file name inside the data folder"}},
    {"SaverContentKind3WithoutMovie",
     [](T& t) {
       t.manifest_["slots"]["dataFile"]["content"].erase("movieEntry");
       Content(t, "saverContentKind", 3);
     },
     kBuild, 2, {"slots.dataFile.content.saverContentKind: 3 makes entry 1 the installer's movie"}},
    {"ShortSettings",
     [](T& t) {
       t.Write("short.bin", Bytes(100));
       Content(t, "settings", "short.bin");
     },
     kBuild, 2, {"slots.dataFile.content.settings:", "has 100 bytes; a settings block has exactly 1240"}},
    {"TooManyEntries",
     [](T& t) {
       for (int i = 0; i < 159; ++i) t.Write("content/many/f" + std::to_string(i), Bytes(1));
     },
     kBuild, 2, {"slots.dataFile.content.folder: more than 159 entries"}},
    {"CaseTwinsInTheFolder", [](T& t) { t.Write("content/A.txt", Bytes(1)); }, kBuild, 2,
     {"\"a.txt\" and \"A.txt\" differ only in letter case"}},
    {"CaseTwinFolders", [](T& t) { t.Write("content/IMG/c.bin", Bytes(1)); }, kBuild, 2,
     {"differ only in letter case"}},
    {"BackslashInAName", [](T& t) { t.Write("content/x\\y.txt", Bytes(1)); }, kBuild, 2,
     {"\"x\\y.txt\" has a \"\\\" in a name"}},
    {"SettingsFileInTheFolder", [](T& t) { t.Write("content/SAVER.DAT", Bytes(1)); }, kBuild, 2,
     {"\"SAVER.DAT\" would be replaced by the settings file"}},
    {"MovieEntryInTheFolder", [](T& t) { t.Write("content/night.SWF", Bytes(1)); }, kBuild, 2,
     {"\"night.SWF\" is also the movieEntry"}},
    {"LinkLoop", [](T& t) { fs::create_directory_symlink("..", t.Path("content/img/up")); }, kBuild, 2,
     {"\"img/up\" is a link back to the folder that holds it (a loop)"}},
    {"DanglingLink", [](T& t) { fs::create_symlink("gone.txt", t.Path("content/dangling")); }, kBuild, 2,
     {"\"dangling\" is a link whose target is missing"}},
    {"FifoInTheFolder", [](T& t) { mkfifo(t.Path("content/pipe").c_str(), 0600); }, kBuild, 2,
     {"\"pipe\" is not a regular file (a FIFO"}},
    // Sizes past the package format's 32-bit offsets (sparse files: never read).
    {"FileTooLargeForARecord", [](T& t) { t.Sparse("huge.dll", 3221225472ull); SlotField(t, "engine1", "file", "huge.dll"); },
     kBuild, 2, {"huge.dll has 3,221,225,472 bytes; a record holds at most 2,147,483,647"}},
    {"PackageTooLarge",
     [](T& t) {
       t.Sparse("big1.bin", 1610612736ull);
       t.Sparse("big2.ssd", 1610612736ull);
       SlotField(t, "saverFile", "file", "big1.bin");
       Slot(t, "dataFile", {{"file", "big2.ssd"}});
     },
     kBuild, 2, {"the installer would take 3,221,", "2,147,483,648 bytes (2 GiB) at most"}},
    // Outputs that would destroy a file.
    {"OutputIsTheManifest", [](T&) {}, "build package.json -o package.json", 2, {"package.json: is an input"}},
    {"OutputIsTheImage", [](T&) {}, "build package.json -o image.exe", 2, {"image.exe: is an input"}},
    {"OutputIsTheSaver", [](T&) {}, "build package.json -o ./night.scr", 2, {"night.scr: is an input"}},
    {"OutputIsAContentFile", [](T&) {}, "build package.json -o content/a.txt", 2, {"content/a.txt: is an input"}},
    {"OutputIsAFifo", [](T& t) { mkfifo(t.Path("out.fifo").c_str(), 0600); }, "build package.json -o out.fifo", 2,
     {"out.fifo: exists and is not a regular file", "nothing written"}},
    {"OutputIsALink", [](T& t) { fs::create_symlink("readme.txt", t.Path("out.lnk")); }, "build package.json -o out.lnk", 2,
     {"out.lnk: exists and is not a regular file"}},
    {"OutputFolderMissing", [](T&) {}, "build package.json -o nofolder/setup.exe", 2,
     {"the folder nofolder does not exist"}},
    {"ImplodeOntoItsInput", [](T&) {}, "implode readme.txt readme.txt", 2, {"readme.txt: is an input"}},
    {"ExtractOntoTheInstaller",  // slot 0 is named install.exe
     [](T& t) { t.Write("install.exe", lvpack::BuildInstaller(lvpack::LoadManifest(t.SaveManifest()))); },
     "extract install.exe -d .", 2, {"./install.exe: is an input (install.exe)"}},
};

class LvpackRefusal : public LvpackCliTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(LvpackRefusal, SaysWhatIsWrongAndLeavesEverythingAsItWas) {
  const Refusal& row = GetParam();
  row.setup(*this);
  SaveManifest();
  const auto before = Snapshot();
  const RunResult r = Run(row.arguments);
  EXPECT_EQ(row.exitCode, r.exitCode) << r.output;
  for (const std::string& text : row.says) EXPECT_NE(std::string::npos, r.output.find(text)) << r.output;
  EXPECT_EQ(std::string::npos, r.output.find("exception")) << r.output;
  EXPECT_EQ(before, Snapshot());  // no output, no temporary file, every input unchanged
}

INSTANTIATE_TEST_SUITE_P(Table, LvpackRefusal, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- what works ------------------------------------------------------------

TEST_F(LvpackCliTest, BuildListVerifyExtractWithJsonAndRoles) {
  SaveManifest();
  const RunResult build = Run("build package.json -o setup.exe");
  ASSERT_EQ(0, build.exitCode) << build.output;
  EXPECT_NE(std::string::npos, build.output.find("note: slots.engine1: stored as it is: imploding gave"))
      << build.output;
  const RunResult list = Run("list setup.exe");
  ASSERT_EQ(0, list.exitCode) << list.output;
  EXPECT_NE(std::string::npos, list.output.find("saverName      Night Saver")) << list.output;
  EXPECT_NE(std::string::npos, list.output.find("contentKind    3 (movie)")) << list.output;
  const json listed = json::parse(Run("list setup.exe --json").output);
  EXPECT_EQ("Night Saver.scr", listed["slots"][6]["name"]);
  EXPECT_EQ("saver", listed["slots"][6]["role"]);
  EXPECT_TRUE(listed["slots"][4]["empty"]);
  EXPECT_FALSE(listed["signature"]["present"]);
  const RunResult verify = Run("verify setup.exe --json");
  EXPECT_EQ(0, verify.exitCode) << verify.output;
  const json verified = json::parse(verify.output);
  EXPECT_TRUE(verified["ok"]);
  EXPECT_TRUE(verified["problems"].empty());
  const RunResult extract = Run("extract setup.exe saver 9 installerImage -d out");
  ASSERT_EQ(0, extract.exitCode) << extract.output;
  EXPECT_EQ(Read("night.scr"), Read("out/Night Saver.scr"));
  EXPECT_EQ(Read("saver1.dll"), Read("out/saver1.dll"));
  EXPECT_EQ(Read("image.exe"), Read("out/install.exe"));
}

TEST_F(LvpackCliTest, DamagedInstallerFailsVerifyAndExtractWithOneLinePerProblem) {
  SaveManifest();
  ASSERT_EQ(0, Run("build package.json -o setup.exe").exitCode);
  lvpack::InstallerFile f = lvpack::ParseInstaller(Path("setup.exe"), Read("setup.exe"));
  f.block.Slot(10)->unpackedSize += 5;
  f.block.Slot(7)->destination = 9;
  lvpack::StoreBlock(f);
  Write("setup.exe", f.bytes);
  const RunResult verify = Run("verify setup.exe");
  EXPECT_EQ(1, verify.exitCode) << verify.output;
  EXPECT_EQ("slot 7 (readme.txt): destination kind without a path (0, 8, 9 or outside 0..10) (-540)\n"
            "slot 10 (saver2.dll): exploded size 1819 differs from unpackedSize 1824 (-13)\n"
            "signature: none\n",
            verify.output);
  const auto before = Snapshot();
  const RunResult extract = Run("extract setup.exe -d out");
  EXPECT_EQ(1, extract.exitCode) << extract.output;
  EXPECT_NE(std::string::npos, extract.output.find("setup.exe: the package is damaged; nothing extracted"));
  EXPECT_NE(std::string::npos, extract.output.find("setup.exe: slot 10 (saver2.dll): exploded size"));
  EXPECT_EQ(before, Snapshot());
}

TEST_F(LvpackCliTest, HelpWithExamplesAndVersion) {
  for (const char* sub : {"build", "list", "extract", "verify", "sign", "movie", "implode", "explode"}) {
    const RunResult help = Run(std::string(sub) + " --help");
    EXPECT_EQ(0, help.exitCode) << sub;
    EXPECT_NE(std::string::npos, help.output.find("Examples:\n  lvpack " + std::string(sub))) << help.output;
  }
  const RunResult version = Run("--version");
  EXPECT_EQ(0, version.exitCode);
  EXPECT_EQ("lvpack 1.1\n", version.output);
}

// SIGINT and SIGTERM in the middle of a build: the output is not written and
// no temporary file stays.
TEST_F(LvpackCliTest, InterruptedBuildLeavesNothing) {
  Write("big.dll", Noise(64u << 20, 7));  // noise: imploding it takes seconds
  manifest_["slots"]["engine1"]["file"] = "big.dll";
  SaveManifest();
  for (int signal : {SIGTERM, SIGINT}) {
    const auto before = Snapshot();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      execl("/bin/sh", "sh", "-c", Command("build package.json -o setup.exe").c_str(), nullptr);
      _exit(127);
    }
    bool writing = false;  // wait until the temporary output exists
    for (int i = 0; i < 500 && !writing; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      for (const auto& item : fs::directory_iterator(root_))
        writing = writing || item.path().extension() == ".lvpack-tmp";
    }
    EXPECT_TRUE(writing);
    kill(child, signal);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    EXPECT_EQ(before, Snapshot());
  }
}

// A throwaway certificate made by openssl; the signed installer verifies, and
// one changed byte breaks the signature check.
TEST_F(LvpackCliTest, SignVerifyAndTamper) {
  Write("image.exe", SignableImage());
  SaveManifest();
  ASSERT_EQ(0, Run("build package.json -o setup.exe").exitCode);
  ASSERT_EQ(0, std::system(("cd '" + root_.string() +
                            "' && openssl req -x509 -newkey rsa:2048 -nodes -keyout maker.key -out "
                            "maker.pem -days 2 -subj '/CN=Throwaway Maker' 2>/dev/null")
                               .c_str()));
  const RunResult sign = Run("sign setup.exe --cert maker.pem --key maker.key -o signed.exe");
  ASSERT_EQ(0, sign.exitCode) << sign.output;
  const RunResult verify = Run("verify signed.exe --ca maker.pem");
  EXPECT_EQ(0, verify.exitCode) << verify.output;
  EXPECT_NE(std::string::npos,
            verify.output.find("signature: present, the file is unchanged since signing, signed by "
                               "/CN=Throwaway Maker, certificate chain trusted"))
      << verify.output;
  const RunResult untrusted = Run("verify signed.exe");
  EXPECT_EQ(0, untrusted.exitCode) << untrusted.output;
  EXPECT_NE(std::string::npos, untrusted.output.find("not trusted on this machine")) << untrusted.output;
  EXPECT_EQ(Read("image.exe"), [&] {  // the package is reached as before, and extracts
    EXPECT_EQ(0, Run("extract signed.exe installerImage -d bare").exitCode);
    return Read("bare/install.exe");
  }());
  EXPECT_EQ(2, Run("sign signed.exe --cert maker.pem --key maker.key").exitCode);

  Bytes bytes = Read("signed.exe");
  const lvpack::InstallerFile f = lvpack::ParseInstaller(Path("signed.exe"), bytes);
  bytes[static_cast<std::size_t>(f.block.Slot(7)->firstByte)] ^= 0x01;  // a byte of slot 7 (stored)
  Write("tampered.exe", bytes);
  const RunResult tampered = Run("verify tampered.exe --json");
  EXPECT_EQ(1, tampered.exitCode) << tampered.output;
  const json report = json::parse(tampered.output);
  EXPECT_TRUE(report["problems"].empty());  // the package itself is still sound
  EXPECT_TRUE(report["signature"]["present"]);
  EXPECT_FALSE(report["signature"]["intact"]);
  EXPECT_EQ("the file has changed since it was signed (its digest no longer matches)",
            report["signature"]["problem"]);
}

}  // namespace
