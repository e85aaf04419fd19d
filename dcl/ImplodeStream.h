// What both implode parsers share: the codes as the writer sends them, the
// exact bit cost of every item, the bit writer, the input reader and the byte
// compare of the match finders. Internal to the codec.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "dcl/Dcl.h"
#include "dcl/DclFormat.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace dcl::implode {

using namespace dcl::format;

// ---- the codes in stream order, built at compile time ----------------------

struct BitCode {
  std::uint32_t value;  // bits in stream order, first bit lowest
  std::uint32_t bits;
};

struct EncodeTables {
  BitCode length[kEndOfStream + 1];  // flag bit 1, length code, extra bits
  BitCode distance[kDistanceCodes];  // distance code only
  BitCode literal[kLiteralCodes];    // ascii mode: flag bit 0, literal code
};

constexpr EncodeTables BuildEncodeTables() {
  EncodeTables t{};
  for (unsigned s = 0; s < kLengthCodes; ++s) {
    const StreamCode c = kLengthCodeSet.sym[s];
    for (unsigned extra = 0; extra < (1u << kLengthExtra[s]); ++extra) {
      const unsigned len = kLengthBase[s] + extra;
      t.length[len].value = 1u | (static_cast<std::uint32_t>(c.code) << 1) |
                            (static_cast<std::uint32_t>(extra) << (1 + c.bits));
      t.length[len].bits = 1u + c.bits + kLengthExtra[s];
    }
  }
  for (unsigned s = 0; s < kDistanceCodes; ++s)
    t.distance[s] = BitCode{kDistanceCodeSet.sym[s].code, kDistanceCodeSet.sym[s].bits};
  for (unsigned s = 0; s < kLiteralCodes; ++s)
    t.literal[s] = BitCode{static_cast<std::uint32_t>(kLiteralCodeSet.sym[s].code) << 1,
                           1u + kLiteralCodeSet.sym[s].bits};
  return t;
}

constexpr EncodeTables kEnc = BuildEncodeTables();

// ---- item costs in bits ------------------------------------------------------
//
// Every code is fixed, so an item costs the same wherever it stands:
//   literal   binary: 1 + 8;  ascii: 1 + the literal code of the byte (5 .. 14)
//   copy      1 + length code + length extra bits   (3 for length 3 .. 16 for 264 .. 518)
//             + distance code of (distance - 1) >> low   (2 .. 8)
//             + low raw bits, low = 2 for length 2, else the dictionary code (4 .. 6)
// The distance code lengths never shrink as the code grows, so for a given
// length the nearest distance is never dearer than a farther one.

constexpr unsigned kBinaryLiteralBits = 9;

inline unsigned LowBits(unsigned length, unsigned dictBits) {
  return length == kMinMatch ? kLowBitsLength2 : dictBits;
}

inline unsigned DistanceCost(unsigned length, unsigned distance, unsigned dictBits) {
  const unsigned low = LowBits(length, dictBits);
  return kEnc.distance[(distance - 1) >> low].bits + low;
}

inline unsigned CopyCost(unsigned length, unsigned distance, unsigned dictBits) {
  return kEnc.length[length].bits + DistanceCost(length, distance, dictBits);
}

// ---- output ------------------------------------------------------------------

constexpr unsigned kOutputSize = 2048;  // bytes handed to write_buf at a time

// Bits gathered into bytes and handed to the caller's write callback.
struct BitWriter {
  DclWriteFn write;
  void* param;
  std::uint64_t bitBuf;  // pending bits, first bit lowest
  unsigned bitCount;
  unsigned outLen;
  bool ascii;
  unsigned dictBits;
  std::uint8_t out[kOutputSize];

  // Starts a stream: the two header bytes.
  void Begin(DclWriteFn fn, void* p, unsigned mode, unsigned dictCode) {
    write = fn;
    param = p;
    bitBuf = 0;
    bitCount = 0;
    ascii = mode == dcl::kAscii;
    dictBits = dictCode;
    out[0] = static_cast<std::uint8_t>(mode);
    out[1] = static_cast<std::uint8_t>(dictCode);
    outLen = 2;
  }

  void Flush() {
    unsigned size = outLen;
    if (size != 0) write(reinterpret_cast<char*>(out), &size, param);
    outLen = 0;
  }

  // Appends up to 32 bits.
  inline void Put(std::uint32_t value, unsigned bits) {
    bitBuf |= static_cast<std::uint64_t>(value) << bitCount;
    bitCount += bits;
    if (bitCount >= 32) {
      if (outLen + 4 > kOutputSize) Flush();
      const std::uint32_t word = static_cast<std::uint32_t>(bitBuf);
      out[outLen] = static_cast<std::uint8_t>(word);
      out[outLen + 1] = static_cast<std::uint8_t>(word >> 8);
      out[outLen + 2] = static_cast<std::uint8_t>(word >> 16);
      out[outLen + 3] = static_cast<std::uint8_t>(word >> 24);
      outLen += 4;
      bitBuf >>= 32;
      bitCount -= 32;
    }
  }

  inline void Literal(std::uint8_t byte) {
    if (ascii)
      Put(kEnc.literal[byte].value, kEnc.literal[byte].bits);
    else
      Put(static_cast<std::uint32_t>(byte) << 1, kBinaryLiteralBits);
  }

