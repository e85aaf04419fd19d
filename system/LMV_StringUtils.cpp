#include "system/LMV_StringUtils.h"

#include <cstdint>
#include <iterator>
#include <string>

#include "messages/MessageIds.h"

namespace {

// The ASCII words that make a name say "screen saver" by itself.
const wchar_t* const kSaverWords[] = {L"screen saver", L"screensaver", L"saver"};

std::wstring AsciiLower(std::wstring text) {
  for (wchar_t& c : text) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return text;
}

// Divides `rest` by 10 and returns the remainder, as a long division in 32-bit steps
// (the high half, then two 16-bit digits of the low half, each step's remainder
// carried into the next): a 32-bit program has no 64-bit division, and the compiler's
// run-time helpers for it would add some 750 bytes to the installer image.
unsigned TakeLastDigit(unsigned long long& rest) {
  constexpr std::uint32_t kBase = 10;
  const auto high = static_cast<std::uint32_t>(rest >> 32);
  const auto low = static_cast<std::uint32_t>(rest);
  const std::uint32_t upper = (high % kBase) << 16 | low >> 16;   // < 10 * 2^16
  const std::uint32_t lower = (upper % kBase) << 16 | (low & 0xFFFFu);
  rest = static_cast<unsigned long long>(high / kBase) << 32 | (upper / kBase) << 16 |
         lower / kBase;
  return lower % kBase;
}

bool HasAsciiSaverWord(const std::wstring& name) {
  for (const wchar_t* word : kSaverWords) {
    if (TextContains(name, word)) return true;
  }
  return false;
}

}  // namespace

bool TextContains(const std::wstring& text, const std::wstring& part) {
  if (part.empty()) return false;
  return AsciiLower(text).find(AsciiLower(part)) != std::wstring::npos;
}

std::wstring MakeInstallCaption(const std::wstring& name, const MessageLookup& load) {
  const std::wstring screenSaver = load(msg::sScreenSaver);
  const std::wstring install = load(msg::sInstallWord);
  if (HasAsciiSaverWord(name) || TextContains(name, screenSaver)) {
    return install + L": " + name;
  }
  return install + L" " + screenSaver + L": " + name;
}

std::wstring MakeSaverDisplayName(const std::wstring& name, const MessageLookup& load) {
  if (HasAsciiSaverWord(name)) return name;
  return name + L" " + load(msg::sScreenSaver);
}

std::wstring DecimalText(long long value) {
  // The magnitude in unsigned arithmetic: that of the smallest long long does not fit one.
  unsigned long long rest = value < 0 ? 0ULL - static_cast<unsigned long long>(value)
                                      : static_cast<unsigned long long>(value);
  wchar_t text[24];  // 20 digits at most, and the sign
  wchar_t* first = std::end(text);
  do {
    *--first = static_cast<wchar_t>(L'0' + TakeLastDigit(rest));
  } while (rest != 0);
  if (value < 0) *--first = L'-';
  return std::wstring(first, std::end(text));
}
