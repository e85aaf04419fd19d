// The implode stream format, shared by the compressor and the decompressor.
//
// A stream is two header bytes followed by a bit stream:
//
//   byte 0   literal mode: 0 = binary, 1 = ascii
//   byte 1   dictionary code: 4, 5 or 6 for a 1024, 2048 or 4096 byte window
//
// Bits are taken from each byte starting with the least significant one. The
// stream is a sequence of items, each introduced by one flag bit:
//
//   0  a literal byte: in binary mode the next 8 bits (low bit first); in ascii
//      mode a code of the fixed literal code below.
//   1  a copy: a length code, then a distance code. The length is
//      kLengthBase[sym] plus kLengthExtra[sym] raw bits (2 .. 518). The value
//      519 (the last length code with all extra bits set) ends the stream.
//      The distance code gives the high six bits of (distance - 1); the low
//      bits follow raw: 2 bits for a copy of length 2, otherwise as many as the
//      dictionary code says (4, 5 or 6). So copies of length 2 reach back at
//      most 256 bytes, longer ones up to the dictionary size.
//
// The three fixed codes are canonical prefix codes described only by their
// code lengths: codes are assigned in order of increasing length, and within
// one length in order of symbol, with shorter codes numerically smaller. Each
// code is sent first bit first with every bit inverted. Because the reader
// takes bits low bit first, a code appears in the stream as the bit-reversal
// of its inverted canonical value; the tables below are stored that way, so
// that the decoder can index them directly with the next bits of the stream.
#pragma once

#include <cstdint>

namespace dcl::format {

constexpr unsigned kMinMatch = 2;
constexpr unsigned kMaxMatch = 518;
constexpr unsigned kEndOfStream = 519;
constexpr unsigned kLowBitsLength2 = 2;        // raw distance bits of a copy of length 2
constexpr unsigned kMaxDistanceLength2 = 256;  // 64 distance codes x 2 low bits
constexpr unsigned kMinDictBits = 4;
constexpr unsigned kMaxDictBits = 6;
constexpr unsigned kMaxWindow = 4096;

constexpr unsigned kLengthCodes = 16;
constexpr unsigned kDistanceCodes = 64;
constexpr unsigned kLiteralCodes = 256;

// Longest code of each fixed code: the width of the decoders' lookup index.
constexpr unsigned kLengthMaxBits = 7;
constexpr unsigned kDistanceMaxBits = 8;
constexpr unsigned kLiteralMaxBits = 13;

constexpr std::uint16_t kLengthBase[kLengthCodes] = {3,  2,  4,  5,  6,  7,   8,   9,
                                                     10, 12, 16, 24, 40, 72, 136, 264};
constexpr std::uint8_t kLengthExtra[kLengthCodes] = {0, 0, 0, 0, 0, 0, 0, 0,
                                                     1, 2, 3, 4, 5, 6, 7, 8};
constexpr std::uint8_t kLengthBits[kLengthCodes] = {2, 3, 3, 3, 4, 4, 4, 5,
                                                    5, 5, 5, 6, 6, 6, 7, 7};

// Distance code lengths: 1 of 2 bits, 2 of 4, 4 of 5, 15 of 6, 26 of 7, 16 of 8.
constexpr std::uint8_t kDistanceBits[kDistanceCodes] = {
    2, 4, 4, 5, 5, 5, 5, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6,
    7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7,
    7, 7, 7, 7, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8};

// Ascii-mode literal code lengths, by byte value. Letters, digits, space and
// line ends are short; control characters and the upper half long.
constexpr std::uint8_t kLiteralBits[kLiteralCodes] = {
    // 0x00: control characters
    11, 12, 12, 12, 12, 12, 12, 12, 12, 8, 7, 12, 12, 7, 12, 12,
    12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 13, 12, 12, 12, 12, 12,
    // 0x20: ' ' .. '/'
    4, 10, 8, 12, 10, 12, 10, 8, 7, 7, 8, 9, 7, 6, 7, 8,
    // 0x30: '0' .. '?'
    7, 6, 7, 7, 7, 7, 8, 7, 7, 8, 8, 12, 11, 7, 9, 11,
    // 0x40: '@' .. 'O'
    12, 6, 7, 6, 6, 5, 7, 8, 8, 6, 11, 9, 6, 7, 6, 6,
    // 0x50: 'P' .. '_'
    7, 11, 6, 6, 6, 7, 9, 8, 9, 9, 11, 8, 11, 9, 12, 8,
    // 0x60: '`' .. 'o'
    12, 5, 6, 6, 6, 5, 6, 6, 6, 5, 11, 7, 5, 6, 5, 5,
    // 0x70: 'p' .. 0x7f
    6, 10, 5, 5, 5, 5, 8, 7, 8, 8, 10, 11, 11, 12, 12, 12,
    // 0x80 .. 0xff
    13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13,
    13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13,
    13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13,
    12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12,
    12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12,
    12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12,
    13, 12, 13, 13, 13, 12, 13, 13, 13, 12, 13, 13, 13, 13, 12, 13,
    13, 13, 12, 12, 12, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13,
};

// A code as it appears in the stream: `bits` bits of `code`, low bit first.
struct StreamCode {
  std::uint16_t code;
  std::uint8_t bits;
};

// Builds the stream form of a canonical code from its code lengths.
template <unsigned N>
struct CodeSet {
  StreamCode sym[N];
};

template <unsigned N>
constexpr CodeSet<N> BuildCodes(const std::uint8_t (&lengths)[N]) {
  CodeSet<N> set{};
  unsigned next = 0;  // canonical value of the next code of the current length
  for (unsigned len = 1; len <= 16; ++len) {
    for (unsigned s = 0; s < N; ++s) {
      if (lengths[s] != len) continue;
      // Invert, then reverse, so the first bit sent is the low bit.
      unsigned inverted = ~next & ((1u << len) - 1);
      unsigned reversed = 0;
      for (unsigned b = 0; b < len; ++b) reversed |= ((inverted >> b) & 1u) << (len - 1 - b);
      set.sym[s] = StreamCode{static_cast<std::uint16_t>(reversed), static_cast<std::uint8_t>(len)};
      ++next;
    }
    next <<= 1;
  }
  return set;
}

constexpr CodeSet<kLengthCodes> kLengthCodeSet = BuildCodes(kLengthBits);
constexpr CodeSet<kDistanceCodes> kDistanceCodeSet = BuildCodes(kDistanceBits);
constexpr CodeSet<kLiteralCodes> kLiteralCodeSet = BuildCodes(kLiteralBits);

// True when the code lengths describe a complete prefix code (Kraft sum 1):
// then every bit pattern decodes to exactly one symbol.
template <unsigned N>
constexpr bool IsCompleteCode(const std::uint8_t (&lengths)[N], unsigned maxBits) {
  unsigned long sum = 0;
  for (unsigned s = 0; s < N; ++s) {
    if (lengths[s] == 0 || lengths[s] > maxBits) return false;
    sum += 1ul << (maxBits - lengths[s]);
  }
  return sum == (1ul << maxBits);
}
static_assert(IsCompleteCode(kLengthBits, kLengthMaxBits), "length code incomplete");
static_assert(IsCompleteCode(kDistanceBits, kDistanceMaxBits), "distance code incomplete");
static_assert(IsCompleteCode(kLiteralBits, kLiteralMaxBits), "literal code incomplete");
static_assert(kLengthBase[15] + (1u << kLengthExtra[15]) - 1 == kEndOfStream, "end marker");

}  // namespace dcl::format
