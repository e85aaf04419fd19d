#include "system/Cp932.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <iconv.h>
#endif

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <vector>

#include "Cp932Mapping.h"  // generated at build time (system/gen-cp932-table)

namespace text {
namespace {

// --- the table decoder (portable) ------------------------------------------

constexpr wchar_t kDefaultCharacter = 0x30FB;  // Windows' default character for code page 932
constexpr std::size_t kTrailCount = 189;       // second bytes 0x40..0xFC, one row per lead byte
// Single bytes the mapping leaves out and Windows maps: 0x80 to itself, 0xA0 and
// 0xFD..0xFF to the private-use characters U+F8F0..U+F8F3.
constexpr std::uint8_t kWindowsC1Byte = 0x80;
constexpr std::uint8_t kWindowsNbspByte = 0xA0;
constexpr wchar_t kWindowsNbspCharacter = 0xF8F0;
constexpr std::uint8_t kWindowsHighBytes = 0xFD;  // 0xFD..0xFF follow U+F8F0

bool IsLeadByte(std::uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool IsTrailByte(std::uint8_t b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }

wchar_t SingleByte(std::uint8_t b) {
  if (b == kWindowsC1Byte) return kWindowsC1Byte;
  if (b == kWindowsNbspByte) return kWindowsNbspCharacter;
  if (b >= kWindowsHighBytes) return static_cast<wchar_t>(kWindowsNbspCharacter + 1 + (b - kWindowsHighBytes));
  const std::uint16_t c = cp932::kSingleByte[b];
  return c == cp932::kNone ? kDefaultCharacter : static_cast<wchar_t>(c);
}

// The double-byte codes, unpacked from their deflated differences on first use.
// Should the built-in data not inflate (it always does: the build made it), every
// pair decodes as unassigned.
class DoubleByteTable {
 public:
  DoubleByteTable() {
    std::fill(std::begin(codes_), std::end(codes_), cp932::kNone);
    std::vector<std::uint8_t> bytes(2 * cp932::kDoubleByteCount);
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return;  // raw deflate
    stream.next_in = const_cast<Bytef*>(cp932::kDoubleByteDeflated);
    stream.avail_in = sizeof(cp932::kDoubleByteDeflated);
    stream.next_out = bytes.data();
    stream.avail_out = static_cast<uInt>(bytes.size());
    const bool whole = inflate(&stream, Z_FINISH) == Z_STREAM_END && stream.avail_out == 0;
    inflateEnd(&stream);
    if (!whole) return;
    std::uint16_t code = 0;
    for (std::size_t i = 0; i < cp932::kDoubleByteCount; ++i) {
      code = static_cast<std::uint16_t>(code + (bytes[2 * i] | bytes[2 * i + 1] << 8));
      codes_[i] = code;
    }
  }
  std::uint16_t operator[](std::size_t i) const { return codes_[i]; }

 private:
  std::uint16_t codes_[cp932::kDoubleByteCount];
};

wchar_t DoubleByte(std::uint8_t lead, std::uint8_t trail) {
  static const DoubleByteTable table;
  const std::size_t row = lead <= 0x9F ? lead - 0x81u : lead - 0xE0u + (0x9Fu - 0x81u + 1);
  const std::uint16_t c = table[row * kTrailCount + (trail - 0x40u)];
  return c == cp932::kNone ? kDefaultCharacter : static_cast<wchar_t>(c);
}

std::wstring DecodeWithTable(std::string_view bytes) {
  std::wstring out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<std::uint8_t>(bytes[i]);
    if (!IsLeadByte(b)) {
      out += SingleByte(b);
    } else if (i + 1 < bytes.size() && IsTrailByte(static_cast<std::uint8_t>(bytes[i + 1]))) {
      out += DoubleByte(b, static_cast<std::uint8_t>(bytes[i + 1]));
      ++i;
    } else {
      out += kDefaultCharacter;  // the next byte is read on its own
    }
  }
  return out;
}

#ifdef _WIN32

constexpr unsigned kCodePage932 = 932;

std::wstring Decode(unsigned codePage, std::string_view bytes, DWORD flags) {
  if (bytes.empty()) return {};
  const int n = MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(bytes.size()),
                                    nullptr, 0);
  if (n <= 0) return {};
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(bytes.size()), &out[0], n);
  return out;
}

#else

