#include "tools/lvpack/PictureCheck.h"

#include <algorithm>

#include "app/BmpCheck.h"

namespace lvpack {
namespace {

// The file and info headers of a bitmap, with room to spare.
constexpr std::size_t kBitmapHeaders = 256;

// JPEG markers: each is 0xFF and a code; most are followed by a 16-bit
// big-endian length that counts itself.
constexpr std::uint8_t kMarker = 0xFF;
constexpr std::uint8_t kStartOfImage = 0xD8;
constexpr std::uint8_t kEndOfImage = 0xD9;
constexpr std::uint8_t kStartOfScan = 0xDA;
constexpr std::uint8_t kFirstFrame = 0xC0;  // SOF0 .. SOF15, less the three that are not frames
constexpr std::uint8_t kLastFrame = 0xCF;
constexpr std::uint8_t kHuffmanTables = 0xC4;
constexpr std::uint8_t kArithmeticExtension = 0xC8;
constexpr std::uint8_t kArithmeticConditioning = 0xCC;
constexpr std::size_t kFrameFields = 6;  // precision, height, width, component count

// Frame kinds the installer's decoder reads: baseline, extended and
// progressive, with Huffman coding (not lossless, not hierarchical).
bool DecodableFrame(std::uint8_t code) { return code == 0xC0 || code == 0xC1 || code == 0xC2; }
// The same kinds with arithmetic coding, which the installer's decoder leaves out.
bool ArithmeticFrame(std::uint8_t code) { return code == 0xC9 || code == 0xCA; }

std::string Limits() {
  return "the installer shows pictures of 1 to " + std::to_string(kMaxPictureSide) +
         " pixels each way";
}

std::string TooLarge(std::uint64_t size) {
  return "has " + std::to_string(size) + " bytes; the installer shows pictures of at most " +
         std::to_string(kMaxPictureBytes / (1024 * 1024)) + " MiB";
}

}  // namespace

std::string KindOfFile(const ByteSource& file) {
  std::uint8_t head[3] = {};
  if (file.Size() < sizeof head) return "";
  file.ReadAt(0, head, sizeof head);
  if ((head[0] == 'F' || head[0] == 'C') && head[1] == 'W' && head[2] == 'S') return "a Flash movie";
  if (head[0] == kMarker && head[1] == kStartOfImage) return "a JPEG picture";
  if (head[0] == 'B' && head[1] == 'M') return "a Windows bitmap";
  return "";
}

std::string BitmapProblem(const ByteSource& picture) {
  const std::uint64_t size = picture.Size();
  if (size > kMaxPictureBytes) return TooLarge(size);
  Bytes headers(static_cast<std::size_t>(std::min<std::uint64_t>(size, kBitmapHeaders)));
  if (!headers.empty()) picture.ReadAt(0, headers.data(), headers.size());
  if (BmpLayoutIsSound(headers.data(), headers.size(), size)) return "";
  const std::string kind = KindOfFile(picture);
  if (!kind.empty() && kind != "a Windows bitmap") return "is " + kind + ", not a Windows bitmap";
  return "is not a Windows bitmap the installer can show (\"BM\" header; " + Limits() +
         "; 1, 4, 8, 16, 24 or 32 bits; uncompressed or RLE; all pixel data present)";
}

std::string JpegProblem(const ByteSource& picture) {
  const std::uint64_t size = picture.Size();
  if (size > kMaxPictureBytes) return TooLarge(size);
  const std::string kind = KindOfFile(picture);
  if (kind != "a JPEG picture")
    return kind.empty() ? "is not a JPEG picture" : "is " + kind + ", not a JPEG picture";
  std::uint64_t at = 2;
  for (;;) {
    std::uint8_t marker[4];
    if (at + 2 > size) return "is a JPEG picture that ends before its frame header";
    picture.ReadAt(at, marker, 2);
    if (marker[0] != kMarker) return "is a JPEG picture with damaged markers";
    if (marker[1] == kMarker) {  // fill byte before a marker
      ++at;
      continue;
    }
    const std::uint8_t code = marker[1];
    if (code == kEndOfImage || code == kStartOfScan) return "is a JPEG picture without a frame header";
    if (at + 4 > size) return "is a JPEG picture that ends before its frame header";
    picture.ReadAt(at + 2, marker + 2, 2);
    const unsigned length = (marker[2] << 8) | marker[3];
    if (length < 2) return "is a JPEG picture with damaged markers";
    const bool frame = code >= kFirstFrame && code <= kLastFrame && code != kHuffmanTables &&
                       code != kArithmeticExtension && code != kArithmeticConditioning;
    if (!frame) {
      at += 2 + length;
      continue;
    }
    if (ArithmeticFrame(code))
      return "is an arithmetic-coded JPEG, which the installer's decoder does not read";
    if (!DecodableFrame(code))
      return "is a lossless or hierarchical JPEG, which the installer's decoder does not read";
    std::uint8_t f[kFrameFields];
    if (length < 2 + kFrameFields || at + 4 + kFrameFields > size)
      return "is a JPEG picture with a damaged frame header";
    picture.ReadAt(at + 4, f, sizeof f);
    const unsigned precision = f[0];
    const unsigned height = (f[1] << 8) | f[2];
    const unsigned width = (f[3] << 8) | f[4];
    const unsigned components = f[5];
    if (precision != 8) return "is a " + std::to_string(precision) + "-bit JPEG; the installer reads 8-bit ones";
    if (components != 1 && components != 3)
      return "is a JPEG with " + std::to_string(components) +
             " colour components (CMYK?); the installer shows grey and colour (1 or 3) pictures";
    if (width == 0 || height == 0 || width > static_cast<unsigned>(kMaxPictureSide) ||
        height > static_cast<unsigned>(kMaxPictureSide))
      return "is a JPEG of " + std::to_string(width) + " x " + std::to_string(height) +
             " pixels; " + Limits();
    return "";
  }
}

}  // namespace lvpack
