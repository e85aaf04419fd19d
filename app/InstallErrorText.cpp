#include "app/InstallErrorText.h"

#include "messages/MessageIds.h"

namespace {
const wchar_t kBlankLine[] = L"\r\n\r\n";
}

std::wstring ComposeInstallErrorText(rc::Result code, const std::wstring& detail,
                                     const MessageLookup& message,
                                     const std::wstring& systemText) {
  std::wstring text = message(msg::sInstallErrorPrefix);
  switch (code) {
    case rc::kFolderRemoveFailed:
      break;
    case rc::kFileBusy:
      text += message(msg::sFileBusy) + detail;
      break;
    case rc::kInstallerBroken:
      text += message(msg::sInstallerBrokenRefetch) + detail;
      break;
    case rc::kSaverOverwriteFailed:  // the detail is not shown
      text += message(msg::sSaverOverwriteFailedAdvice);
      break;
    case rc::kCannotCopyInstaller:
      text += detail + systemText + kBlankLine + message(msg::sInstallAgainAskAdmin) +
              message(msg::sNoDetail);
      break;
    case rc::kAccessDenied:
      text += detail + kBlankLine + message(msg::sUserRightsInsufficient);
      break;
    default:  // the detail appears twice: after the prefix and after the generic text
      text += detail + kBlankLine + message(msg::sFileProblem) + detail + L". ";
      break;
  }
  return text;
}
