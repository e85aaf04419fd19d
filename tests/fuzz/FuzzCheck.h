// Property checks inside fuzz targets. A failed check prints what broke and
// aborts, so libFuzzer keeps the input as a crash and the replay tool fails.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>


#define FUZZ_CHECK(cond, what)                                                  \
  do {                                                                          \
    if (!(cond)) {                                                              \
      std::fprintf(stderr, "fuzz check failed at %s:%d: %s (%s)\n", __FILE__, \
                   __LINE__, #cond, std::string(what).c_str());                 \
      std::abort();                                                             \
    }                                                                           \
  } while (0)

namespace fuzzcheck {

// Whether a name, once decoded as the Windows layer decodes it, is one plain
// component in its folder: no separator, drive or stream colon, control
// character, no name of only dots and spaces, no device name. Judged on the
// decoded text, independently of the byte-level rules that let it through.
inline bool IsPlainDecodedName(std::wstring_view name) {
  if (name.empty()) return false;
  if (name.find_first_not_of(L". ") == std::wstring_view::npos) return false;
  for (wchar_t c : name)
    if (c == L'\\' || c == L'/' || c == L':' || c < 0x20) return false;
  std::wstring base(name.substr(0, name.find(L'.')));
  while (!base.empty() && base.back() == L' ') base.pop_back();
  for (wchar_t& c : base)
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  if (base == L"CON" || base == L"PRN" || base == L"AUX" || base == L"NUL") return false;
  if (base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0) &&
      base[3] >= L'1' && base[3] <= L'9')
    return false;
  return true;
}

// Code page 932 as Windows decodes it (MultiByteToWideChar(932)), reduced to
// what matters for paths: a lead byte followed by a valid second byte is one
// character whatever it maps to, and no such pair is ever an ASCII character;
// every other byte is a character of its own, ASCII bytes as themselves.
// (The host's iconv resynchronises differently after an unassigned pair, so it
// cannot stand in for Windows here.)
inline std::wstring DecodeAsWindows(std::string_view bytes) {
  constexpr wchar_t kDoubleByte = 0x30FB;  // stands for any two-byte character
  constexpr wchar_t kOtherByte = 0xFF61;   // stands for any non-ASCII single byte
  std::wstring out;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    if (lead && i + 1 < bytes.size()) {
      const auto t = static_cast<unsigned char>(bytes[i + 1]);
      if ((t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFC)) {
        out += kDoubleByte;
        ++i;
        continue;
      }
    }
    out += b < 0x80 ? static_cast<wchar_t>(b) : kOtherByte;
  }
  return out;
}

inline bool IsPlainCp932Name(std::string_view bytes) {
  return IsPlainDecodedName(DecodeAsWindows(bytes));
}

// A relative path of plain decoded components joined by "\" or "/".
inline bool IsRelativeCp932Path(std::string_view bytes) {
  const std::wstring path = DecodeAsWindows(bytes);
  std::size_t start = 0;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != L'\\' && path[i] != L'/') continue;
    if (!IsPlainDecodedName(std::wstring_view(path).substr(start, i - start))) return false;
    start = i + 1;
  }
  return true;
}

// Reads every byte of a range so that the address sanitizer sees any overrun.
inline unsigned Touch(const unsigned char* p, std::size_t n) {
  unsigned sum = 0;
  for (std::size_t i = 0; i < n; ++i) sum += p[i];
  return sum;
}

}  // namespace fuzzcheck
