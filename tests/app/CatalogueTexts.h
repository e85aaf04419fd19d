// Every text of the installer's message catalogue, by number, character for
// character as users must see it. This table is the one place the tests take
// catalogue texts from: the string-table check (tests/messages) compares the
// program's own string table with it, and the host tests compose messages
// from it. A new catalogue message gets one line here.
// \r\n is a line break; leading and trailing spaces belong to the text.
#pragma once

#include <string>

struct CatalogueEntry {
  int id;
  const wchar_t* text;
};

inline constexpr CatalogueEntry kCatalogue[] = {
    {65248, L"ユーザー権限が足りません。\r\n\r\n現在のユーザー権限ではインストールできませんでした。システム管理担当者にお問合せください。"},  // sUserRightsInsufficient
    {65249, L"スクリーンセーバーのデータファイル読込みエラー"},  // sSaverDataReadError
    {65250, L"スクリーンセーバーの上書きができませんでした\r\n\r\n画面のプロパティを閉じて再度インストールしてください。再度エラーが起きる場合はユーザー権限に問題がある場合があります。システム管理者にお問い合わせください。"},  // sSaverOverwriteFailedAdvice
    {65267, L"スクリーンセーバー"},  // sScreenSaver
    {65268, L"スクリーンセーバーをインストール中…"},  // sInstallingScreenSaver
    {65271, L"スクリーンセーバーデータの書出し"},  // sWritingSaverData
    {65272, L"スクリーンセーバーファイルの書出し中..."},  // sWritingSaverFile
    {65273, L"スクリーンセーバーのインストール完了"},  // sSaverInstallComplete
    {65274, L"インストール中止:スクリーンセーバーの上書きができませんでした"},  // sAbortedOverwriteFailed
    {65275, L"スクリーンセーバーデータファイルの読込みエラー"},  // sSaverDataFileReadError
    {65276, L"スクリーンセーバーデータファイルが既に使用されています"},  // sSaverDataFileInUse
    {65277, L" 同じ名称のスクリーンセーバーがあります。上書きしますか？"},  // sSameNameOverwriteQuery
    {65278, L"スクリーンセーバーをインストールしました。画面のプロパティを開きますか？"},  // sInstalledOpenDisplayQuery
    {65280, L"インストールされました"},  // sInstalled
    {65282, L"インストール中止: ユーザー権限に問題があります"},  // sAbortedUserRights
    {65283, L"インストールに失敗しました。インストーラを再作成してください。"},  // sInstallFailedRebuild
    {65284, L" インストールしたファイルを削除中..."},  // sDeletingInstalledFiles
    {65285, L"インストールが完了しました。コンピュータを再起動する必要があります。\r\n\r\n今すぐコンピュータを再起動しますか？"},  // sRestartQuery
    {65286, L"Lumivaneエラー = "},  // sProductError
    {65287, L"インストーラが破損しています"},  // sInstallerDamaged
    {65288, L"ファイルを閉じることができません"},  // sCannotCloseFile
    {65289, L"インストールエラー: "},  // sInstallErrorPrefix
    {65290, L"インストーラが壊れてます。インストーラを再入手してください。"},  // sInstallerBrokenRefetch
    {65291, L"ファイルがビジー状態か他のアプリケーションによって開かれてます"},  // sFileBusy
    {65292, L"再度インストールしてください。このメッセージが再び表示される場合は、システム管理者に権限を変更してもらってください。"},  // sInstallAgainAskAdmin
    {65293, L""},  // sNoDetail
    {65294, L"ファイルに問題あり"},  // sFileProblem
    {65295, L"Zip Error: Problem expanding data in memory. "},  // sZipExpandError
    {65304, L" dir\\"},  // sDirSuffix
    {65305, L"了承/インストール"},  // sAcceptInstallCaption
    {65306, L"キャンセル"},  // sCancelCaption
    {65307, L"閉じる"},  // sCloseCaption
    {65308, L"インストール"},  // sInstallWord
    {65309, L"画面のプロパティ"},  // sDisplayPropertiesTitle
    {65311, L"ファイルを展開中..."},  // sExtractingFiles
};

// The catalogue text of message `id`; empty for numbers the catalogue lacks.
inline std::wstring CatalogueText(int id) {
  for (const CatalogueEntry& entry : kCatalogue)
    if (entry.id == id) return entry.text;
  return std::wstring();
}
