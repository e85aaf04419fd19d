// Code page 932 conversion, the same on the host (iconv) and on Windows.
#include "system/Cp932.h"

#include <gtest/gtest.h>

namespace text {
namespace {

// "スクリーンセーバー" in code page 932 and UTF-8.
const char kSaverCp932[] = "\x83\x58\x83\x4E\x83\x8A\x81\x5B\x83\x93\x83\x5A\x81\x5B\x83\x6F\x81\x5B";
const char kSaverUtf8[] =
    "\xE3\x82\xB9\xE3\x82\xAF\xE3\x83\xAA\xE3\x83\xBC\xE3\x83\xB3\xE3\x82\xBB\xE3\x83\xBC\xE3\x83"
    "\x90\xE3\x83\xBC";

TEST(Cp932, DecodesAndEncodesJapaneseText) {
  const std::wstring wide = FromCp932(kSaverCp932);
  EXPECT_EQ(L"\u30B9\u30AF\u30EA\u30FC\u30F3\u30BB\u30FC\u30D0\u30FC", wide);
  std::string back;
  ASSERT_TRUE(ToCp932(wide, back));
  EXPECT_EQ(kSaverCp932, back);
}

TEST(Cp932, BackslashTrailByteAndAsciiRoundTrip) {
  const std::string bytes = "\x83\x5C\\a~b 1.scr";  // "ソ\a~b 1.scr"
  const std::wstring wide = FromCp932(bytes);
  EXPECT_EQ(L"\u30BD\\a~b 1.scr", wide);
  std::string back;
  ASSERT_TRUE(ToCp932(wide, back));
  EXPECT_EQ(bytes, back);
}

TEST(Cp932, Utf8ShorthandsRoundTrip) {
  std::string cp932;
  ASSERT_TRUE(Utf8ToCp932(kSaverUtf8, cp932));
  EXPECT_EQ(kSaverCp932, cp932);
  EXPECT_EQ(kSaverUtf8, Cp932ToUtf8(cp932));
}

TEST(Cp932, UnrepresentableCharactersAreRefusedWithoutBestFit) {
  // "é" would best-fit to "e" and "€" has no form in code page 932.
  for (const wchar_t* text : {L"caf\u00E9", L"\u20AC", L"a\uAC00b"}) {
    std::string out = "unchanged";
    EXPECT_FALSE(ToCp932(text, out));
    EXPECT_EQ("unchanged", out);
  }
  std::string out;
  EXPECT_FALSE(Utf8ToCp932("\xF0\x9F\x98\x80", out));  // an emoji outside the BMP
}

TEST(Cp932, MalformedUtf8IsRefused) {
  std::wstring out = L"unchanged";
  EXPECT_FALSE(Utf8ToWide("a\xC3", out));
  EXPECT_FALSE(Utf8ToWide("\xFF\xFE", out));
  EXPECT_EQ(L"unchanged", out);
}

TEST(Cp932, UndecodableBytesDoNotStopDecoding) {
  const std::wstring wide = FromCp932("a\x83");  // lead byte without its second byte
  ASSERT_FALSE(wide.empty());
  EXPECT_EQ(L'a', wide[0]);
  EXPECT_EQ(L"", FromCp932(""));
}

}  // namespace
}  // namespace text
