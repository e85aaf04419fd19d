// Which names from a package may become file names on the target machine.
// Names are code-page-932 bytes: a backslash byte can be the second byte of a
// double-byte character (0x83 0x5C is one katakana), so every scan walks the
// name character by character instead of byte by byte.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace payload {

// First byte of a two-byte character in code page 932.
constexpr bool IsCp932LeadByte(std::uint8_t b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Second byte of a two-byte character in code page 932. A lead byte followed
// by anything else is not one character: decoders may split it and read the
// second byte on its own (a "/" or a control character), so names holding such
// a pair are refused.
constexpr bool IsCp932TrailByte(std::uint8_t b) {
  return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

// A plain file name: not empty, no folder separators, no drive or stream colon,
// no wildcard or other character Windows forbids in names, not "." or ".." (or
// any name of only dots and spaces, which Windows trims to nothing), not a
// reserved device name (CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM1-9, LPT1-9, with or without an
// extension, in any letter case), and no lead byte without a valid second byte.
bool IsPlainFileName(std::string_view name);

// A name or relative path as Windows compares them: ASCII letters in lower
// case, "/" as "\", double-byte characters unchanged. Two names with the same
// folded form are one file on the target.
std::string FoldedName(std::string_view cp932);

// A path below some folder: one or more plain file names joined by "\" or "/".
// Rejects absolute paths, drive letters, "." and ".." components and empty
// components (so no leading, trailing or doubled separator).
bool IsSafeRelativePath(std::string_view path);

}  // namespace payload
