// Real movies of other projects, read the way the panel reads them. The folder
// lies outside the tree; the test is skipped when it is absent.
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "TestFolder.h"
#include "flash/SwfMovie.h"
#include "system/InstallerError.h"

namespace {

struct Outcome {
  std::string result;  // result code in decimal, or the raised error's kind
  TSwfMovie movie;
};

std::filesystem::path SamplesFolder() {
#ifdef _WIN32
  return std::filesystem::path(L"Z:" LV_SWF_SAMPLES_WIDE);
#else
  return LV_SWF_SAMPLES;
#endif
}

class SwfSamplesTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    if (!std::filesystem::is_directory(SamplesFolder())) GTEST_SKIP() << "no sample folder";
  }
  Outcome read(const std::string& name) {
    Outcome o;
    o.movie.swfFilename = SamplesFolder() / name;
    try {
      o.result = std::to_string(o.movie.readMovie());
    } catch (const InstallerError& e) {
      o.result = e.kindName();
    }
    return o;
  }
};

TEST_F(SwfSamplesTest, EverySampleGivesACodeOrAnError) {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(SamplesFolder())) {
    if (entry.path().extension() != ".swf") continue;
    Outcome o = read(entry.path().filename().string());
    ++count;
    const std::string& r = o.result;
    EXPECT_TRUE(r == "0" || r == "-404" || r == "-405" || r == "-406" || r == "ReadError" ||
                r == "DecompressionError")
        << entry.path() << ": " << r;
    if (r == "0") {
      EXPECT_GE(o.movie.swfVersion, 3);
      EXPECT_LE(o.movie.swfVersion, 7);
      EXPECT_GE(o.movie.movieWidth, 0);
    }
  }
  EXPECT_GT(count, 0);
}

TEST_F(SwfSamplesTest, KnownOutcomes) {
  const std::map<std::string, std::string> expected = {
      {"v1-definebutton-mx.swf", "-406"}, {"v2-buttoncxform-mx.swf", "-406"},
      {"fws8-attachmovie.swf", "-405"},   {"cws8-huffmann-n10.swf", "-405"},
      {"zws32-lzma.swf", "-404"},         {"notswf-text.swf", "-404"},
      {"empty.swf", "ReadError"},         {"cws4-no-bg.swf", "ReadError"},
      {"fws6-lastopcode-n1.swf", "ReadError"},
      {"cws6-gradients-alpha-broken.swf", "DecompressionError"},
      {"cws6-clipping-layer-broken.swf", "DecompressionError"},
      {"fws3-morphshape-mx.swf", "0"},    {"cws6-gradients-alpha.swf", "0"}};
  for (const auto& [name, result] : expected) {
    if (!std::filesystem::exists(SamplesFolder() / name)) continue;
    EXPECT_EQ(result, read(name).result) << name;
  }
}

TEST_F(SwfSamplesTest, FrameSizesAndColours) {
  if (std::filesystem::exists(SamplesFolder() / "cws6-car-smash.swf")) {
    Outcome o = read("cws6-car-smash.swf");
    ASSERT_EQ("0", o.result);
    EXPECT_EQ(255, o.movie.bgRed);
    EXPECT_EQ(102, o.movie.bgGreen);
    EXPECT_EQ(0, o.movie.bgBlue);
  }
  if (std::filesystem::exists(SamplesFolder() / "cws7-1280x1024.swf")) {
    Outcome o = read("cws7-1280x1024.swf");
    ASSERT_EQ("0", o.result);
    EXPECT_EQ(1280, o.movie.movieWidth);
    EXPECT_EQ(1024, o.movie.movieHeight);
  }
  if (std::filesystem::exists(SamplesFolder() / "fws5-fscmd-fullscreen.swf")) {
    Outcome o = read("fws5-fscmd-fullscreen.swf");
    ASSERT_EQ("0", o.result);
    EXPECT_EQ(1, o.movie.fullScreen);
  }
}

}  // namespace
