// Code page 932 conversion, the same on the host (iconv) and on Windows.
#include "system/Cp932.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

#include <cstdint>
#include <map>

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


// --- our own table, used where Windows has no code page 932 ----------------------

bool IsLead(int b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool IsTrail(int b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }

#ifndef _WIN32
// One strict iconv conversion of `bytes` to a single character; false when
// iconv refuses the bytes or makes anything but one character of them.
bool IconvOneCharacter(const std::string& bytes, wchar_t& out) {
  iconv_t cd = iconv_open("WCHAR_T", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  wchar_t result[4] = {};
  char* to = reinterpret_cast<char*>(result);
  std::size_t toLeft = sizeof result;
  const std::size_t r = iconv(cd, &in, &inLeft, &to, &toLeft);
  iconv_close(cd);
  if (r == static_cast<std::size_t>(-1) || inLeft != 0 || sizeof result - toLeft != sizeof(wchar_t))
    return false;
  out = result[0];
  return true;
}

// Every double-byte pair and every single byte, against the host's iconv. Where
// iconv refuses a pair (unassigned), the table gives Windows' default character
// for the whole pair: iconv resynchronises one byte later there, Windows (and the
// table) after the pair.
TEST(Cp932Table, AgreesWithIconvOnEveryPairAndByte) {
  int assigned = 0;
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (!IsLead(lead)) continue;
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      if (!IsTrail(trail)) continue;
      const std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
      wchar_t expected = 0x30FB;
      if (IconvOneCharacter(pair, expected)) ++assigned;
      ASSERT_EQ(FromCp932(pair, Cp932Decoder::Table), std::wstring(1, expected))
          << std::hex << lead << " " << trail;
    }
  }
  EXPECT_GT(assigned, 7000) << "the mapping was not read whole";
  const std::map<int, wchar_t> windowsOnly = {
      {0x80, 0x0080}, {0xA0, 0xF8F0}, {0xFD, 0xF8F1}, {0xFE, 0xF8F2}, {0xFF, 0xF8F3}};
  for (int b = 0; b <= 0xFF; ++b) {
    if (IsLead(b)) continue;
    wchar_t expected = 0;
    if (windowsOnly.count(b) != 0)
      expected = windowsOnly.at(b);
    else
      ASSERT_TRUE(IconvOneCharacter(std::string(1, static_cast<char>(b)), expected)) << b;
    EXPECT_EQ(FromCp932(std::string(1, static_cast<char>(b)), Cp932Decoder::Table),
              std::wstring(1, expected)) << std::hex << b;
  }
}
#else
// Under Windows (Wine) the system has code page 932: the table must decode
// every pair and every single byte exactly as the system does.
TEST(Cp932Table, AgreesWithTheSystemOnEveryPairAndByte) {
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (!IsLead(lead)) continue;
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      if (!IsTrail(trail)) continue;
      const std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
      ASSERT_EQ(FromCp932(pair, Cp932Decoder::Table), FromCp932(pair))
          << std::hex << lead << " " << trail;
    }
  }
  for (int b = 0; b <= 0xFF; ++b) {
    const std::string single(1, static_cast<char>(b));
    EXPECT_EQ(FromCp932(single, Cp932Decoder::Table), FromCp932(single)) << std::hex << b;
  }
}
#endif

// How the table pairs bytes that are not one character: a lead byte whose next
// byte cannot be a second byte stands alone and the next byte counts on its own,
// so a "/" or a "\" there is never swallowed.
TEST(Cp932Table, ALeadByteWithoutSecondByteStandsAlone) {
  EXPECT_EQ(FromCp932("\x83/a", Cp932Decoder::Table), L"\x30FB/a");
  EXPECT_EQ(FromCp932("a\x83", Cp932Decoder::Table), L"a\x30FB");
  EXPECT_EQ(FromCp932("\xFC\xFC\x5C", Cp932Decoder::Table), L"\x30FB\\");
  EXPECT_EQ(FromCp932("\x83\x5C\x83\x74\x83\x67.scr", Cp932Decoder::Table), L"\u30BD\u30D5\u30C8.scr");
}

}  // namespace
}  // namespace text
