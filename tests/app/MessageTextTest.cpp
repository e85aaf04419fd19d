// The error box texts and the outcome texts, composed exactly: pieces joined
// without separators unless a blank line is part of the text.
#include <gtest/gtest.h>

#include "app/InstallErrorText.h"
#include "app/OutcomeText.h"
#include "messages/MessageIds.h"
#include "tests/app/CatalogueTexts.h"

namespace {

const std::wstring kPrefix = L"インストールエラー: ";
const std::wstring kPath = L"C:\\WINDOWS\\TEMP\\LVF1\\temp.dat";

std::wstring Compose(rc::Result code, const std::wstring& detail,
                     const std::wstring& systemText = L"") {
  return ComposeInstallErrorText(code, detail, CatalogueText, systemText);
}

TEST(InstallErrorText, FolderRemovalShowsOnlyThePrefix) {
  EXPECT_EQ(Compose(-1, kPath), kPrefix);
}

TEST(InstallErrorText, BusyFileJoinsTextAndPathWithoutSeparator) {
  EXPECT_EQ(Compose(-32, kPath),
            kPrefix + L"ファイルがビジー状態か他のアプリケーションによって開かれてます" + kPath);
}

TEST(InstallErrorText, BrokenInstallerNamesTheDetail) {
  EXPECT_EQ(Compose(-34, L"x"),
            kPrefix + L"インストーラが壊れてます。インストーラを再入手してください。x");
}

TEST(InstallErrorText, OverwriteFailureIgnoresTheDetail) {
  const std::wstring text = Compose(-38, L"-38");
  EXPECT_EQ(text.find(L"-38"), std::wstring::npos);
  EXPECT_EQ(text, kPrefix + CatalogueText(msg::sSaverOverwriteFailedAdvice));
  EXPECT_NE(text.find(L"できませんでした\r\n\r\n画面のプロパティ"), std::wstring::npos);
}

TEST(InstallErrorText, CopyFailureCarriesPathSystemTextAndAdvice) {
  EXPECT_EQ(Compose(-523, kPath, L"<system>"),
            kPrefix + kPath + L"<system>" + L"\r\n\r\n" +
                L"再度インストールしてください。このメッセージが再び表示される場合は、システム管理者に権限を変更してもらってください。");
  // Without a system text the advice follows the path directly after the blank line.
  EXPECT_EQ(Compose(-523, kPath).substr(kPrefix.size() + kPath.size(), 2), L"\r\n");
}

TEST(InstallErrorText, AccessDeniedExplainsTheRights) {
  EXPECT_EQ(Compose(5, L"5"),
            kPrefix + L"5\r\n\r\nユーザー権限が足りません。\r\n\r\n"
                      L"現在のユーザー権限ではインストールできませんでした。システム管理担当者にお問合せください。");
}

TEST(InstallErrorText, OtherCodesShowTheDetailTwice) {
  EXPECT_EQ(Compose(-31, kPath),
            kPrefix + kPath + L"\r\n\r\nファイルに問題あり" + kPath + L". ");
  EXPECT_EQ(Compose(2, L"P"), kPrefix + L"P\r\n\r\nファイルに問題ありP. ");
}

TEST(OutcomeText, DamagedInstallerUsesAsciiMinusAndTrailingSpace) {
  EXPECT_EQ(ComposeDamagedInstallerText(-531, CatalogueText),
            L"インストーラが破損していますLumivaneエラー = -531. ");
  EXPECT_EQ(ComposeDamagedInstallerText(3, CatalogueText),
            L"インストーラが破損していますLumivaneエラー = 3. ");
}

TEST(OutcomeText, FailedInstallationAppendsTheCode) {
  EXPECT_EQ(ComposeInstallFailedText(-401, CatalogueText),
            L"インストールに失敗しました。インストーラを再作成してください。-401");
  EXPECT_EQ(ComposeInstallFailedText(-16, CatalogueText),
            L"インストールに失敗しました。インストーラを再作成してください。-16");
}

TEST(OutcomeText, InstallationWithoutWindowSaysHowItEnded) {
  EXPECT_EQ(ComposeWithoutWindowOutcome(0, CatalogueText), L"インストールされました");
  EXPECT_EQ(ComposeWithoutWindowOutcome(-454, CatalogueText), L"Installation Cancelled");
  EXPECT_EQ(ComposeWithoutWindowOutcome(-38, CatalogueText),
            L"インストールに失敗しました。インストーラを再作成してください。-38");
}

}  // namespace
