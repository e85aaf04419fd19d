// Implode: the compressor that writes implode streams (format in DclFormat.h).
// This is the library's fast parse; ImplodeOptimal.cpp writes the smallest
// stream the format allows, at a fifth of the speed.
//
// Input is collected in a sliding buffer inside the caller's work area: up to
// 4,096 bytes of history, a block of bytes being encoded, and the longest copy
// (518 bytes) of lookahead. When the encoder passes the end of the block, the
// buffer slides down by one block and the hash tables are rebased.
//
// Matches are found with a hash chain: every position is entered under a hash
// of its next three bytes, and the chain of earlier positions with the same
// hash is walked from the nearest outwards, within the dictionary size and for
// a number of steps that grows with it. The first entry with the same three
// bytes is the nearest copy of length 3; the nearest copy of length 2, which
// may only reach back 256 bytes, comes from a table of the last position of
// each two-byte pair. Inside a run of one byte (the next four bytes equal the
// previous one) the copy one byte back is as long as the run, and such
// positions stay out of the chain, which they would otherwise fill.
//
// Parsing is lazy and driven by the exact bit costs of the fixed codes: a match
// found at one position is held back while the next position is searched, and
// if the match there saves more bits, the first byte goes out as a literal.
// A match is only used where it is cheaper than the literals it replaces, which
// matters in ascii mode where common letters cost as little as 5 bits.
//
// Items are written one step late, so that each copy can still reach back:
// over the literal before it, when its bytes match there too (the search found
// it one byte late), and into the copy before it, where giving that one fewer
// bytes costs less overall, typically because its shorter rest has a nearer,
// cheaper distance. On text and program files that saves 0.5 to 0.9 % of the
// stream for a few compares per copy.
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
constexpr unsigned kChainBits = 12;  // chain heads, by a hash of three bytes
constexpr unsigned kPairBits = 11;   // newest position of each two-byte hash

// Search effort: the chain is walked at most one step per kWindowPerStep bytes
// of the dictionary (8, 16 or 32 steps), a match of kNiceLength bytes ends the
// search, and a held match of kLazyLimit bytes or more is taken without looking
// at the next position. Larger windows hold more candidates for each prefix;
// with a fixed walk the larger dictionaries lost copies they could have had.
constexpr unsigned kWindowPerStep = 128;
constexpr unsigned kNiceLength = 128;
constexpr unsigned kLazyLimit = 6;
// When the held match is already this long, the next position gets a quarter
// of the search effort: a longer match there is unlikely to be worth much.
constexpr unsigned kGoodLength = 4;

