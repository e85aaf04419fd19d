// The texts that name the screen saver: caption and installed-programs name.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "messages/MessageIds.h"
#include "system/LMV_StringUtils.h"

namespace {

// The catalogue texts these rules use; any other number is a test fault.
std::wstring Catalogue(int id) {
  if (id == msg::sScreenSaver) return L"スクリーンセーバー";
  if (id == msg::sInstallWord) return L"インストール";
  ADD_FAILURE() << "unexpected message " << id;
  return L"?";
}

TEST(TextContains, IgnoresAsciiCaseOnly) {
  EXPECT_TRUE(TextContains(L"My SCREENSAVER", L"screensaver"));
  EXPECT_TRUE(TextContains(L"night saver", L"SAVER"));
  EXPECT_FALSE(TextContains(L"ＳＡＶＥＲ", L"saver"));  // full-width letters are not ASCII
  EXPECT_FALSE(TextContains(L"Ä", L"ä"));
  EXPECT_TRUE(TextContains(L"夜のスクリーンセーバー集", L"スクリーンセーバー"));
}

TEST(TextContains, EmptyPartNeverMatchesAndLongerPartNever) {
  EXPECT_FALSE(TextContains(L"Aurora", L""));
  EXPECT_FALSE(TextContains(L"", L""));
  EXPECT_FALSE(TextContains(L"sav", L"saver"));
  EXPECT_FALSE(TextContains(L"", L"saver"));
}

TEST(InstallCaption, NameWithSaverWordIsUsedAfterTheInstallWord) {
  EXPECT_EQ(MakeInstallCaption(L"Night Saver", Catalogue), L"インストール: Night Saver");
  EXPECT_EQ(MakeInstallCaption(L"SCREENSAVER", Catalogue), L"インストール: SCREENSAVER");
  EXPECT_EQ(MakeInstallCaption(L"My Screen Saver", Catalogue), L"インストール: My Screen Saver");
  EXPECT_EQ(MakeInstallCaption(L"海のスクリーンセーバー", Catalogue),
            L"インストール: 海のスクリーンセーバー");
}

TEST(InstallCaption, NameWithoutSaverWordGetsTheJapaneseWord) {
  EXPECT_EQ(MakeInstallCaption(L"Aurora", Catalogue), L"インストール スクリーンセーバー: Aurora");
  EXPECT_EQ(MakeInstallCaption(L"", Catalogue), L"インストール スクリーンセーバー: ");
}

TEST(DisplayName, OnlyAsciiWordsCount) {
  EXPECT_EQ(MakeSaverDisplayName(L"Night Saver", Catalogue), L"Night Saver");
  EXPECT_EQ(MakeSaverDisplayName(L"MySaver", Catalogue), L"MySaver");
  EXPECT_EQ(MakeSaverDisplayName(L"Aurora", Catalogue), L"Aurora スクリーンセーバー");
  // The Japanese word alone is appended a second time, as the list shows it.
  EXPECT_EQ(MakeSaverDisplayName(L"海のスクリーンセーバー", Catalogue),
            L"海のスクリーンセーバー スクリーンセーバー");
}

TEST(DecimalText, WritesEveryLongLongIncludingTheExtremes) {
  EXPECT_EQ(DecimalText(0), L"0");
  EXPECT_EQ(DecimalText(-540), L"-540");
  EXPECT_EQ(DecimalText(4294967295LL), L"4294967295");
  EXPECT_EQ(DecimalText(std::numeric_limits<long long>::max()), L"9223372036854775807");
  EXPECT_EQ(DecimalText(std::numeric_limits<long long>::min()), L"-9223372036854775808");
  // Around every power of two, where the digits carry between the value's 32-bit halves.
  for (int bit = 1; bit < 63; ++bit) {
    for (const long long value : {(1LL << bit) - 1, 1LL << bit, (1LL << bit) + 1, -(1LL << bit)})
      EXPECT_EQ(DecimalText(value), std::to_wstring(value)) << value;
  }
}

}  // namespace
