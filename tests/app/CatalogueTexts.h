// The catalogue texts that the composed messages use, as the string table
// holds them, so that compositions can be checked on the host.
#pragma once

#include <map>
#include <string>

#include "messages/MessageIds.h"

inline std::wstring CatalogueText(int id) {
  static const std::map<int, std::wstring> texts = {
      {msg::sInstallErrorPrefix, L"インストールエラー: "},
      {msg::sFileBusy, L"ファイルがビジー状態か他のアプリケーションによって開かれてます"},
      {msg::sInstallerBrokenRefetch, L"インストーラが壊れてます。インストーラを再入手してください。"},
      {msg::sSaverOverwriteFailedAdvice,
       L"スクリーンセーバーの上書きができませんでした\r\n\r\n"
       L"画面のプロパティを閉じて再度インストールしてください。再度エラーが起きる場合はユーザー権限に問題がある場合があります。システム管理者にお問い合わせください。"},
      {msg::sInstallAgainAskAdmin,
       L"再度インストールしてください。このメッセージが再び表示される場合は、システム管理者に権限を変更してもらってください。"},
      {msg::sNoDetail, L""},
      {msg::sUserRightsInsufficient,
       L"ユーザー権限が足りません。\r\n\r\n現在のユーザー権限ではインストールできませんでした。システム管理担当者にお問合せください。"},
      {msg::sFileProblem, L"ファイルに問題あり"},
      {msg::sInstallerDamaged, L"インストーラが破損しています"},
      {msg::sProductError, L"Lumivaneエラー = "},
      {msg::sInstallFailedRebuild, L"インストールに失敗しました。インストーラを再作成してください。"},
      {msg::sInstalled, L"インストールされました"},
  };
  const auto found = texts.find(id);
  return found == texts.end() ? std::wstring() : found->second;
}
