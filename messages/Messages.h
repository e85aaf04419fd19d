// User texts: loaded by number from the program's own string table each time
// a text is used. There is no run-time language selection.
#pragma once

#include <string>

#include "messages/MessageIds.h"

// The text of catalogue message `id`; empty when the table has no such text.
std::wstring LoadMessage(int id);