struct ImplodeState {
  Reader in;
  BitWriter out;
  unsigned filled;  // bytes in buffer
  unsigned dictSize;
  unsigned maxChain;  // steps of a full walk
  // Hash tables hold position + 1 so that 0 means "none" and sliding is a
  // saturating subtraction.
  std::uint16_t head[1u << kChainBits];
  std::uint16_t pair[1u << kPairBits];
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

// A copy this long is cheaper than its literals whatever they are: literals
// cost at least 6 bits each, a copy at most 1 + 7 + 8 + 8 + 6 = 30.
constexpr unsigned kAlwaysCheaper = 6;

// Bits saved by coding [pos, pos + length) as this copy instead of literals.
inline int Saving(const ImplodeState& s, unsigned pos, unsigned length, unsigned distance) {
  return static_cast<int>(LiteralsCost(s, pos, length)) -
         static_cast<int>(CopyCost(length, distance, s.out.dictBits));
}

// ---- match finder ----------------------------------------------------------

inline unsigned ChainHash(const std::uint8_t* p) {
  return (Key(p, 3) * 2654435761u) >> (32 - kChainBits);
}
inline unsigned PairHash(const std::uint8_t* p) {
  return (Key(p, 2) * 2654435761u) >> (32 - kPairBits);
}

// Inside a run: the next four bytes all equal the one before.
inline bool InRun(const ImplodeState& s, unsigned pos) {
  return pos != 0 && s.buf[pos - 1] == s.buf[pos] && Load32(s.buf + pos) == s.buf[pos] * 0x01010101u;
}

// Enters position pos into the hash tables; positions inside a run only into
// the pair table.
inline void InsertPair(ImplodeState& s, unsigned pos) {
  if (pos + 2 <= s.filled) s.pair[PairHash(s.buf + pos)] = static_cast<std::uint16_t>(pos + 1);
}
inline void Insert(ImplodeState& s, unsigned pos) {
  if (pos + 3 <= s.filled) {
    const unsigned h = ChainHash(s.buf + pos);
    s.prev[pos] = s.head[h];
    s.head[h] = static_cast<std::uint16_t>(pos + 1);
  }
  InsertPair(s, pos);
}
inline void InsertChecked(ImplodeState& s, unsigned pos) {
  if (InRun(s, pos))
    InsertPair(s, pos);
  else
    Insert(s, pos);
}

// Enters the positions [from, to) inside a copy at `distance`. In a copy one
// byte back every position but the last three is inside a run.
void InsertCopy(ImplodeState& s, unsigned from, unsigned to, unsigned distance) {
  unsigned q = from;
  if (distance == 1)
    for (; q + 3 < to; ++q) InsertPair(s, q);
  for (; q < to; ++q) InsertChecked(s, q);
}

struct Match {
  unsigned length = 0;  // 0: none
  unsigned distance = 0;
  // The nearest copies of length 3 and 2 at the same position (0: none), for
  // when the copy gets shortened to that length later.
  unsigned near3 = 0;
  unsigned near2 = 0;
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
  if (maxLen >= 4 && InRun(s, pos)) {
    best = Match{1 + CommonLength(here, here + 1, maxLen - 1), 1, 1, 1};
    InsertPair(s, pos);
    return best;
  }
  unsigned bestLen = 3;  // a copy from the chain must be longer than this
  if (maxLen >= 3) {
    unsigned link = s.head[ChainHash(here)];
    unsigned chain = heldLength >= kGoodLength ? s.maxChain / 4 : s.maxChain;
    const std::uint32_t first3 = Key(here, 3);
    const unsigned enough = std::min(kNiceLength, maxLen);
    while (link != 0 && chain-- != 0) {
      const unsigned cand = link - 1;
      const unsigned distance = pos - cand;
      if (distance > s.dictSize) break;
      link = s.prev[cand];
      const std::uint8_t* const there = s.buf + cand;
      // Once the nearest copy of three is known, only longer copies count, and
      // most candidates differ at bestLen. Other prefixes share the chain where
      // their hashes meet.
      if (best.near3 != 0 && there[bestLen] != here[bestLen]) continue;
      if (Key(there, 3) != first3) continue;
      if (best.near3 == 0) best.near3 = distance;
      const unsigned len = CommonLength(there, here, maxLen);
      if (len > bestLen) {
        bestLen = len;
        best.length = len;
        best.distance = distance;
        if (len >= enough) break;
      }
    }
  }
  {
    const unsigned link = s.pair[PairHash(here)];
    const unsigned distance = pos - (link - 1);
    if (link != 0 && distance <= kMaxDistanceLength2 && Key(s.buf + link - 1, 2) == Key(here, 2))
      best.near2 = distance;
  }
  if (best.length == 0) {
    if (best.near3 != 0) {
      best.length = 3;
      best.distance = best.near3;
    } else if (best.near2 != 0) {
      best.length = 2;
      best.distance = best.near2;
    }
  }
  Insert(s, pos);
  // Only worth it when cheaper than literals.
  if (best.length != 0 && best.length < kAlwaysCheaper && Saving(s, pos, best.length, best.distance) <= 0)
    best.length = 0;
  return best;
}

// Whether `here` (at pos) saves more than `held` (at pos - 1, shorter). The
// literals both replace cancel out, so only the bytes where they differ are
// counted.
inline bool SavesMore(const ImplodeState& s, unsigned pos, const Match& here, const Match& held) {
  const unsigned dictBits = s.out.dictBits;
  const int more = static_cast<int>(LiteralsCost(s, pos - 1 + held.length, here.length + 1 - held.length)) -
                   static_cast<int>(LiteralsCost(s, pos - 1, 1));
  return more > static_cast<int>(CopyCost(here.length, here.distance, dictBits)) -
                    static_cast<int>(CopyCost(held.length, held.distance, dictBits));
}

// ---- output, one step late --------------------------------------------------------

// A copy reaches back at most this far into the copy before it.
constexpr unsigned kMaxReach = 16;

// The items not yet written: a copy, then a literal (either may be missing).
struct Pending {
  bool copy = false;
  Match held;  // the copy: its length, distance and nearer short distances
  bool literal = false;
  unsigned literalPos = 0;  // buffer position of the literal
};

inline void WritePending(ImplodeState& s, Pending& p) {
  if (p.copy) s.out.Copy(p.held.length, p.held.distance);
  if (p.literal) s.out.Literal(s.buf[p.literalPos]);
  p.copy = false;
  p.literal = false;
}

inline void AddLiteral(ImplodeState& s, Pending& p, unsigned pos) {
  WritePending(s, p);
  p.literal = true;
  p.literalPos = pos;
}

// Cost of the copy `m` found cut down to `length`: at m's distance, or the
// nearest one for lengths 3 and 2; 0 if there is no such copy.
inline unsigned ShortCopyCost(const ImplodeState& s, const Match& m, unsigned length, unsigned& distance) {
  distance = m.distance;
  if (length == 2 && m.near2 != 0) distance = m.near2;
  if (length == 3 && m.near3 != 0) distance = m.near3;
  if (length == 2 && distance > kMaxDistanceLength2) return 0;
  return CopyCost(length, distance, s.out.dictBits);
}

// Moves the boundary between the pending copy and `m` (at pos) back, where
// `m` also matches there and the two cost less that way.
void ShiftBoundary(ImplodeState& s, Pending& p, unsigned& pos, Match& m) {
  const unsigned dictBits = s.out.dictBits;
  unsigned reach = 0;
  while (reach < kMaxReach && reach + kMinMatch < p.held.length && m.length + reach < kMaxMatch &&
         pos - reach > m.distance && s.buf[pos - 1 - reach] == s.buf[pos - 1 - reach - m.distance])
    ++reach;
  if (reach == 0) return;
  unsigned best = CopyCost(p.held.length, p.held.distance, dictBits) + CopyCost(m.length, m.distance, dictBits);
  unsigned bestBack = 0, bestDistance = p.held.distance;
  for (unsigned back = 1; back <= reach; ++back) {
    unsigned distance = 0;
    const unsigned first = ShortCopyCost(s, p.held, p.held.length - back, distance);
    if (first == 0) continue;
    const unsigned total = first + CopyCost(m.length + back, m.distance, dictBits);
    if (total < best) {
      best = total;
      bestBack = back;
      bestDistance = distance;
    }
  }
  if (bestBack == 0) return;
  p.held.length -= bestBack;
  p.held.distance = bestDistance;
  pos -= bestBack;
  m.length += bestBack;
  m.near2 = m.near3 = 0;
}

inline void AddCopy(ImplodeState& s, Pending& p, unsigned pos, Match m) {
  // Reach back over the waiting literal when the copy also matches it.
  if (p.literal && pos > m.distance && s.buf[pos - 1] == s.buf[pos - 1 - m.distance] &&
      m.length < kMaxMatch &&
      CopyCost(m.length + 1, m.distance, s.out.dictBits) <
          CopyCost(m.length, m.distance, s.out.dictBits) + LiteralsCost(s, pos - 1, 1)) {
    --pos;
    ++m.length;
    m.near2 = m.near3 = 0;
    p.literal = false;
  }
  if (p.copy && !p.literal && pos > m.distance && s.buf[pos - 1] == s.buf[pos - 1 - m.distance])
    ShiftBoundary(s, p, pos, m);
  WritePending(s, p);
  p.copy = true;
  p.held = m;
}

// ---- input -----------------------------------------------------------------

inline std::uint16_t Rebase(std::uint16_t v) {
  return static_cast<std::uint16_t>(v > kBlock ? v - kBlock : 0);
}

// Drops the oldest block: the buffer, the chain links and the heads move down.
void Slide(ImplodeState& s, Pending& p) {
  p.literalPos -= kBlock;
  std::memmove(s.buf, s.buf + kBlock, s.filled - kBlock);
  // Links past the data are stale but never followed, so all are moved alike.
  for (unsigned i = 0; i < kPrevSize - kBlock; ++i) s.prev[i] = Rebase(s.prev[i + kBlock]);
  for (auto& h : s.head) h = Rebase(h);
  for (auto& h : s.pair) h = Rebase(h);
  s.filled -= kBlock;
}

// ---- the parse ---------------------------------------------------------------

void Run(ImplodeState& s) {
  unsigned pos = 0;
  Match held;  // match found at pos - 1, not yet emitted
  Pending pending;
  for (;;) {
    const unsigned limit = Refill(s.in, s.buf, s.filled, kFillTarget);
    if (s.in.aborted) return;
    while (pos < limit) {
      if (held.length >= kLazyLimit) {
        // Long enough: take it without looking further.
        AddCopy(s, pending, pos - 1, held);
        InsertCopy(s, pos, pos - 1 + held.length, held.distance);
        pos += held.length - 1;
        held = Match{};
        continue;
      }
      const Match here = FindMatch(s, pos, held.length);
      if (held.length != 0) {
        if (here.length > held.length && SavesMore(s, pos, here, held)) {
          AddLiteral(s, pending, pos - 1);
          held = here;
          ++pos;
          continue;
        }
        AddCopy(s, pending, pos - 1, held);
        // pos - 1 and pos are entered; enter the rest of the copy.
        InsertCopy(s, pos + 1, pos - 1 + held.length, held.distance);
        pos += held.length - 1;
        held = Match{};
        continue;
      }
      if (here.length != 0)
        held = here;
      else
        AddLiteral(s, pending, pos);
      ++pos;
    }
    if (s.in.ended && pos >= s.filled) break;
    if (pos >= kHistory + kBlock) {
      Slide(s, pending);
      pos -= kBlock;
    }
  }
  if (held.length != 0) AddCopy(s, pending, pos - 1, held);
  WritePending(s, pending);
  s.out.End();
}

}  // namespace

extern "C" unsigned DCL_CALL dcl_implode(DclReadFn read_buf, DclWriteFn write_buf, char* work_buf,
                                         void* param, unsigned* type, unsigned* dsize) {
  unsigned code = rc::kDclOk;
  ImplodeState* const state = Start<ImplodeState>(read_buf, write_buf, work_buf, param, type, dsize, code);
  if (state == nullptr) return code;
  ImplodeState& s = *state;
  s.maxChain = s.dictSize / kWindowPerStep;
  std::memset(s.head, 0, sizeof s.head);
  std::memset(s.pair, 0, sizeof s.pair);
  Run(s);
  return Result(s.in);
}
