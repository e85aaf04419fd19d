// The catalogue is read back from the program's own string table, as the installer does.
#include <gtest/gtest.h>

#include "messages/Messages.h"

TEST(Catalogue, KeepsLeadingSpaces) {
  EXPECT_EQ(LoadMessage(msg::sSameNameOverwriteQuery),
            L" 同じ名称のスクリーンセーバーがあります。上書きしますか？");
  EXPECT_EQ(LoadMessage(msg::sDeletingInstalledFiles), L" インストールしたファイルを削除中...");
}

TEST(Catalogue, KeepsTrailingSpaces) {
  EXPECT_EQ(LoadMessage(msg::sProductError), L"Lumivaneエラー = ");
  EXPECT_EQ(LoadMessage(msg::sInstallErrorPrefix), L"インストールエラー: ");
  EXPECT_EQ(LoadMessage(msg::sZipExpandError), L"Zip Error: Problem expanding data in memory. ");
}

TEST(Catalogue, KeepsLineBreaksAndBackslash) {
  EXPECT_EQ(LoadMessage(msg::sRestartQuery),
            L"インストールが完了しました。コンピュータを再起動する必要があります。\r\n\r\n"
            L"今すぐコンピュータを再起動しますか？");
  EXPECT_EQ(LoadMessage(msg::sDirSuffix), L" dir\\");
}

TEST(Catalogue, DistinguishesTheTwoDataFileReadErrors) {
  EXPECT_EQ(LoadMessage(msg::sSaverDataReadError), L"スクリーンセーバーのデータファイル読込みエラー");
  EXPECT_EQ(LoadMessage(msg::sSaverDataFileReadError), L"スクリーンセーバーデータファイルの読込みエラー");
}

TEST(Catalogue, EmptyAndUnusedNumbersGiveEmptyText) {
  EXPECT_EQ(LoadMessage(msg::sNoDetail), L"");
  EXPECT_EQ(LoadMessage(65251), L"");
}