  inline void Copy(unsigned length, unsigned distance) {
    Put(kEnc.length[length].value, kEnc.length[length].bits);
    const unsigned low = LowBits(length, dictBits);
    const unsigned d = distance - 1;
    const BitCode& dc = kEnc.distance[d >> low];
    Put(dc.value | ((d & ((1u << low) - 1)) << dc.bits), dc.bits + low);
  }

  // The end marker, then zero bits up to a whole byte, and everything out.
  void End() {
    Put(kEnc.length[kEndOfStream].value, kEnc.length[kEndOfStream].bits);
    while (bitCount > 0) {
      if (outLen == kOutputSize) Flush();
      out[outLen++] = static_cast<std::uint8_t>(bitBuf);
      bitBuf >>= 8;
      bitCount = bitCount > 8 ? bitCount - 8 : 0;
    }
    Flush();
  }
};

// ---- input -------------------------------------------------------------------

// The caller's read callback. A callback that reports more bytes than asked
// aborts the stream (its bytes cannot be trusted to be in the buffer).
struct Reader {
  DclReadFn read;
  void* param;
  bool ended;
  bool aborted;

  // Reads into buf until `filled` reaches `target` or the input ends.
  void Fill(std::uint8_t* buf, unsigned& filled, unsigned target) {
    while (!ended && filled < target) {
      unsigned size = target - filled;
      const unsigned want = size;
      unsigned got = read(reinterpret_cast<char*>(buf + filled), &size, param);
      if (got > want) {
        aborted = true;
        got = 0;
      }
      if (got == 0)
        ended = true;
      else
        filled += got;
    }
  }
};

// The start of both entry points: checks the call, places the state of type T
// (with members in, out, filled and dictSize) in the caller's work area and
// starts the stream. Returns nullptr with the refusal in `code`.
template <typename T>
T* Start(DclReadFn read, DclWriteFn write, char* work, void* param, const unsigned* type,
         const unsigned* dsize, unsigned& code) {
  if (read == nullptr || write == nullptr || work == nullptr || type == nullptr || dsize == nullptr) {
    code = rc::kDclAborted;
    return nullptr;
  }
  unsigned dictBits = 0;
  switch (*dsize) {
    case dcl::kDict1024: dictBits = 4; break;
    case dcl::kDict2048: dictBits = 5; break;
    case dcl::kDict4096: dictBits = 6; break;
    default: code = rc::kDclInvalidDictSize; return nullptr;
  }
  if (*type != dcl::kBinary && *type != dcl::kAscii) {
    code = rc::kDclInvalidMode;
    return nullptr;
  }
  auto addr = reinterpret_cast<std::uintptr_t>(work);
  addr = (addr + alignof(T) - 1) & ~static_cast<std::uintptr_t>(alignof(T) - 1);
  T& s = *reinterpret_cast<T*>(addr);
  s.in = Reader{read, param, false, false};
  s.out.Begin(write, param, *type, dictBits);
  s.filled = 0;
  s.dictSize = *dsize;
  return &s;
}

// What a finished call returns.
inline unsigned Result(const Reader& in) {
  return in.aborted ? static_cast<unsigned>(rc::kDclAborted) : static_cast<unsigned>(rc::kDclOk);
}

// ---- byte compare -------------------------------------------------------------

constexpr unsigned kCompareSlack = 16;  // block-wise compares read this far past the data

inline std::uint32_t Load32(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

// The first n bytes at p as one word, read whole: the bytes past them are
// shifted out (the read stays inside the slack).
inline std::uint32_t Key(const std::uint8_t* p, unsigned n) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  return Load32(p) >> (8 * (4 - n));
#else
  return Load32(p) << (8 * (4 - n));
#endif
}
// Tops the buffer up to `target` bytes and keeps the compare slack after the
// data defined. Returns how far positions may be coded now: all of them once
// the input has ended, else those with a longest copy's lookahead.
inline unsigned Refill(Reader& in, std::uint8_t* buf, unsigned& filled, unsigned target) {
  in.Fill(buf, filled, target);
  std::memset(buf + filled, 0, kCompareSlack);
  return in.ended ? filled : filled - kMaxMatch;
}

// Length of the common prefix of a and b, at most maxLen. Reads whole blocks,
// so up to kCompareSlack bytes past the shorter string.
inline unsigned CommonLength(const std::uint8_t* a, const std::uint8_t* b, unsigned maxLen) {
  unsigned n = 0;
  while (n < maxLen) {
#if defined(__SSE2__)
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + n));
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + n));
    const unsigned differ = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, y))) ^ 0xFFFFu;
    if (differ != 0) return std::min(n + static_cast<unsigned>(__builtin_ctz(differ)), maxLen);
    n += 16;
#else
    std::uint64_t x, y;
    std::memcpy(&x, a + n, 8);
    std::memcpy(&y, b + n, 8);
    const std::uint64_t diff = x ^ y;
    if (diff != 0) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
      n += static_cast<unsigned>(__builtin_clzll(diff)) >> 3;
#else
      n += static_cast<unsigned>(__builtin_ctzll(diff)) >> 3;
#endif
      return std::min(n, maxLen);
    }
    n += 8;
#endif
  }
  return maxLen;
}

}  // namespace dcl::implode
