// Explode: the decompressor of implode streams (format in DclFormat.h).
//
// Decoding is table driven. The bit reader keeps up to 64 unread bits; before
// each item it is topped up so that at least 30 bits are present whenever the
// input still has them (the longest item, a copy, takes 1 + 7 + 8 + 8 + 6 = 30
// bits). Each fixed code is then decoded with one lookup indexed by the next
// bits of the stream.
//
// At the end of the input the reader supplies zero bits and lets its bit count
// go negative; an item that needed more bits than existed is detected after it
// was decoded and before anything is written, and the stream is rejected. This
// keeps the hot path free of per-bit checks and still never accepts a stream
// that ends before its end marker.
//
// Output goes into a window inside the caller's work area: history, then room
// for a block of new bytes, then room for one copy of maximal length. When the
// block is full it is handed to the write callback and the most recent 4,096
// bytes are moved to the front to stay reachable by later copies.
#include <cstdint>
#include <cstring>

#include "dcl/Dcl.h"
#include "dcl/DclFormat.h"

namespace {

using namespace dcl::format;

// ---- lookup tables, built at compile time from the code lengths -----------

struct LengthEntry {
  std::uint16_t base;
  std::uint8_t codeBits;
  std::uint8_t extraBits;
};
struct SymbolEntry {
  std::uint8_t symbol;
  std::uint8_t bits;
};

struct DecodeTables {
  LengthEntry length[1u << kLengthMaxBits];
  SymbolEntry distance[1u << kDistanceMaxBits];
  SymbolEntry literal[1u << kLiteralMaxBits];
};

constexpr DecodeTables BuildDecodeTables() {
  DecodeTables t{};
  // A code of n bits fills every index whose low n bits equal it.
  for (unsigned s = 0; s < kLengthCodes; ++s) {
    const StreamCode c = kLengthCodeSet.sym[s];
    for (unsigned i = c.code; i < (1u << kLengthMaxBits); i += 1u << c.bits)
      t.length[i] = LengthEntry{kLengthBase[s], c.bits, kLengthExtra[s]};
  }
  for (unsigned s = 0; s < kDistanceCodes; ++s) {
    const StreamCode c = kDistanceCodeSet.sym[s];
    for (unsigned i = c.code; i < (1u << kDistanceMaxBits); i += 1u << c.bits)
      t.distance[i] = SymbolEntry{static_cast<std::uint8_t>(s), c.bits};
  }
  for (unsigned s = 0; s < kLiteralCodes; ++s) {
    const StreamCode c = kLiteralCodeSet.sym[s];
    for (unsigned i = c.code; i < (1u << kLiteralMaxBits); i += 1u << c.bits)
      t.literal[i] = SymbolEntry{static_cast<std::uint8_t>(s), c.bits};
  }
  return t;
}

constexpr DecodeTables kTables = BuildDecodeTables();

// ---- state in the work area ------------------------------------------------

constexpr unsigned kHistory = kMaxWindow;     // bytes kept for later copies
constexpr unsigned kBlock = 4096;             // new bytes collected before a write
constexpr unsigned kCopySlack = 16;           // copies write in 8-byte steps
constexpr unsigned kWindowSize = kHistory + kBlock + kMaxMatch + kCopySlack;
constexpr unsigned kInputSize = 2048;         // bytes asked of read_buf at a time
constexpr unsigned kMaxItemBits = 30;

struct ExplodeState {
  DclReadFn read;
  DclWriteFn write;
  void* param;
  const std::uint8_t* inNext;  // unread input bytes: [inNext, inEnd)
  const std::uint8_t* inEnd;
  std::uint64_t bitBuf;        // unread bits, next bit lowest
  int bitCount;                // may go negative past the end of the input
  bool inputEnded;
  bool aborted;
  std::uint8_t inBuf[kInputSize];
  std::uint8_t window[kWindowSize];
};

constexpr std::size_t kAlign = alignof(ExplodeState);
static_assert(sizeof(ExplodeState) + kAlign - 1 <= dcl::kExplodeWorkSize,
              "explode state must fit the caller's work area");

// Asks the caller for more input; false when it has none.
bool ReadMore(ExplodeState& s) {
  if (s.inputEnded) return false;
  unsigned size = kInputSize;
  unsigned got = s.read(reinterpret_cast<char*>(s.inBuf), &size, s.param);
  if (got > kInputSize) {  // the callback claims more than the buffer holds
    s.aborted = true;
    got = 0;
  }
  if (got == 0) {
    s.inputEnded = true;
    return false;
  }
  s.inNext = s.inBuf;
  s.inEnd = s.inBuf + got;
  return true;
}

// Tops the bit buffer up to at least kMaxItemBits bits while input lasts.
inline void Refill(ExplodeState& s) {
  if (s.bitCount >= static_cast<int>(kMaxItemBits)) return;
  if (s.inEnd - s.inNext >= 8) {
    // Fast path: one unaligned load supplies whole bytes up to 56+ bits.
    std::uint64_t word;
    std::memcpy(&word, s.inNext, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    word = __builtin_bswap64(word);
#endif
    s.bitBuf |= word << s.bitCount;
    s.inNext += (63 - s.bitCount) >> 3;
    s.bitCount |= 56;
    return;
  }
  while (s.bitCount <= 56) {
    if (s.inNext == s.inEnd && !ReadMore(s)) return;
    s.bitBuf |= static_cast<std::uint64_t>(*s.inNext++) << s.bitCount;
    s.bitCount += 8;
  }
}

inline unsigned Peek(const ExplodeState& s, unsigned n) {
  return static_cast<unsigned>(s.bitBuf) & ((1u << n) - 1);
}
inline void Drop(ExplodeState& s, unsigned n) {
  s.bitBuf >>= n;
  s.bitCount -= static_cast<int>(n);
}

// Hands [from, to) to the write callback.
inline void Emit(ExplodeState& s, std::uint8_t* from, std::uint8_t* to) {
  unsigned size = static_cast<unsigned>(to - from);
  if (size != 0) s.write(reinterpret_cast<char*>(from), &size, s.param);
}

// Copies `length` bytes from `distance` back. The source may overlap the
// destination (distance < length repeats the last `distance` bytes).
inline std::uint8_t* CopyMatch(std::uint8_t* out, unsigned distance, unsigned length) {
  const std::uint8_t* from = out - distance;
  if (distance >= 8) {
    // Each 8-byte step reads only bytes already final; it may write up to
    // 7 bytes past the copy into the window's slack, overwritten later.
    std::uint8_t* end = out + length;
    do {
      std::memcpy(out, from, 8);
      out += 8;
      from += 8;
    } while (out < end);
    return end;
  }
  if (distance == 1) {
    std::memset(out, *from, length);
    return out + length;
  }
  for (unsigned i = 0; i < length; ++i) out[i] = from[i];
  return out + length;
}

unsigned Run(ExplodeState& s) {
  // Header: literal mode and dictionary code, one byte each.
  Refill(s);
  if (s.bitCount < 16) return rc::kDclBadData;
  const unsigned mode = Peek(s, 8);
  Drop(s, 8);
  const unsigned dictBits = Peek(s, 8);
  Drop(s, 8);
  if (mode > dcl::kAscii || dictBits < kMinDictBits || dictBits > kMaxDictBits)
    return rc::kDclBadData;
  const bool ascii = mode == dcl::kAscii;

  std::uint8_t* const window = s.window;
  std::uint8_t* const blockEnd = window + kHistory + kBlock;
  std::uint8_t* out = window;      // next byte to produce
  std::uint8_t* flushed = window;  // bytes before this were written

  for (;;) {
    if (out >= blockEnd) {
      Emit(s, flushed, out);
      std::memmove(window, out - kHistory, kHistory);
      out = window + kHistory;
      flushed = out;
    }
    Refill(s);

    if ((s.bitBuf & 1) == 0) {  // literal
      unsigned byte;
      if (ascii) {
        const SymbolEntry e = kTables.literal[(s.bitBuf >> 1) & ((1u << kLiteralMaxBits) - 1)];
        byte = e.symbol;
        Drop(s, 1 + e.bits);
      } else {
        byte = (s.bitBuf >> 1) & 0xFF;
        Drop(s, 9);
      }
      if (s.bitCount < 0) return rc::kDclBadData;
      *out++ = static_cast<std::uint8_t>(byte);
      continue;
    }

    // Copy: length code and its extra bits.
    Drop(s, 1);
    const LengthEntry le = kTables.length[Peek(s, kLengthMaxBits)];
    Drop(s, le.codeBits);
    const unsigned length = le.base + Peek(s, le.extraBits);
    Drop(s, le.extraBits);
    if (length == kEndOfStream) {
      if (s.bitCount < 0) return rc::kDclBadData;
      Emit(s, flushed, out);
      return rc::kDclOk;
    }

    // Distance code (high bits of distance - 1), then the raw low bits.
    const SymbolEntry de = kTables.distance[Peek(s, kDistanceMaxBits)];
    Drop(s, de.bits);
    const unsigned lowBits = length == 2 ? 2 : dictBits;
    const unsigned distance = ((static_cast<unsigned>(de.symbol) << lowBits) | Peek(s, lowBits)) + 1;
    Drop(s, lowBits);
    if (s.bitCount < 0) return rc::kDclBadData;
    if (distance > static_cast<unsigned>(out - window)) return rc::kDclBadData;
    out = CopyMatch(out, distance, length);
  }
}

}  // namespace

extern "C" unsigned DCL_CALL dcl_explode(DclReadFn read_buf, DclWriteFn write_buf, char* work_buf,
                                         void* param) {
  if (read_buf == nullptr || write_buf == nullptr || work_buf == nullptr) return rc::kDclAborted;
  // The caller's area may have any alignment.
  auto addr = reinterpret_cast<std::uintptr_t>(work_buf);
  addr = (addr + kAlign - 1) & ~static_cast<std::uintptr_t>(kAlign - 1);
  ExplodeState& s = *reinterpret_cast<ExplodeState*>(addr);
  s.read = read_buf;
  s.write = write_buf;
  s.param = param;
  s.inNext = s.inEnd = s.inBuf;
  s.bitBuf = 0;
  s.bitCount = 0;
  s.inputEnded = false;
  s.aborted = false;
  const unsigned result = Run(s);
  return s.aborted ? static_cast<unsigned>(rc::kDclAborted) : result;
}
