// Texts that report how a start-up or an installation ended, composed from
// catalogue messages (looked up through `message`) and the result code.
#pragma once

#include <string>

#include "app/InstallErrorText.h"
#include "system/ResultCodes.h"

// The damaged-installer message of a failed start-up:
// "インストーラが破損しています" + "Lumivaneエラー = " + code + ". ".
std::wstring ComposeDamagedInstallerText(rc::Result code, const MessageLookup& message);

// The status line of a failed installation: the rebuild request + code, no separator.
std::wstring ComposeInstallFailedText(rc::Result code, const MessageLookup& message);

// What the preparing window says after an installation without the installer window.
std::wstring ComposeWithoutWindowOutcome(rc::Result code, const MessageLookup& message);
