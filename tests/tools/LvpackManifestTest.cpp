// lvpack build refuses bad manifests with a message that names the manifest,
// the field and what is wrong.
#include "tests/tools/LvpackFixture.h"
#include "tools/lvpack/Builder.h"
#include "tools/lvpack/Manifest.h"
#include "tools/lvpack/ToolError.h"

namespace {

class LvpackManifestTest : public LvpackTest {
 protected:
  // The message of the ToolError that building the current manifest raises.
  std::string BuildError() {
    try {
      lvpack::BuildInstaller(lvpack::LoadManifest(SaveManifest()));
    } catch (const lvpack::ToolError& e) {
      return e.what();
    }
    ADD_FAILURE() << "no error";
    return {};
  }

  void ExpectError(const std::string& field, const std::string& what) {
    const std::string message = BuildError();
    EXPECT_NE(std::string::npos, message.find("package.json: " + field + ": ")) << message;
    EXPECT_NE(std::string::npos, message.find(what)) << message;
  }
};

TEST_F(LvpackManifestTest, MissingFile) {
  manifest_["slots"]["engine1"]["file"] = "nothere.dll";
  ExpectError("slots.engine1.file", "file not found");
  EXPECT_NE(std::string::npos, BuildError().find("nothere.dll"));
}

TEST_F(LvpackManifestTest, UnknownFields) {
  manifest_["colour"] = "blue";
  ExpectError("colour", "unknown field");
  manifest_.erase("colour");
  manifest_["slots"]["saver"]["compresed"] = true;
  ExpectError("slots.saver.compresed", "unknown field");
  manifest_["slots"]["saver"].erase("compresed");
  manifest_["slots"]["saver"]["content"] = nlohmann::json::object();  // only the data file has content
  ExpectError("slots.saver.content", "unknown field");
  manifest_["slots"]["saver"].erase("content");
  manifest_["slots"]["screensaver"] = {{"file", "night.scr"}};
  ExpectError("slots.screensaver", "unknown slot");
}

TEST_F(LvpackManifestTest, BadContentKind) {
  manifest_["contentKind"] = "video";
  ExpectError("contentKind", "\"video\" is not a content kind");
  manifest_["contentKind"] = 256;
  ExpectError("contentKind", "from 0 to 255");
  manifest_["contentKind"] = true;
  ExpectError("contentKind", "whole number");
}

TEST_F(LvpackManifestTest, SaverNameTooLongOrNotInCodePage932) {
  manifest_["saverName"] = std::string(65, 'N');
  ExpectError("saverName", "65 bytes");
  // The limit counts code-page-932 bytes: 33 kanji are 99 UTF-8 bytes but 66 here.
  std::string japanese;
  for (int i = 0; i < 33; ++i) japanese += "\xE5\xA4\x9C";  // "夜"
  manifest_["saverName"] = japanese;
  ExpectError("saverName", "66 bytes in code page 932");
  manifest_["saverName"] = "Caf\xC3\xA9";  // "Café"
  ExpectError("saverName", "code page 932 cannot hold");
  manifest_["saverName"] = "";
  ExpectError("saverName", "not usable as a file name");
  manifest_["saverName"] = "..\\evil";
  ExpectError("saverName", "not usable as a file name");
  manifest_.erase("saverName");
  ExpectError("saverName", "missing");
}

TEST_F(LvpackManifestTest, SixtyFourByteNameIsAccepted) {
  manifest_["saverName"] = std::string(64, 'N');
  const auto bytes = lvpack::BuildInstaller(lvpack::LoadManifest(SaveManifest()));
  EXPECT_FALSE(bytes.empty());
}

TEST_F(LvpackManifestTest, BadSlotValues) {
  manifest_["slots"]["engine1"]["destination"] = 8;
  ExpectError("slots.engine1.destination", "no path");
  manifest_["slots"]["engine1"]["destination"] = 11;
  ExpectError("slots.engine1.destination", "from 0 to 10");
  manifest_["slots"]["engine1"].erase("destination");
  manifest_["slots"]["engine1"]["dictionary"] = 8192;
  ExpectError("slots.engine1.dictionary", "1024, 2048 or 4096");
  manifest_["slots"]["engine1"].erase("dictionary");
  manifest_["slots"]["engine1"]["mode"] = "text";
  ExpectError("slots.engine1.mode", "\"binary\" or \"ascii\"");
  manifest_["slots"]["engine1"].erase("mode");
  manifest_["slots"]["engine1"]["compressed"] = "yes";
  ExpectError("slots.engine1.compressed", "true or false");
  manifest_["slots"]["engine1"].erase("compressed");
  manifest_["slots"]["engine1"]["name"] = "sub\\x.dll";
  ExpectError("slots.engine1.name", "not a plain file name");
  manifest_["slots"]["engine1"]["name"] = "x.dll";
  manifest_["slots"]["license"] = {{"file", "readme.txt"}, {"destination", 2}};
  ExpectError("slots.license.destination", "work folder");
}

TEST_F(LvpackManifestTest, RequiredSlotsAndEmptyStoredFiles) {
  manifest_["slots"].erase("engine2");
  ExpectError("slots.engine2", "required");
  manifest_["slots"]["engine2"] = {{"file", "saver2.dll"}};
  manifest_["showLicense"] = true;
  ExpectError("slots.license", "required");
  manifest_["showLicense"] = false;
  Write("empty.bin", Bytes());
  manifest_["slots"]["saverFile"]["file"] = "empty.bin";
  ExpectError("slots.saverFile.file", "is empty");
}

TEST_F(LvpackManifestTest, BadImages) {
  Write("notpe.exe", Text(4096));
  manifest_["image"] = "notpe.exe";
  EXPECT_NE(std::string::npos, BuildError().find("notpe.exe: not an x86 or x64 Windows executable"));
  Write("nofield.exe", testing_pe::BuildImage({{".text", 0x200}}));
  manifest_["image"] = "nofield.exe";
  EXPECT_NE(std::string::npos, BuildError().find("nofield.exe: has no usable \".lvpoff\" section"));
  manifest_.erase("image");
  ExpectError("image", "no installer image given");
}

TEST_F(LvpackManifestTest, DataFileContentErrors) {
  manifest_["slots"]["dataFile"]["content"]["folder"] = "missing";
  ExpectError("slots.dataFile.content.folder", "folder not found");
  manifest_["slots"]["dataFile"] = {{"file", "readme.txt"}, {"content", nlohmann::json::object()}};
  ExpectError("slots.dataFile", "either");
  manifest_["slots"]["dataFile"] = {{"content", {{"movieEntry", "..\\x.swf"}}}};
  ExpectError("slots.dataFile.content.movieEntry", "inside the data folder");
  manifest_["slots"]["dataFile"] = {{"content", {{"saverContentKind", 3}}}};
  ExpectError("slots.dataFile.content.saverContentKind", "give movieEntry");
  Write("short.bin", Bytes(100));
  manifest_["slots"]["dataFile"] = {{"content", {{"settings", "short.bin"}}}};
  ExpectError("slots.dataFile.content.settings", "exactly 1240");
  for (int i = 0; i < 160; ++i) Write("many/f" + std::to_string(i), Bytes(1));
  manifest_["slots"]["dataFile"] = {{"content", {{"folder", "many"}}}};
  ExpectError("slots.dataFile.content", "at most 159");
}

TEST_F(LvpackManifestTest, InvalidJson) {
  Write("package.json", Bytes{'{', '"', 'a'});
  try {
    lvpack::LoadManifest(Path("package.json"));
    ADD_FAILURE() << "no error";
  } catch (const lvpack::ToolError& e) {
    EXPECT_NE(std::string::npos, std::string(e.what()).find("package.json: not valid JSON")) << e.what();
  }
}

}  // namespace
