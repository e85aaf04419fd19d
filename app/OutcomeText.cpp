#include "app/OutcomeText.h"

#include "messages/MessageIds.h"
#include "system/LMV_StringUtils.h"

std::wstring ComposeDamagedInstallerText(rc::Result code, const MessageLookup& message) {
  return message(msg::sInstallerDamaged) + message(msg::sProductError) + DecimalText(code) +
         L". ";
}

std::wstring ComposeInstallFailedText(rc::Result code, const MessageLookup& message) {
  return message(msg::sInstallFailedRebuild) + DecimalText(code);
}

std::wstring ComposeWithoutWindowOutcome(rc::Result code, const MessageLookup& message) {
  if (code == rc::kOk) return message(msg::sInstalled);
  // Not a catalogue text: the program has always said this in English.
  if (code == rc::kUserDeclined) return L"Installation Cancelled";
  return ComposeInstallFailedText(code, message);
}
