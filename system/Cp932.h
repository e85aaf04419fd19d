// Code page 932 (Japanese) text conversion, done explicitly so that package
// names decode the same way whatever the system's ANSI code page is.
// Windows: MultiByteToWideChar/WideCharToMultiByte(932); host: iconv "CP932".
#pragma once

#include <string>
#include <string_view>

namespace text {

// Decodes code-page-932 bytes. Bytes that form no character become U+FFFD on
// the host and the system's replacement on Windows; the call never fails.
std::wstring FromCp932(std::string_view bytes);

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
