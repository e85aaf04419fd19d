// The movie reader on generated movies: signature, versions, frame size, tag
// walking, background colour and the fscommand settings window.
#include <string>

#include <gtest/gtest.h>

#include "SwfBuilder.h"
#include "TestFolder.h"
#include "flash/SwfMovie.h"
#include "system/InstallerError.h"

namespace {

class SwfHeaderTest : public TempFolderTest {
 protected:
  rc::Result readHeader(const Bytes& movie) {
    WriteFile(file("m.swf"), movie);
    return reader.readSWFFile_FWS_Format(file("m.swf"));
  }
  ErrorKind raisedKind(const Bytes& movie) {
    try {
      readHeader(movie);
    } catch (const InstallerError& e) {
      return e.kind();
    }
    ADD_FAILURE() << "no error raised";
    return ErrorKind::FileError;
  }
  TSwfMovie reader;
};

TEST_F(SwfHeaderTest, SignatureAcceptsPlainAndCompressed) {
  WriteFile(file("a.swf"), SwfBuilder().background(1, 2, 3).plain());
  reader.swfFilename = file("a.swf");
  EXPECT_EQ(0, reader.readSWFSignature());
  EXPECT_EQ("FWS", reader.swfSignature);
  WriteFile(file("b.swf"), SwfBuilder().background(1, 2, 3).compressed());
  reader.swfFilename = file("b.swf");
  EXPECT_EQ(0, reader.readSWFSignature());
  EXPECT_EQ("CWS", reader.swfSignature);
}

TEST_F(SwfHeaderTest, LowerCaseSignatureIsNotAMovie) {
  WriteFile(file("a.swf"), SwfBuilder().signature("fws").background(1, 2, 3).plain());
  reader.swfFilename = file("a.swf");
  EXPECT_EQ(rc::kNotAMovie, reader.readSWFSignature());
  EXPECT_EQ("fws", reader.swfSignature);
  EXPECT_EQ(rc::kNotAMovie, reader.readSWFFile_FWS_Format(file("a.swf")));
}

TEST_F(SwfHeaderTest, MissingFileKeepsPreviousSignature) {
  reader.swfSignature = "CWS";
  reader.swfFilename = file("absent.swf");
  EXPECT_EQ(0, reader.readSWFSignature());
  EXPECT_EQ("CWS", reader.swfSignature);
}

TEST_F(SwfHeaderTest, FileShorterThanSignatureRaisesReadError) {
  WriteFile(file("a.swf"), Bytes{'F', 'W'});
  reader.swfFilename = file("a.swf");
  try {
    reader.readSWFSignature();
    FAIL() << "no error raised";
  } catch (const InstallerError& e) {
    EXPECT_EQ(ErrorKind::ReadError, e.kind());
    EXPECT_EQ(rc::kShortRead, e.code());
  }
}

TEST_F(SwfHeaderTest, MissingFileResetsFieldsAndSucceeds) {
  reader.bgRed = 7;
  reader.allowScale = -2;
  reader.swfVersion = 6;
  EXPECT_EQ(0, reader.readSWFFile_FWS_Format(file("absent.swf")));
  EXPECT_EQ(255, reader.bgRed);
  EXPECT_EQ(1, reader.allowScale);
  EXPECT_EQ(1, reader.fullScreen);
  EXPECT_EQ(0, reader.swfVersion);
}

TEST_F(SwfHeaderTest, VersionRangeThreeToSeven) {
  EXPECT_EQ(0, readHeader(SwfBuilder().version(3).background(0, 0, 0).plain()));
  EXPECT_EQ(3, reader.swfVersion);
  EXPECT_EQ(0, readHeader(SwfBuilder().version(7).background(0, 0, 0).plain()));
  EXPECT_EQ(7, reader.swfVersion);
  EXPECT_EQ(rc::kMovieTooNew, readHeader(SwfBuilder().version(8).background(0, 0, 0).plain()));
  EXPECT_EQ(8, reader.swfVersion);
  EXPECT_EQ(rc::kMovieTooOld, readHeader(SwfBuilder().version(2).background(0, 0, 0).plain()));
  EXPECT_EQ(rc::kMovieTooNew, readHeader(SwfBuilder().version(255).plain()));
}

TEST_F(SwfHeaderTest, SignatureTestedBeforeVersion) {
  EXPECT_EQ(rc::kNotAMovie, readHeader(SwfBuilder().signature("CWS").version(9).plain()));
  EXPECT_EQ(0, reader.swfVersion);
}

TEST_F(SwfHeaderTest, RectangleGivesFrameSizeInPixels) {
  EXPECT_EQ(0, readHeader(SwfBuilder().frame(15, 0, 16000, 0, 12000).background(1, 1, 1).plain()));
  EXPECT_EQ(800, reader.movieWidth);
  EXPECT_EQ(600, reader.movieHeight);
}

TEST_F(SwfHeaderTest, FrameSizeIsMaximumNotExtent) {
  EXPECT_EQ(0, readHeader(SwfBuilder().frame(14, 100, 8100, 200, 6200).background(1, 1, 1).plain()));
  EXPECT_EQ(405, reader.movieWidth);
  EXPECT_EQ(310, reader.movieHeight);
}

TEST_F(SwfHeaderTest, WidestAndEmptyRectangles) {
  EXPECT_EQ(0, readHeader(SwfBuilder().frame(31, 0, 0x7FFFFFFF, 0, 40).background(1, 1, 1).plain()));
  EXPECT_EQ(0x7FFFFFFF / 20, reader.movieWidth);
  EXPECT_EQ(2, reader.movieHeight);
  EXPECT_EQ(0, readHeader(SwfBuilder().frame(0, 0, 0, 0, 0).background(4, 5, 6).plain()));
  EXPECT_EQ(0, reader.movieWidth);
  EXPECT_EQ(0, reader.movieHeight);
  EXPECT_EQ(6, reader.bgBlue);
}

TEST_F(SwfHeaderTest, FirstTagBlackBackground) {
  EXPECT_EQ(0, readHeader(SwfBuilder().background(0, 0, 0).plain()));
  EXPECT_EQ(0, reader.bgRed);
  EXPECT_EQ(0, reader.bgGreen);
  EXPECT_EQ(0, reader.bgBlue);
}

TEST_F(SwfHeaderTest, LongAndEmptyTagsBeforeBackgroundAreSkipped) {
  Bytes big(300, 9 << 6 & 0xFF);  // bodies full of bytes that would look like tag 9
  Bytes shortLong{0x40, 0x02, 0x03};
  SwfBuilder movie;
  movie.tag(69, {1, 0, 0, 0})
      .tag(77, big)                    // long form, 300 bytes
      .tag(1, {})                      // zero length: no body
      .tag(2, shortLong, true)         // long form used for a short body
      .tag(3, {}, true)                // long form with length 0
      .background(0x12, 0x34, 0x56);
  EXPECT_EQ(0, readHeader(movie.plain()));
  EXPECT_EQ(0x12, reader.bgRed);
  EXPECT_EQ(0x34, reader.bgGreen);
  EXPECT_EQ(0x56, reader.bgBlue);
}

TEST_F(SwfHeaderTest, MissingBackgroundTagRaisesReadError) {
  EXPECT_EQ(ErrorKind::ReadError, raisedKind(SwfBuilder().tag(1, {}).tag(2, {1, 2}).plain()));
}

TEST_F(SwfHeaderTest, TagBodyPastEndRaisesReadError) {
  Bytes movie = SwfBuilder().raw({0x3F, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}).background(1, 2, 3).plain();
  EXPECT_EQ(ErrorKind::ReadError, raisedKind(movie));
}

TEST_F(SwfHeaderTest, HeaderCutShortRaisesReadError) {
  Bytes movie = SwfBuilder().background(1, 2, 3).plain();
  movie.resize(10);
  EXPECT_EQ(ErrorKind::ReadError, raisedKind(movie));
}

TEST_F(SwfHeaderTest, ShortBackgroundBodyLeavesMissingComponentsZero) {
  EXPECT_EQ(0, readHeader(SwfBuilder().tag(9, {0x80}).fscommand("allowscale", "false").plain()));
  EXPECT_EQ(0x80, reader.bgRed);
  EXPECT_EQ(0, reader.bgGreen);
  EXPECT_EQ(0, reader.bgBlue);
  // The window starts after the declared body.
  EXPECT_EQ(0, reader.allowScale);
  EXPECT_EQ(0, readHeader(SwfBuilder().tag(9, {}).plain()));
  EXPECT_EQ(0, reader.bgRed);
}

TEST_F(SwfHeaderTest, LongBackgroundBodyIsPassedOver) {
  EXPECT_EQ(0, readHeader(SwfBuilder().tag(9, {1, 2, 3, 't', 'x'}, true).fscommand("fullscreen", "false").plain()));
  EXPECT_EQ(1, reader.bgRed);
  EXPECT_EQ(3, reader.bgBlue);
  EXPECT_EQ(0, reader.fullScreen);
}

TEST_F(SwfHeaderTest, SettingsTrueFalseOtherAbsent) {
  readHeader(SwfBuilder().background(1, 1, 1).fscommand("fullscreen", "true").text("xx")
                 .fscommand("allowscale", "true").plain());
  EXPECT_EQ(1, reader.fullScreen);
  EXPECT_EQ(1, reader.allowScale);
  readHeader(SwfBuilder().background(1, 1, 1).fscommand("allowscale", "false").plain());
  EXPECT_EQ(0, reader.allowScale);
  EXPECT_EQ(-1, reader.fullScreen);
  readHeader(SwfBuilder().background(1, 1, 1).fscommand("allowscale", "no").plain());
  EXPECT_EQ(-2, reader.allowScale);
  readHeader(SwfBuilder().background(1, 1, 1).text("nothing to see here").plain());
  EXPECT_EQ(-1, reader.allowScale);
  EXPECT_EQ(-1, reader.fullScreen);
}

TEST_F(SwfHeaderTest, SettingsIgnoreLetterCaseAndTakeFirstOccurrence) {
  readHeader(SwfBuilder().background(1, 1, 1).fscommand("ALLOWSCALE", "TRUE")
                 .fscommand("allowscale", "false").fscommand("FullScreen", "F").plain());
  EXPECT_EQ(1, reader.allowScale);
  EXPECT_EQ(0, reader.fullScreen);
}

TEST_F(SwfHeaderTest, SettingsBeyondTwoThousandBytesAreNotSeen) {
  readHeader(SwfBuilder().background(1, 1, 1).text(std::string(1990, '.'))
                 .fscommand("allowscale", "false").plain());
  EXPECT_EQ(-1, reader.allowScale);
}

TEST_F(SwfHeaderTest, ValueByteOutsideWindowIsNotFound) {
  // Declared length ends the window right after "allowscale" and the separator.
  Bytes movie = SwfBuilder().background(1, 1, 1).fscommand("allowscale", "true").plain();
  const std::size_t valueAt = movie.size() - 5;  // "true\0" follows
  Bytes cut = SwfBuilder().background(1, 1, 1).fscommand("allowscale", "true")
                  .declaredLength(static_cast<std::int64_t>(valueAt)).plain();
  readHeader(cut);
  EXPECT_EQ(-1, reader.allowScale);
  cut = SwfBuilder().background(1, 1, 1).fscommand("allowscale", "true")
            .declaredLength(static_cast<std::int64_t>(valueAt + 1)).plain();
  readHeader(cut);
  EXPECT_EQ(1, reader.allowScale);
}

TEST_F(SwfHeaderTest, EmptyOrNegativeWindowGivesNotFound) {
  readHeader(SwfBuilder().background(1, 1, 1).fscommand("allowscale", "true").declaredLength(0).plain());
  EXPECT_EQ(-1, reader.allowScale);
  EXPECT_EQ(-1, reader.fullScreen);
  readHeader(SwfBuilder().background(1, 1, 1).fscommand("allowscale", "true")
                 .declaredLength(0x80000000LL).plain());  // negative when read signed
  EXPECT_EQ(-1, reader.allowScale);
}

// A movie cut short inside its settings window is as damaged as one cut before
// its background colour; the colour read before the failure stays.
TEST_F(SwfHeaderTest, DeclaredLengthBeyondFileInWindowRaisesReadError) {
  EXPECT_EQ(ErrorKind::ReadError, raisedKind(SwfBuilder().background(4, 5, 6).fscommand("allowscale", "false")
                                                 .declaredLength(100000).plain()));
  EXPECT_EQ(6, reader.bgBlue);
  EXPECT_EQ(1, reader.allowScale);
}

TEST(FindFSCommandFlag, ValueByteMustLieInsideLength) {
  const std::string text = std::string("allowscale") + '\0' + "t";
  const int n = static_cast<int>(text.size());
  EXPECT_EQ(1, TSwfMovie::findFSCommandFlag("ALLOWSCALE", text.data(), n));
  EXPECT_EQ(-1, TSwfMovie::findFSCommandFlag("ALLOWSCALE", text.data(), n - 1));
  EXPECT_EQ(-1, TSwfMovie::findFSCommandFlag("ALLOWSCALE", text.data(), 0));
  EXPECT_EQ(-1, TSwfMovie::findFSCommandFlag("ALLOWSCALE", text.data(), -5));
}

TEST(FindFSCommandFlag, SeparatorMayBeAnyByteAndValueIsFirstLetter) {
  const std::string text = "..fullscreen#Tru";
  EXPECT_EQ(1, TSwfMovie::findFSCommandFlag("fullScreen", text.data(), static_cast<int>(text.size())));
  const std::string other("fullscreen\0\0x", 13);
  EXPECT_EQ(-2, TSwfMovie::findFSCommandFlag("fullScreen", other.data(), 13));
}

}  // namespace
