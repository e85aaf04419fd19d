// Copying a file onto another, the way the installer copies its own file, the
// licence and document, and the installer's movie.
#pragma once

#include <string>

#include "system/ResultCodes.h"

// Sets both files' attributes to normal where they exist, then copies `source`
// onto `target`, replacing it. 0 or the Windows error code of the copy.
rc::Result CopyFileChecked(const std::wstring& source, const std::wstring& target);
