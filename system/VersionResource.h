// The version resource of a Windows program file (VS_VERSIONINFO), read from its
// bytes. Portable: the Windows layer finds the resource, this reads the numbers.
//
// The resource begins with a block header of three 16-bit words (the block's
// length, the length of its value, its type), the key "VS_VERSION_INFO" in UTF-16
// with its terminator, padding to a 32-bit boundary, and then the value: the fixed
// file information (VS_FIXEDFILEINFO), which starts with the signature 0xFEEF04BD
// and holds the file version a.b.c.d as two 32-bit numbers (a.b, then c.d).
#pragma once

#include <cstddef>
#include <cstdint>

namespace version {

// The parts of a file version a.b.c.d.
struct FileVersion {
  int first = 0;   // a
  int third = 0;   // c
};

// The file version of a version resource of `size` bytes at `data`; false (and
// `out` untouched) when the bytes are not one: too short, another key, a value too
// small for the fixed information, or a wrong signature.
bool ReadFileVersion(const std::uint8_t* data, std::size_t size, FileVersion& out);

}  // namespace version
