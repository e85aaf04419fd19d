// Copying a file onto another, the way the installer copies its own file, the
// licence and document, and the installer's movie.
#pragma once

#include <functional>
#include <string>

#include "system/ResultCodes.h"

// Copies `source` onto `target`, replacing it: the target's attributes are set
// to normal before the copy and the copy's after it; the source is never
// changed. 0 or the Windows error code of the copy.
rc::Result CopyFileChecked(const std::wstring& source, const std::wstring& target);

// Where a file is written before it takes its name: beside it, in the same
// folder, so that taking the name is one rename on one volume.
std::wstring TemporaryPathFor(const std::wstring& path);

// What a file put into place must survive. An installed file must survive a crash
// or a power cut: it is announced to the installation journal and flushed to the
// disk before it takes its name. A scratch file of the work folder, which goes at
// the end of the run (or with the next start's clean-up), needs neither.
enum class Durability { Installed, Scratch };

// Puts a file at `path` so that it appears there only when complete: announces
// it to the installation journal, lets `write` make it under the temporary
// name, flushes it and renames it (replacing a file there); a scratch file is
// neither announced nor flushed, nor is its rename written through. When
// `write` or the rename fails, the temporary file is removed and its code returned.
rc::Result WriteIntoPlace(const std::wstring& path,
                          const std::function<rc::Result(const std::wstring& temporary)>& write,
                          Durability durability = Durability::Installed);

// CopyFileChecked, put into place that way.
rc::Result CopyFileIntoPlace(const std::wstring& source, const std::wstring& target);
