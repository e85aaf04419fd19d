// The operating system's own message text for an error number.
#pragma once

#include <string>

// The text exactly as the system gives it (usually ending in a line break);
// empty when the system has no text for the number.
std::wstring SystemMessageText(unsigned long code);