// One iconv conversion descriptor, closed on every path.
class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Iconv() {
    if (ok()) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts all of `in`. With `lenient`, an unconvertible input unit (`unit`
  // bytes) becomes `replacement` and conversion goes on; otherwise the call fails.
  bool Convert(const char* in, std::size_t inSize, std::string& out, bool lenient,
               std::string_view replacement, std::size_t unit = 1) {
    if (!ok()) return false;
    std::string result;
    std::vector<char> buffer(256);
    char* src = const_cast<char*>(in);
    std::size_t srcLeft = inSize;
    while (srcLeft > 0) {
      char* dst = buffer.data();
      std::size_t dstLeft = buffer.size();
      const std::size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      result.append(buffer.data(), buffer.size() - dstLeft);
      if (r != static_cast<std::size_t>(-1)) continue;
      if (errno == E2BIG) continue;
      if (!lenient) return false;
      // EILSEQ or EINVAL (cut-off sequence): skip one unit.
      const std::size_t skip = std::min(unit, srcLeft);
      result.append(replacement);
      src += skip;
      srcLeft -= skip;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    out.swap(result);
    return true;
  }

 private:
  iconv_t cd_;
};

std::wstring FromBytes(const std::string& wideBytes) {
  std::wstring w(wideBytes.size() / sizeof(wchar_t), L'\0');
  if (!w.empty()) std::copy(wideBytes.data(), wideBytes.data() + w.size() * sizeof(wchar_t),
                            reinterpret_cast<char*>(&w[0]));
  return w;
}

std::string Replacement() {
  const wchar_t r = 0xFFFD;
  return std::string(reinterpret_cast<const char*>(&r), sizeof r);
}

#endif

}  // namespace

#ifdef _WIN32

std::wstring FromCp932(std::string_view bytes, Cp932Decoder decoder) {
  // Western Windows 2000 and XP without East Asian support have no code page 932.
  static const bool systemHasCp932 = IsValidCodePage(kCodePage932) != FALSE;
  if (decoder == Cp932Decoder::Table || !systemHasCp932) return DecodeWithTable(bytes);
  return Decode(kCodePage932, bytes, 0);
}

bool ToCp932(const std::wstring& text, std::string& out) {
  if (text.empty()) {
    out.clear();
    return true;
  }
  BOOL usedDefault = FALSE;
  const int size = static_cast<int>(text.size());
  const int n = WideCharToMultiByte(kCodePage932, WC_NO_BEST_FIT_CHARS, text.data(), size, nullptr,
                                    0, nullptr, &usedDefault);
  if (n <= 0 || usedDefault) return false;
  std::string result(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(kCodePage932, WC_NO_BEST_FIT_CHARS, text.data(), size, &result[0], n,
                      nullptr, &usedDefault);
  if (usedDefault) return false;
  out.swap(result);
  return true;
}

bool Utf8ToWide(std::string_view utf8, std::wstring& out) {
  if (utf8.empty()) {
    out.clear();
    return true;
  }
  const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                    static_cast<int>(utf8.size()), nullptr, 0);
  if (n <= 0) return false;
  out = Decode(CP_UTF8, utf8, MB_ERR_INVALID_CHARS);
  return true;
}

std::string WideToUtf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), size, &out[0], n, nullptr, nullptr);
  return out;
}

#else

std::wstring FromCp932(std::string_view bytes, Cp932Decoder decoder) {
  if (decoder == Cp932Decoder::Table) return DecodeWithTable(bytes);
  Iconv cd("WCHAR_T", "CP932");
  std::string wide;
  if (!cd.Convert(bytes.data(), bytes.size(), wide, true, Replacement())) return {};
  return FromBytes(wide);
}

bool ToCp932(const std::wstring& text, std::string& out) {
  Iconv cd("CP932", "WCHAR_T");
  return cd.Convert(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t), out,
                    false, {});
}

bool Utf8ToWide(std::string_view utf8, std::wstring& out) {
  Iconv cd("WCHAR_T", "UTF-8");
  std::string wide;
  if (!cd.Convert(utf8.data(), utf8.size(), wide, false, {})) return false;
  out = FromBytes(wide);
  return true;
}

std::string WideToUtf8(const std::wstring& text) {
  Iconv cd("UTF-8", "WCHAR_T");
  std::string out;
  cd.Convert(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t), out, true,
             "\xEF\xBF\xBD", sizeof(wchar_t));
  return out;
}

#endif

std::string Cp932ToUtf8(std::string_view bytes) { return WideToUtf8(FromCp932(bytes)); }

bool Utf8ToCp932(std::string_view utf8, std::string& out) {
  std::wstring wide;
  return Utf8ToWide(utf8, wide) && ToCp932(wide, out);
}

}  // namespace text
