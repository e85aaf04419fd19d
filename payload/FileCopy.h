// Copying a file onto another, the way the installer copies its own file, the
// licence and document, and the installer's movie.
#pragma once

#include <string>

#include "system/ResultCodes.h"

// Copies `source` onto `target`, replacing it: the target's attributes are set
// to normal before the copy and the copy's after it; the source is never
// changed. 0 or the Windows error code of the copy.
rc::Result CopyFileChecked(const std::wstring& source, const std::wstring& target);
