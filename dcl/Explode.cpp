// Explode: the decompressor of implode streams (format in DclFormat.h).
//
// Decoding is table driven. The bit reader keeps up to 64 unread bits; before
// each item it is topped up so that at least 30 bits are present whenever the
// input still has them (the longest item, a copy, takes 1 + 7 + 8 + 8 + 6 = 30
// bits). Each fixed code is then decoded with one lookup indexed by the next
// bits of the stream; the usual copy, a short length field followed by its
// distance code, is decoded whole with a single lookup. A copy's speed is set
// by the chain "lookup, then shift the bit buffer by what it says", and this
// takes one of the two lookups off it.
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

#include "dcl/BuiltOnce.h"
#include "dcl/Dcl.h"
#include "dcl/DclFormat.h"

namespace {

using namespace dcl::format;

// ---- lookup tables, built from the code lengths on first use ------------

// A length code with its extra bits: length = base + the `extraMask` bits that
// follow the code's `codeBits`; the whole field takes `bits` bits. Keeping the
// field width apart lets the decoder drop it in one shift, while the length
// itself is computed off that path.
struct LengthEntry {
  std::uint16_t base;
  std::uint16_t extraMask;
  std::uint8_t codeBits;
  std::uint8_t bits;
};
struct SymbolEntry {
  std::uint8_t symbol;
  std::uint8_t bits;
};

// A whole copy header, for the common copies whose length field and distance
// code together fit in kCopyIndexBits bits: one lookup instead of two
// dependent ones. `bits` counts everything the copy takes: the flag, the
// length field, the distance code and the raw low bits of the distance as a
// 4096-byte dictionary has them (smaller dictionaries subtract the difference
// except for length 2, whose low bits are always two). 0 marks an index that
// needs the two-step decode.
struct CopyEntry {
  std::uint16_t length;
  std::uint8_t distanceSymbol;
  std::uint8_t bits;
};
constexpr unsigned kCopyIndexBits = 12;
static_assert(kLengthBits[kLengthCodes - 1] + kLengthExtra[kLengthCodes - 1] > kCopyIndexBits,
              "the end marker must take the two-step decode");

struct DecodeTables {
  CopyEntry copy[1u << kCopyIndexBits];
  LengthEntry length[1u << kLengthMaxBits];
  SymbolEntry distance[1u << kDistanceMaxBits];
  SymbolEntry literal[1u << kLiteralMaxBits];
};

// Fills zeroed tables. They are built on the first explode: stored, they would
// take 34 KB of the decompressor library's file.
void BuildDecodeTables(DecodeTables& t) {
  // A code of n bits fills every index whose low n bits equal it.
  for (unsigned s = 0; s < kLengthCodes; ++s) {
    const StreamCode c = kLengthCodeSet.sym[s];
    const LengthEntry e{kLengthBase[s], static_cast<std::uint16_t>((1u << kLengthExtra[s]) - 1), c.bits,
                        static_cast<std::uint8_t>(c.bits + kLengthExtra[s])};
    for (unsigned i = c.code; i < (1u << kLengthMaxBits); i += 1u << c.bits) t.length[i] = e;
  }
  // Copy headers: every length field (code and extra bits) followed by every
  // distance code, where the two fit the index.
  for (unsigned s = 0; s < kLengthCodes; ++s) {
    const StreamCode lc = kLengthCodeSet.sym[s];
    for (unsigned extra = 0; extra < (1u << kLengthExtra[s]); ++extra) {
      const unsigned lengthBits = lc.bits + kLengthExtra[s];
      const unsigned lengthField = lc.code | extra << lc.bits;
      for (unsigned d = 0; d < kDistanceCodes; ++d) {
        const StreamCode dc = kDistanceCodeSet.sym[d];
        const unsigned bits = lengthBits + dc.bits;
        if (bits > kCopyIndexBits) continue;
        const unsigned length = kLengthBase[s] + extra;
        const unsigned lowBits = length == kMinMatch ? kLowBitsLength2 : kMaxDictBits;
        const CopyEntry e{static_cast<std::uint16_t>(length), static_cast<std::uint8_t>(d),
                          static_cast<std::uint8_t>(1 + bits + lowBits)};
        for (unsigned i = lengthField | dc.code << lengthBits; i < (1u << kCopyIndexBits); i += 1u << bits)
          t.copy[i] = e;
      }
    }
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
}

// ---- state in the work area ------------------------------------------------

constexpr unsigned kHistory = kMaxWindow;     // bytes kept for later copies
constexpr unsigned kBlock = 4096;             // new bytes collected before a write
constexpr unsigned kCopySlack = 32;           // CopyMatch writes up to 15 bytes past a copy
constexpr unsigned kWindowSize = kHistory + kBlock + kMaxMatch + kCopySlack;
constexpr unsigned kInputSize = 2048;         // bytes asked of read_buf at a time
constexpr unsigned kMaxItemBits = 30;

// For a period d < 8: the smallest multiple of d that is at least 8.
constexpr std::uint8_t kWholePeriods[8] = {0, 8, 8, 9, 8, 10, 12, 14};

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
//
// Work goes in 8-byte steps, each reading only bytes already final; a copy may
// write up to kCopySlack bytes past its end into the window's slack, where they
// are overwritten later. Most copies are short, so the first 16 bytes are
// copied without a loop test.
inline std::uint8_t* CopyMatch(std::uint8_t* out, unsigned distance, unsigned length) {
  std::uint8_t* const end = out + length;
  const std::uint8_t* from = out - distance;
  if (distance < 8) {
    // A short period: make the first 8 bytes one at a time. From then on the
    // pattern repeats, so a source a whole number of periods back, at least
    // 8 bytes away, serves the 8-byte steps.
    for (unsigned i = 0; i < 8; ++i) out[i] = from[i];
    out += 8;
    from = out - kWholePeriods[distance];
    if (out >= end) return end;
  }
  std::memcpy(out, from, 8);
  std::memcpy(out + 8, from + 8, 8);
  if (out + 16 < end) {
    out += 16;
    from += 16;
    do {
      std::memcpy(out, from, 8);
      out += 8;
      from += 8;
    } while (out < end);
  }
  return end;
}

// Input side of the decoder. It is a local of the decoding loop, never in the
// work area, so that the compiler keeps it in registers: stores into the
// window could alias anything reached through the state.
struct BitReader {
  std::uint64_t bitBuf = 0;  // unread bits, next bit lowest; bits above bitCount are 0 or the next ones
  int bitCount = 0;          // may go negative past the end of the input
  const std::uint8_t* inNext = nullptr;
  const std::uint8_t* inEnd = nullptr;
};

// Tops the bit buffer up to at least kMaxItemBits bits while input lasts. With
// 8 or more input bytes at hand this is one unaligned load; near the end of
// each input block bytes are taken one at a time, asking the caller for more
// as needed.
inline void Refill(ExplodeState& s, BitReader& r) {
  if (r.bitCount >= static_cast<int>(kMaxItemBits)) return;
  if (r.inEnd - r.inNext >= 8) {
    std::uint64_t word;
    std::memcpy(&word, r.inNext, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    word = __builtin_bswap64(word);
#endif
    r.bitBuf |= word << r.bitCount;
    r.inNext += (63 - r.bitCount) >> 3;  // whole bytes that fitted
    r.bitCount |= 56;
    return;
  }
  while (r.bitCount <= 56) {
    if (r.inNext == r.inEnd) {
      const unsigned got = ReadMore(s);
      if (got == 0) return;
      r.inNext = s.inBuf;
      r.inEnd = s.inBuf + got;
    }
    r.bitBuf |= static_cast<std::uint64_t>(*r.inNext++) << r.bitCount;
    r.bitCount += 8;
  }
}

// Decodes the items after the header. One instance per literal mode and
// dictionary size, so that both are constants in the loop.
template <bool kAsciiMode, unsigned kDictBits>
unsigned DecodeItems(ExplodeState& s, BitReader r) {
  const DecodeTables& tables = dcl::BuiltOnce<DecodeTables, BuildDecodeTables>();
  std::uint64_t& bitBuf = r.bitBuf;
  int& bitCount = r.bitCount;
  auto drop = [&](unsigned n) {
    bitBuf >>= n;
    bitCount -= static_cast<int>(n);
  };

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
    Refill(s, r);

    if ((bitBuf & 1) == 0) {  // literal
      unsigned byte;
      if (kAsciiMode) {
        const SymbolEntry e = tables.literal[(bitBuf >> 1) & ((1u << kLiteralMaxBits) - 1)];
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

    // Copy: the flag, the length field, the distance code (high bits of
    // distance - 1), then the raw low bits of the distance.
    unsigned length;
    unsigned distance;
    const CopyEntry ce = tables.copy[(bitBuf >> 1) & ((1u << kCopyIndexBits) - 1)];
    if (ce.bits != 0) {
      length = ce.length;
      const unsigned lowBits = length == kMinMatch ? kLowBitsLength2 : kDictBits;
      const unsigned bits = length == kMinMatch ? ce.bits : ce.bits - (kMaxDictBits - kDictBits);
      const unsigned low = static_cast<unsigned>(bitBuf >> (bits - lowBits)) & ((1u << lowBits) - 1);
      distance = ((static_cast<unsigned>(ce.distanceSymbol) << lowBits) | low) + 1;
      drop(bits);
    } else {
      drop(1);
      const LengthEntry le = tables.length[bitBuf & ((1u << kLengthMaxBits) - 1)];
      length = le.base + ((static_cast<unsigned>(bitBuf) >> le.codeBits) & le.extraMask);
      drop(le.bits);
      if (length == kEndOfStream) {
        if (bitCount < 0) return rc::kDclBadData;
        Emit(s, flushed, out);
        return rc::kDclOk;
      }
      const SymbolEntry de = tables.distance[bitBuf & ((1u << kDistanceMaxBits) - 1)];
      const unsigned lowBits = length == kMinMatch ? kLowBitsLength2 : kDictBits;
      const unsigned low = static_cast<unsigned>(bitBuf >> de.bits) & ((1u << lowBits) - 1);
      distance = ((static_cast<unsigned>(de.symbol) << lowBits) | low) + 1;
      drop(de.bits + lowBits);
    }
    if (bitCount < 0) return rc::kDclBadData;
    if (distance > static_cast<unsigned>(out - window)) return rc::kDclBadData;
    out = CopyMatch(out, distance, length);
  }
}

template <bool kAsciiMode>
unsigned DecodeItemsForDict(ExplodeState& s, const BitReader& reader, unsigned dictBits) {
  switch (dictBits) {
    case 4: return DecodeItems<kAsciiMode, 4>(s, reader);
    case 5: return DecodeItems<kAsciiMode, 5>(s, reader);
    default: return DecodeItems<kAsciiMode, 6>(s, reader);
  }
}

// The decoder: header, then the items.
unsigned Run(ExplodeState& s) {
  BitReader reader;
  reader.inNext = s.inBuf;
  reader.inEnd = s.inBuf;
  Refill(s, reader);
  if (reader.bitCount < 16) return rc::kDclBadData;
  // Header: literal mode and dictionary code, one byte each.
  const unsigned mode = reader.bitBuf & 0xFF;
  const unsigned dictBits = (reader.bitBuf >> 8) & 0xFF;
  reader.bitBuf >>= 16;
  reader.bitCount -= 16;
  if (mode > dcl::kAscii || dictBits < kMinDictBits || dictBits > kMaxDictBits)
    return rc::kDclBadData;
  return mode == dcl::kAscii ? DecodeItemsForDict<true>(s, reader, dictBits)
                             : DecodeItemsForDict<false>(s, reader, dictBits);
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
