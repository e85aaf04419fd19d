#include "payload/SafeNames.h"

#include <cctype>
#include <string>

namespace payload {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Characters Windows refuses in a file name besides the separators.
bool IsForbiddenSingleByte(std::uint8_t c) {
  if (c < 0x20 || c == 0x7F) return true;
  switch (c) {
    case ':': case '*': case '?': case '"': case '<': case '>': case '|':
      return true;
    default:
      return false;
  }
}

bool IsReservedDeviceName(std::string_view name) {
  // Windows maps "CON", "con.txt" and "CON .txt" alike onto the device: the
  // part before the first dot, with trailing spaces dropped, decides.
  std::string base(name.substr(0, name.find('.')));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  for (char& c : base) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" ||
      base == "CONOUT$")
    return true;
  if (base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0))
    return base[3] >= '1' && base[3] <= '9';
  return false;
}

bool IsOnlyDotsAndSpaces(std::string_view name) {
  return name.find_first_not_of(". ") == std::string_view::npos;
}

// Checks one component that contains no separator bytes (as characters).
bool IsPlainComponent(std::string_view name) {
  if (name.empty() || IsOnlyDotsAndSpaces(name) || IsReservedDeviceName(name)) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto b = static_cast<std::uint8_t>(name[i]);
    if (IsCp932LeadByte(b)) {
      if (i + 1 >= name.size()) return false;  // lead byte without its second byte
      if (!IsCp932TrailByte(static_cast<std::uint8_t>(name[i + 1]))) return false;
      ++i;
      continue;
    }
    if (IsSeparator(static_cast<char>(b)) || IsForbiddenSingleByte(b)) return false;
  }
  return true;
}

}  // namespace

bool IsPlainFileName(std::string_view name) { return IsPlainComponent(name); }

std::string FoldedName(std::string_view cp932) {
  std::string folded(cp932);
  for (std::size_t i = 0; i < folded.size(); ++i) {
    const auto b = static_cast<std::uint8_t>(folded[i]);
    if (IsCp932LeadByte(b)) {
      ++i;  // the second byte of a character is never a letter or separator
    } else if (b == '/') {
      folded[i] = '\\';
    } else if (b >= 'A' && b <= 'Z') {
      folded[i] = static_cast<char>(b - 'A' + 'a');
    }
  }
  return folded;
}

bool IsSafeRelativePath(std::string_view path) {
  std::size_t start = 0;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i < path.size()) {
      const auto b = static_cast<std::uint8_t>(path[i]);
      if (IsCp932LeadByte(b)) {
        if (i + 1 >= path.size()) return false;  // lead byte without its second byte
        if (!IsCp932TrailByte(static_cast<std::uint8_t>(path[i + 1]))) return false;
        ++i;
        continue;
      }
      if (!IsSeparator(static_cast<char>(b))) continue;
    }
    if (!IsPlainComponent(path.substr(start, i - start))) return false;
    start = i + 1;
  }
  return true;
}

}  // namespace payload
