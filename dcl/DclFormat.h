// The implode stream format, shared by the compressor and the decompressor.
//
// Implode is a sliding-window (LZ77) format: the data is a sequence of items,
// each either one byte (a literal) or a copy of bytes seen before, given by its
// length and its distance back. Unlike deflate, every code is fixed: nothing in
// the stream describes codes, so the same item always costs the same number of
// bits, wherever it stands. That makes the format easy to decode, and it makes
// the smallest stream for a given input a shortest-path problem that can be
// solved exactly (ImplodeOptimal.cpp).
//
// Header. A stream starts with two bytes:
//
//   byte 0   literal mode: 0 = binary, 1 = ascii
//   byte 1   dictionary code: 4, 5 or 6 for a 1024, 2048 or 4096 byte window
//
// Bit order. The rest is a bit stream. Bits are taken from each byte starting
// with the least significant one; a field of several raw bits arrives low bit
// first. There is no byte alignment anywhere until the end.
//
// Items. Each item starts with one flag bit:
//
//   0  a literal. Binary mode: the byte as 8 raw bits. Ascii mode: the byte's
//      code in the fixed literal code (kLiteralBits below: 4 bits for a space,
//      5 to 7 for common letters, up to 13 for control and high bytes).
//   1  a copy: a length, then a distance.
//      Length: a code from the length code (16 symbols), then kLengthExtra[sym]
//      raw bits added to kLengthBase[sym]. Symbol 0 is length 3 (the most
//      common), symbol 1 length 2, and so on up to symbol 15: 264 plus 8 bits.
//      Lengths 2 .. 518 are copies; the value 519 (symbol 15 with all extra bits
//      set) is the end marker, after which the last byte is padded with zeros.
//      Distance: distance - 1 is split into high and low bits. The high six
//      bits are a code from the distance code (64 symbols); the low bits follow
//      raw: 2 of them for a copy of length 2, else as many as the dictionary
//      code says (4, 5 or 6). So a copy of length 2 reaches back at most 256
//      bytes, longer ones the whole window. A copy may overlap the bytes it
//      produces (distance 1 repeats the last byte).
//
// Codes. The three fixed codes are canonical prefix codes described only by
// their code lengths: codes are assigned in order of increasing length, and
// within one length in order of symbol, with shorter codes numerically
// smaller. Each code is sent first bit first with every bit inverted. Because
// the reader takes bits low bit first, a code appears in the stream as the
// bit-reversal of its inverted canonical value; the tables below are stored
// that way, so that the decoder can index them directly with the next bits.
//
// What items cost (ImplodeStream.h has the functions):
//
//   literal   9 bits in binary mode; 1 + kLiteralBits[byte] (5 .. 14) in ascii
//   length    1 + 2 bits for length 3, 1 + 3 for lengths 2, 4 and 5, rising to
//             1 + 7 + 8 for lengths 264 .. 518 (never falling as it grows,
//             except that length 2 costs one bit more than length 3)
//   distance  2 .. 8 bits of code (never falling as the distance grows) plus
//             2 raw bits for length 2, 4 .. 6 for longer copies
//
// Example. The 8-byte stream 00 04 82 24 25 8f 80 7f is binary mode with a
// 1024-byte window (code 4). Its bits, low bit first from 82:
//
//   0 10000010              flag 0, literal 0x41 'A' (the 8 bits low bit first)
//   0 10010010              flag 0, literal 0x49 'I'
//   1 00100 1 11 1000       flag 1; length symbol 8 (inverted canonical 11011,
//                           sent as 00100): base 10 plus one extra bit 1 = 11;
//                           distance symbol 0 (code 11) then 4 low bits 1000,
//                           low bit first the value 1: distance - 1 = 1, so the
//                           copy repeats "AI" from 2 bytes back, 11 bytes long
//   1 0000000 11111111      flag 1; length symbol 15 plus 8 extra bits of 255:
//                           519, the end marker
//   0                       padding
//
// and decodes to "AIAIAIAIAIAIA" (13 bytes).
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
