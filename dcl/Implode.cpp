// Implode: the compressor that writes implode streams (format in DclFormat.h).
//
// Input is collected in a sliding buffer inside the caller's work area: up to
// 4,096 bytes of history, a block of bytes being encoded, and the longest copy
// (518 bytes) of lookahead. When the encoder passes the end of the block, the
// buffer slides down by one block and the hash tables are rebased.
//
// Matches are found with hash chains: every position is entered under a hash of
// its next four bytes, and the chain of earlier positions with the same hash is
// walked from the nearest outwards, within the dictionary size. Keying the chain
// on four bytes keeps the many three-byte repeats of text out of the walk. When
// the chain finds nothing, a copy of length 3 comes from a table that remembers
// the last position of each three-byte hash; copies of length 2 may only reach
// back 256 bytes and come from a like table of two-byte pairs.
//
// Parsing is lazy and driven by the exact bit costs of the fixed codes: a match
// found at one position is held back while the next position is searched, and
// if the match there saves more bits, the first byte goes out as a literal.
// A match is only used where it is cheaper than the literals it replaces, which
// matters in ascii mode where common letters cost as little as 5 bits.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "dcl/Dcl.h"
#include "dcl/ImplodeStream.h"

namespace {

using namespace dcl::implode;

// ---- state in the work area ------------------------------------------------

constexpr unsigned kHistory = kMaxWindow;
constexpr unsigned kBlock = 2048;
constexpr unsigned kFillTarget = kHistory + kBlock + kMaxMatch;
constexpr unsigned kBufferSize = kFillTarget + kCompareSlack;
// The chain links are rebased in one pass of fixed length, which the compiler
// turns into vector code; a multiple of 16 entries keeps it free of a tail.
constexpr unsigned kPrevSize = (kBufferSize + 15) / 16 * 16;
constexpr unsigned kHash4Bits = 12;
constexpr unsigned kHash3Bits = 10;
constexpr unsigned kHash2Bits = 10;

// Search effort: the chain is walked at most kMaxChain steps, a match of
// kNiceLength bytes ends the search, and a held match of kLazyLimit bytes or
// more is taken without looking at the next position.
constexpr unsigned kMaxChain = 8;
constexpr unsigned kNiceLength = 128;
constexpr unsigned kLazyLimit = 16;
// When the held match is already this long, the next position gets a quarter
// of the search effort: a longer match there is unlikely to be worth much.
constexpr unsigned kGoodLength = 4;

struct ImplodeState {
  Reader in;
  BitWriter out;
  unsigned filled;  // bytes in buffer
  unsigned dictSize;
  // Hash tables hold position + 1 so that 0 means "none" and sliding is a
  // saturating subtraction.
  std::uint16_t head4[1u << kHash4Bits];
  std::uint16_t head3[1u << kHash3Bits];
  std::uint16_t head2[1u << kHash2Bits];
  std::uint16_t prev[kPrevSize];
  std::uint8_t buf[kBufferSize];
};

static_assert(sizeof(ImplodeState) + alignof(ImplodeState) - 1 <= dcl::kImplodeWorkSize,
              "implode state must fit the caller's work area");
static_assert(kFillTarget < 0xFFFF, "positions must fit 16 bits");

// ---- costs -----------------------------------------------------------------

inline unsigned LiteralsCost(const ImplodeState& s, unsigned pos, unsigned length) {
  if (!s.out.ascii) return kBinaryLiteralBits * length;
  unsigned cost = 0;
  for (unsigned i = 0; i < length; ++i) cost += kEnc.literal[s.buf[pos + i]].bits;
  return cost;
}

// Bits saved by coding [pos, pos + length) as this copy instead of literals.
inline int Saving(const ImplodeState& s, unsigned pos, unsigned length, unsigned distance) {
  return static_cast<int>(LiteralsCost(s, pos, length)) -
         static_cast<int>(CopyCost(length, distance, s.out.dictBits));
}

// ---- match finder ----------------------------------------------------------

inline unsigned Hash4(const std::uint8_t* p) {
  return (Key(p, 4) * 2654435761u) >> (32 - kHash4Bits);
}
inline unsigned Hash3(const std::uint8_t* p) {
  return (Key(p, 3) * 2654435761u) >> (32 - kHash3Bits);
}
inline unsigned Hash2(const std::uint8_t* p) {
  return (Key(p, 2) * 2654435761u) >> (32 - kHash2Bits);
}

// Enters position pos into the hash tables.
inline void Insert(ImplodeState& s, unsigned pos) {
  if (pos + 4 <= s.filled) {
    const unsigned h = Hash4(s.buf + pos);
    s.prev[pos] = s.head4[h];
    s.head4[h] = static_cast<std::uint16_t>(pos + 1);
  }
  if (pos + 3 <= s.filled) s.head3[Hash3(s.buf + pos)] = static_cast<std::uint16_t>(pos + 1);
  if (pos + 2 <= s.filled) s.head2[Hash2(s.buf + pos)] = static_cast<std::uint16_t>(pos + 1);
}

struct Match {
  unsigned length = 0;  // 0: none
  unsigned distance = 0;
};

// Finds the longest copy for pos (closest on ties), then enters pos.
Match FindMatch(ImplodeState& s, unsigned pos, unsigned heldLength) {
  Match best;
  const unsigned maxLen = std::min(kMaxMatch, s.filled - pos);
  if (maxLen < kMinMatch) {
    Insert(s, pos);
    return best;
  }
  const std::uint8_t* const here = s.buf + pos;
  unsigned bestLen = 3;  // a chain hit must beat this to count
  if (maxLen >= 4) {
    unsigned link = s.head4[Hash4(here)];
    unsigned chain = heldLength >= kGoodLength ? kMaxChain / 4 : kMaxChain;
    const std::uint32_t first4 = Load32(here);
    while (link != 0 && chain-- != 0) {
      const unsigned cand = link - 1;
      const unsigned distance = pos - cand;
      if (distance > s.dictSize) break;
      const std::uint8_t* const there = s.buf + cand;
      if (there[bestLen] == here[bestLen] && Load32(there) == first4) {
        const unsigned len = CommonLength(there, here, maxLen);
        if (len > bestLen) {
          bestLen = len;
          best = Match{len, distance};
          if (len >= kNiceLength || len == maxLen) break;
        }
      }
      link = s.prev[cand];
    }
  }
  if (best.length == 0 && maxLen >= 3) {
    const unsigned link = s.head3[Hash3(here)];
    if (link != 0) {
      const unsigned cand = link - 1;
      const unsigned distance = pos - cand;
      if (distance <= s.dictSize && (Load32(s.buf + cand) & 0xFFFFFF) == (Load32(here) & 0xFFFFFF))
        best = Match{3, distance};
    }
  }
  if (best.length == 0) {
    const unsigned link = s.head2[Hash2(here)];
    if (link != 0) {
      const unsigned cand = link - 1;
      const unsigned distance = pos - cand;
      if (distance <= kMaxDistanceLength2 && s.buf[cand] == here[0] && s.buf[cand + 1] == here[1])
        best = Match{2, distance};
    }
  }
  Insert(s, pos);
  // Only worth it when cheaper than literals.
  if (best.length != 0 && Saving(s, pos, best.length, best.distance) <= 0) best = Match{};
  return best;
}

// ---- input -----------------------------------------------------------------

inline std::uint16_t Rebase(std::uint16_t v) {
  return static_cast<std::uint16_t>(v > kBlock ? v - kBlock : 0);
}

// Drops the oldest block: the buffer, the chain links and the heads move down.
void Slide(ImplodeState& s) {
  std::memmove(s.buf, s.buf + kBlock, s.filled - kBlock);
  // Links past the data are stale but never followed, so all are moved alike.
  for (unsigned i = 0; i < kPrevSize - kBlock; ++i) s.prev[i] = Rebase(s.prev[i + kBlock]);
  for (auto& h : s.head4) h = Rebase(h);
  for (auto& h : s.head3) h = Rebase(h);
  for (auto& h : s.head2) h = Rebase(h);
  s.filled -= kBlock;
}

// ---- the parse ---------------------------------------------------------------

void Run(ImplodeState& s) {
  unsigned pos = 0;
  Match held;  // match found at pos - 1, not yet emitted
  for (;;) {
    s.in.Fill(s.buf, s.filled, kFillTarget);
    if (s.in.aborted) return;
    const unsigned limit = s.in.ended ? s.filled : s.filled - kMaxMatch;
    while (pos < limit) {
      if (held.length >= kLazyLimit) {
        // Long enough: take it without looking further.
        s.out.Copy(held.length, held.distance);
        for (unsigned q = pos; q < pos - 1 + held.length; ++q) Insert(s, q);
        pos += held.length - 1;
        held = Match{};
        continue;
      }
      const Match here = FindMatch(s, pos, held.length);
      if (held.length != 0) {
        if (here.length > held.length &&
            Saving(s, pos, here.length, here.distance) >
                Saving(s, pos - 1, held.length, held.distance)) {
          s.out.Literal(s.buf[pos - 1]);
          held = here;
          ++pos;
          continue;
        }
        s.out.Copy(held.length, held.distance);
        // pos - 1 and pos are entered; enter the rest of the copy.
        for (unsigned q = pos + 1; q < pos - 1 + held.length; ++q) Insert(s, q);
        pos += held.length - 1;
        held = Match{};
        continue;
      }
      if (here.length != 0)
        held = here;
      else
        s.out.Literal(s.buf[pos]);
      ++pos;
    }
    if (s.in.ended && pos >= s.filled) break;
    if (pos >= kHistory + kBlock) {
      Slide(s);
      pos -= kBlock;
    }
  }
  if (held.length != 0) s.out.Copy(held.length, held.distance);
  s.out.End();
}

}  // namespace

extern "C" unsigned DCL_CALL dcl_implode(DclReadFn read_buf, DclWriteFn write_buf, char* work_buf,
                                         void* param, unsigned* type, unsigned* dsize) {
  if (read_buf == nullptr || write_buf == nullptr || work_buf == nullptr || type == nullptr ||
      dsize == nullptr)
    return rc::kDclAborted;
  unsigned code = rc::kDclOk;
  const unsigned dictBits = DictionaryCode(*type, *dsize, code);
  if (dictBits == 0) return code;

  ImplodeState& s = StateIn<ImplodeState>(work_buf);
  s.in = Reader{read_buf, param, false, false};
  s.out.Begin(write_buf, param, *type, dictBits);
  s.filled = 0;
  s.dictSize = *dsize;
  std::memset(s.head4, 0, sizeof s.head4);
  std::memset(s.head3, 0, sizeof s.head3);
  std::memset(s.head2, 0, sizeof s.head2);

  Run(s);
  return s.in.aborted ? static_cast<unsigned>(rc::kDclAborted) : static_cast<unsigned>(rc::kDclOk);
}
