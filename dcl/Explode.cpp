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
  bool inputEnded;
  bool aborted;
  std::uint8_t inBuf[kInputSize];
  std::uint8_t window[kWindowSize];
};

constexpr std::size_t kAlign = alignof(ExplodeState);
static_assert(sizeof(ExplodeState) + kAlign - 1 <= dcl::kExplodeWorkSize,
              "explode state must fit the caller's work area");

// Asks the caller for more input into inBuf; returns the byte count, 0 at the end.
unsigned ReadMore(ExplodeState& s) {
  if (s.inputEnded) return 0;
  unsigned size = kInputSize;
  unsigned got = s.read(reinterpret_cast<char*>(s.inBuf), &size, s.param);
  if (got > kInputSize) {  // the callback claims more than the buffer holds
    s.aborted = true;
    got = 0;
  }
  if (got == 0) s.inputEnded = true;
  return got;
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
  std::uint8_t* const end = out + length;
  if (distance >= 8) {
    // Each 8-byte step reads only bytes already final; it may write up to
    // 7 bytes past the copy into the window's slack, overwritten later.
    do {
      std::memcpy(out, from, 8);
      out += 8;
      from += 8;
    } while (out < end);
    return end;
  }
  if (distance == 1) {
    std::memset(out, *from, length);
    return end;
  }
  while (out < end) *out++ = *from++;
  return end;
}

// The decoder. The bit reader lives in local variables so that the compiler
// keeps it in registers: stores into the window could alias anything reached
// through the state.
unsigned Run(ExplodeState& s) {
  std::uint64_t bitBuf = 0;  // unread bits, next bit lowest
  int bitCount = 0;          // may go negative past the end of the input
  const std::uint8_t* inNext = s.inBuf;
  const std::uint8_t* inEnd = s.inBuf;

  // Tops the bit buffer up to at least kMaxItemBits bits while input lasts.
  auto refill = [&]() {
    if (bitCount >= static_cast<int>(kMaxItemBits)) return;
    if (inEnd - inNext >= 8) {
      // Fast path: one unaligned load supplies whole bytes up to 56+ bits.
      std::uint64_t word;
      std::memcpy(&word, inNext, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
      word = __builtin_bswap64(word);
#endif
      bitBuf |= word << bitCount;
      inNext += (63 - bitCount) >> 3;
      bitCount |= 56;
      return;
    }
    while (bitCount <= 56) {
      if (inNext == inEnd) {
        const unsigned got = ReadMore(s);
        if (got == 0) return;
        inNext = s.inBuf;
        inEnd = s.inBuf + got;
      }
      bitBuf |= static_cast<std::uint64_t>(*inNext++) << bitCount;
      bitCount += 8;
    }
  };
  auto peek = [&](unsigned n) { return static_cast<unsigned>(bitBuf) & ((1u << n) - 1); };
  auto drop = [&](unsigned n) {
    bitBuf >>= n;
    bitCount -= static_cast<int>(n);
  };

  // Header: literal mode and dictionary code, one byte each.
  refill();
  if (bitCount < 16) return rc::kDclBadData;
  const unsigned mode = peek(8);
  drop(8);
  const unsigned dictBits = peek(8);
  drop(8);
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
    refill();

    if ((bitBuf & 1) == 0) {  // literal
      unsigned byte;
      if (ascii) {
        const SymbolEntry e = kTables.literal[(bitBuf >> 1) & ((1u << kLiteralMaxBits) - 1)];
        byte = e.symbol;
        drop(1 + e.bits);
      } else {
        byte = (bitBuf >> 1) & 0xFF;
        drop(9);
      }
      if (bitCount < 0) return rc::kDclBadData;
      *out++ = static_cast<std::uint8_t>(byte);
      continue;
    }

    // Copy: length code and its extra bits.
    drop(1);
    const LengthEntry le = kTables.length[peek(kLengthMaxBits)];
    drop(le.codeBits);
    const unsigned length = le.base + peek(le.extraBits);
    drop(le.extraBits);
    if (length == kEndOfStream) {
      if (bitCount < 0) return rc::kDclBadData;
      Emit(s, flushed, out);
      return rc::kDclOk;
    }

    // Distance code (high bits of distance - 1), then the raw low bits.
    const SymbolEntry de = kTables.distance[peek(kDistanceMaxBits)];
    drop(de.bits);
    const unsigned lowBits = length == 2 ? 2 : dictBits;
    const unsigned distance = ((static_cast<unsigned>(de.symbol) << lowBits) | peek(lowBits)) + 1;
    drop(lowBits);
    if (bitCount < 0) return rc::kDclBadData;
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
  s.inputEnded = false;
  s.aborted = false;
  const unsigned result = Run(s);
  return s.aborted ? static_cast<unsigned>(rc::kDclAborted) : result;
}
