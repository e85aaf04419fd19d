// Whether the installer can show a presentation file, judged by its headers
// and size without reading it whole: a Windows bitmap as the installer's own
// check sees it, a JPEG picture by the frame header its decoder needs.
#pragma once

#include <string>

#include "tools/lvpack/FileIo.h"

namespace lvpack {

// Empty when the installer can show the file; otherwise what is wrong.
std::string BitmapProblem(const ByteSource& picture);
std::string JpegProblem(const ByteSource& picture);

// What a file is by its first bytes, for messages: "a Flash movie", "a JPEG
// picture", "a Windows bitmap", or "" when none of these.
std::string KindOfFile(const ByteSource& file);

}  // namespace lvpack
