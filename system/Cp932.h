// Code page 932 (Japanese) text conversion, done explicitly so that package
// names decode the same way whatever the system's ANSI code page is.
// Windows: MultiByteToWideChar/WideCharToMultiByte(932); host: iconv "CP932".
// A Windows without code page 932 (a Western 2000 or XP without East Asian
// support) decodes through our own table instead, generated at build time from
// glibc's WINDOWS-31J mapping.
#pragma once

#include <string>
#include <string_view>

namespace text {

// Which decoder: the system's (iconv on the host; on Windows the code page, or
// the table where the system has no code page 932), or always the table.
enum class Cp932Decoder { Automatic, Table };

// Decodes code-page-932 bytes; the call never fails. Bytes that form no
// character become U+FFFD through iconv and U+30FB (Windows' own default
// character for this code page) through Windows or the table.
//
// The table decodes as Windows pairs the bytes: a lead byte (0x81-0x9F,
// 0xE0-0xFC) followed by a second byte (0x40-0x7E, 0x80-0xFC) is one
// character, U+30FB when it is unassigned; a lead byte without such a second
// byte is U+30FB on its own and the next byte starts afresh. Single bytes
// 0x80, 0xA0 and 0xFD-0xFF take Windows' values U+0080, U+F8F0, U+F8F1-U+F8F3.
std::wstring FromCp932(std::string_view bytes, Cp932Decoder decoder = Cp932Decoder::Automatic);

// Encodes to code page 932. False, with `out` unchanged, when a character has
// no code-page-932 form (no best-fit substitutes are accepted).
bool ToCp932(const std::wstring& text, std::string& out);

// UTF-8 <-> wide, for tools that talk UTF-8 (manifests, terminals).
// Utf8ToWide is false, with `out` unchanged, for malformed UTF-8.
bool Utf8ToWide(std::string_view utf8, std::wstring& out);
std::string WideToUtf8(const std::wstring& text);

// Shorthands for the tools: code page 932 <-> UTF-8.
std::string Cp932ToUtf8(std::string_view bytes);
bool Utf8ToCp932(std::string_view utf8, std::string& out);

}  // namespace text
