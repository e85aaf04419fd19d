// Composition of the error box text for a result code, kept free of Win32 so that it
// is checked on the host. The pieces come from the message catalogue through `message`.
#pragma once

#include <functional>
#include <string>

#include "system/ResultCodes.h"

using MessageLookup = std::function<std::wstring(int id)>;

// systemText: the operating system's message text for the code (used for -523 only).
std::wstring ComposeInstallErrorText(rc::Result code, const std::wstring& detail,
                                     const MessageLookup& message,
                                     const std::wstring& systemText);
