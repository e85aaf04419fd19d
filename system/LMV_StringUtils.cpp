#include "system/LMV_StringUtils.h"

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
    *--first = static_cast<wchar_t>(L'0' + rest % 10);
    rest /= 10;
  } while (rest != 0);
  if (value < 0) *--first = L'-';
  return std::wstring(first, std::end(text));
}
