// Optimal implode: the smallest stream the format allows for the input.
//
// Why a shortest path finds it. Every code of the format is fixed (nothing
// adapts to the data), so an item costs the same number of bits wherever it
// stands (ImplodeStream.h lists the costs). A stream for n bytes is then a
// path from position 0 to position n in a graph whose nodes are the positions
// and whose edges are the items: a literal from p to p + 1, a copy of length L
// at distance d from p to p + L, each weighted by its bits. The header and the
// end marker are the same for every path, so the cheapest path is the smallest
// stream. The graph only has forward edges, so one pass in position order
// settles each node before it is left: cost[p] is final once every earlier
// node has offered its edges (dynamic programming over positions).
//
// Which edges are needed. A copy from p is possible for every length up to the
// longest match at each distance; trying them all would cost up to 517 edges
// per position. Three facts shrink that without losing the optimum:
//
//   1. For one length, the nearest distance is the cheapest (distance codes
//      never get shorter as the distance grows). So per length only the
//      nearest distance that reaches it counts; the binary tree below gives
//      exactly those, as (length, distance) pairs: every length up to the
//      pair's length, above the previous pair's, is nearest at its distance.
//
//   2. Between two length-code boundaries a copy's cost does not change with
//      its length (the extra bits are raw). Take a run of lengths lo .. hi
//      from p with one cost, and an optimal path that uses length L < hi from
//      it. Replace that copy with one of length hi, hi - 1 or hi - 2 (at least
//      L), same cost, and let the rest of the path start where that copy ends:
//      items it now covers whole are dropped, and the item it ends inside is
//      cut at its front. Cutting a copy of length >= 3 at its front to a
//      length >= 3 keeps its distance and never raises its cost (longer
//      copies never have shorter length codes, except 2 against 3, which the
//      choice among hi, hi - 1 and hi - 2 avoids: it leaves the cut item at 3
//      bytes or more, or whole, or not at all). So the path never gets dearer.
//      Doing this at each such copy from the left gives an optimal path that
//      only uses the last three lengths of every cost run.
//
//   3. A copy of length 2 costs its own: 2 low bits instead of the dictionary
//      code's 4 .. 6, and a reach of only 256 bytes. It is one edge.
//
// Per position that makes one literal edge and at most three edges per cost
// run of every pair, some 5 to 30 edges, and the path found is a shortest one.
//
// The path is kept as the best incoming edge of every position. Output cannot
// wait for the end of the input (memory stays bounded), so the path is written
// as soon as its beginning is certain: every path through the graph passes
// some node within the last 518 positions, so when the best incoming chains
// of all those nodes meet in one node, every future best path runs through it
// and the chain up to it is final. Real data makes the chains meet within a
// few hundred positions. Should they not meet before the path store is full
// (a run of one byte longer than the store), the path is cut at the current
// node: a few bits lost at one place, the stream still correct.
//
// Matches come from a binary tree of the window's positions per two-byte
// prefix, ordered by the bytes that follow and rooted at the newest position
// (each node's children are older than the node). The search for the current
// position walks down from the root and re-roots the tree at it. A node that
// is newer than everything below it and whose bytes bound the searched string
// is met before any older one, so the first node seen with a common length of
// at least L is the nearest position with that length: fact 1 above.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "dcl/Dcl.h"
#include "dcl/ImplodeStream.h"

namespace {

using namespace dcl::implode;

// ---- sizes --------------------------------------------------------------------

// Tree slots, by position modulo kCycle: more than the largest window, so that
// a node a full window back still has its own slot.
constexpr unsigned kCycle = 2 * kMaxWindow;
// The buffer slides down by whole multiples of kCycle (slots stay put).
constexpr unsigned kSlide = 4 * kCycle;
constexpr unsigned kHistory = kMaxWindow;
constexpr unsigned kFillTarget = kSlide + kHistory + kMaxMatch;
constexpr unsigned kBufferSize = kFillTarget + kCompareSlack;
static_assert(kFillTarget < 0xFFFF, "positions + 1 must fit 16 bits");
constexpr unsigned kHashBits = 14;  // prefixes are hashed into 16,384 entries

// Nodes whose best incoming edge is kept before the path's beginning must be
// written out; a cut is forced if the chains have not met by then.
constexpr unsigned kPathSize = 1u << 18;

// A run of one byte, recorded when it ends: enough slots for every run that
// ends within a window and a copy's length (a run and the byte after it take
// at least five bytes).
struct ByteRun {
  std::uint32_t end;     // input position after its last byte
  std::uint16_t length;  // capped at the longest copy
  std::uint16_t older;   // index + 1 of the previous run of the same byte, 0: none
  std::uint8_t byte;
};
constexpr unsigned kRunSlots = 1024;
static_assert(kRunSlots * 5 >= kMaxWindow + kMaxMatch, "runs must stay recorded while reachable");

// A node of the path: the bits of the best path to it, counted from nodes[0]
// (all fit 32 bits: the path store holds at most kPathSize positions), and
// the last edge of that path.
struct Node {
  std::uint32_t bits;
  std::uint32_t edge;
};

// An edge: the best edge into a node. Bits 16..25 the length (1 for a
// literal), bits 0..12 the distance or the literal byte, and a flag for the
// walk that looks for the meeting node.
constexpr std::uint32_t kLengthShift = 16;
constexpr std::uint32_t kValueMask = 0x1FFF;
constexpr std::uint32_t kLengthMask = 0x3FF;
constexpr std::uint32_t kOnChain = 1u << 31;  // a chain being followed reaches this node
constexpr std::uint32_t kUnreached = ~std::uint32_t{0};

inline std::uint32_t Edge(unsigned length, unsigned value) { return (length << kLengthShift) | value; }
inline unsigned EdgeLength(std::uint32_t e) { return (e >> kLengthShift) & kLengthMask; }
inline unsigned EdgeValue(std::uint32_t e) { return e & kValueMask; }

// The copy lengths worth offering when every length from 3 up to `longest` is
// possible at one distance: the last three of each run of lengths whose length
// field costs the same, longest first, each with that cost in bits 16 and up,
// ending in 0. A range lo .. longest takes the entries down to lo (see "Which
// edges are needed").
constexpr unsigned kMaxOffers = 31;  // 3 per run of at least 3 lengths, fewer for short runs
constexpr std::uint32_t kOfferLengthMask = 0xFFFF;
constexpr unsigned kOfferCostShift = 16;
struct OfferLists {
  std::uint32_t entry[kMaxMatch + 1][kMaxOffers + 1];
};
constexpr OfferLists BuildOfferLists() {
  OfferLists t{};
  for (unsigned longest = 3; longest <= kMaxMatch; ++longest) {
    unsigned n = 0;
    unsigned top = longest;  // the longest length of the current run
    for (unsigned len = longest; len >= 3; --len) {
      if (len < longest && kEnc.length[len].bits != kEnc.length[len + 1].bits) top = len;
      if (len + 2 >= top) t.entry[longest][n++] = len | (kEnc.length[len].bits << kOfferCostShift);
    }
  }
  return t;
}
constexpr OfferLists kOffers = BuildOfferLists();

struct OptimalState {
  Reader in;
  BitWriter out;
  unsigned filled;    // bytes in buf
  unsigned dictSize;
  unsigned dictBits;
  std::uint32_t node;      // input position of the current node, modulo 2^32
  unsigned pathPos;        // the current node's index in nodes; nodes[0] is the last written one
  std::uint8_t literalCost[kLiteralCodes];
  // Positions are stored + 1, so that 0 means "none" and a slide is a
  // saturating subtraction.
  std::uint16_t newest2[1u << kHashBits];  // newest position of each two-byte hash ...
  std::uint16_t older2[kCycle];            // ... and the next older one with that hash, by slot
  std::uint16_t newest3[1u << kHashBits];  // the same for three bytes
  std::uint16_t older3[kCycle];
  std::uint16_t root[1u << kHashBits];   // tree of each four-byte hash
  std::uint16_t child[2 * kCycle];       // [2 * slot]: smaller bytes, [2 * slot + 1]: larger
  // Runs of one byte (see FindMatches), in input positions modulo 2^32.
  std::uint32_t runStart;  // the run being scanned: where it starts,
  std::uint32_t runEnd;    // the first position not yet seen to continue it,
  std::uint8_t runByte;    // and its byte
  std::uint16_t newestRun[kLiteralCodes];  // index + 1 in runs of the newest run of each byte
  unsigned runCount;                       // runs ever recorded
  ByteRun runs[kRunSlots];                     // the latest runs of four bytes or more, ended
  Node nodes[kPathSize + kMaxMatch + 1];
  std::uint8_t buf[kBufferSize];
};

static_assert(sizeof(OptimalState) + alignof(OptimalState) - 1 <= dcl::kImplodeOptimalWorkSize,
              "optimal implode state must fit the caller's work area");

// ---- match finder ---------------------------------------------------------------

inline unsigned Hash(std::uint32_t key) { return (key * 2654435761u) >> (32 - kHashBits); }

// Tree key of the positions inside runs: a flag, the byte and the run's length.
constexpr std::uint32_t kRunKey = 1u << 31;

// The distance of the nearest earlier position whose first n bytes equal
// pos's (0: none in the window), through the hash chain newest / older; then
// enters pos.
unsigned Nearest(OptimalState& s, std::uint16_t* newest, std::uint16_t* older, unsigned pos, unsigned n) {
  const std::uint32_t key = Key(s.buf + pos, n);
  std::uint16_t& head = newest[Hash(key)];
  unsigned found = 0;
  for (unsigned link = head; link != 0; link = older[(link - 1) & (kCycle - 1)]) {
    const unsigned distance = pos - (link - 1);
    if (distance > s.dictSize) break;
    if (Key(s.buf + link - 1, n) == key) {
      found = distance;
      break;
    }
  }
  older[pos & (kCycle - 1)] = head;
  head = static_cast<std::uint16_t>(pos + 1);
  return found;
}

// Length of the run of here[0] at pos (its first four bytes are equal), up to
// limit. The scan goes on where the previous position's stopped.
unsigned RunLength(OptimalState& s, unsigned pos, unsigned limit) {
  const std::uint8_t byte = s.buf[pos];
  const bool same = byte == s.runByte && static_cast<std::int32_t>(s.runEnd - s.node) > 0;
  unsigned to = same ? pos + (s.runEnd - s.node) : pos + 4;
  if (!same) {
    s.runByte = byte;
    s.runStart = s.node;
  }
  while (to < pos + limit && s.buf[to] == byte) ++to;
  s.runEnd = s.node + (to - pos);
  return to - pos;
}

// The current run has four bytes left and then ends: remember it.
void RecordRun(OptimalState& s) {
  const unsigned slot = s.runCount++ % kRunSlots;
  ByteRun& r = s.runs[slot];
  r.end = s.runEnd;
  r.length = static_cast<std::uint16_t>(std::min<std::uint32_t>(s.runEnd - s.runStart, kMaxMatch));
  r.byte = s.runByte;
  r.older = s.newestRun[r.byte];
  s.newestRun[r.byte] = static_cast<std::uint16_t>(slot + 1);
}

// Pairs of lengths 4 .. run at the first position of a run: a copy of length
// L needs an earlier position with L equal bytes left, and the nearest one is
// L before the end of the newest earlier run at least that long.
template <typename PairSink>
void RunStartPairs(OptimalState& s, unsigned run, PairSink& pairs) {
  unsigned covered = 3;  // lengths 2 and 3 come from the tables
  std::uint32_t after = s.node;  // runs must get older along the chain
  for (unsigned link = s.newestRun[s.runByte]; link != 0 && covered < run;) {
    const ByteRun& r = s.runs[link - 1];
    if (r.byte != s.runByte || static_cast<std::int32_t>(after - r.end) <= 0) break;  // slot reused
    const unsigned back = s.node - r.end;
    if (back + covered + 1 > s.dictSize) break;
    for (unsigned len = covered + 1; len <= std::min<unsigned>(r.length, run); ++len) {
      if (back + len > s.dictSize) return;
      pairs(len, back + len);
      covered = len;
    }
    after = r.end;
    link = r.older;
  }
}

// Enters pos into the finder and hands `pairs` the nearest distance of every
// length, as pairs in growing length: a pair (length, distance) covers the
// lengths above the previous pair's up to its own. Length 2 comes from the
// newest position with the same two bytes, length 3 from the newest with the
// same three (found through the hash chain), longer ones from the tree of the
// four-byte hash.
//
// Runs of one byte get their own rule, or the tree would degenerate: inside a
// run each next position's bytes sort after the previous one's, and the tree
// turns into a long list. At a position with r >= 4 equal bytes b ahead (then
// a different byte), an earlier position with s equal bytes shares min(r, s)
// bytes if s != r, and r plus what follows the runs if s == r. So lengths up
// to r are nearest one byte back (or, at the run's first byte, near the end of
// an earlier run), and longer ones only come from positions with exactly r
// bytes b ahead: such positions get a tree keyed by (b, r) instead of their
// four bytes. A position whose run reaches the limit needs no tree at all: no
// copy can be longer, and no later position shares more with it than with
// the next one.
template <typename PairSink>
void FindMatches(OptimalState& s, unsigned pos, PairSink& pairs) {
  const unsigned limit = std::min(kMaxMatch, s.filled - pos);
  if (limit < kMinMatch) return;
  const std::uint8_t* const here = s.buf + pos;
  const unsigned slot = pos & (kCycle - 1);

  const unsigned near2 = Nearest(s, s.newest2, s.older2, pos, 2);
  if (near2 != 0) pairs(2, near2);
  if (limit < 3) return;
  const unsigned near3 = Nearest(s, s.newest3, s.older3, pos, 3);
  if (near3 != 0) pairs(3, near3);
  if (limit < 4) return;

  std::uint32_t key = Load32(here);
  unsigned best = 3;  // the tree reports longer lengths only
  if (key == here[0] * 0x01010101u) {
    const unsigned run = RunLength(s, pos, limit);
    if (pos > 0 && s.buf[pos - 1] == here[0])
      pairs(run, 1);
    else
      RunStartPairs(s, run, pairs);
    if (run == 4 && run < limit) RecordRun(s);
    if (run == limit) return;
    key = kRunKey | (static_cast<std::uint32_t>(here[0]) << 16) | run;
    best = run;
  }

  std::uint16_t& head = s.root[Hash(key)];
  unsigned link = head;
  head = static_cast<std::uint16_t>(pos + 1);
  // Where the next node smaller / larger than `here` gets hung.
  std::uint16_t* smaller = &s.child[2 * slot];
  std::uint16_t* larger = smaller + 1;
  // Common lengths with the nearest smaller and larger nodes met so far: every
  // node between them shares at least the lesser of the two. (Nodes of other
  // prefixes with the same hash share nothing known.)
  unsigned smallerLen = 0, largerLen = 0;
  while (link != 0) {
    const unsigned cand = link - 1;
    const unsigned distance = pos - cand;
    if (distance > s.dictSize) break;
    std::uint16_t* const kids = &s.child[2 * (cand & (kCycle - 1))];
    const unsigned known = std::min(smallerLen, largerLen);
    const unsigned len = known + CommonLength(s.buf + cand + known, here + known, limit - known);
    if (len > best) {
      best = len;
      pairs(len, distance);
    }
    if (len == limit) {
      // Same bytes as far as any later search can look: the newer node
      // replaces this one, taking its subtrees.
      *smaller = kids[0];
      *larger = kids[1];
      return;
    }
    if (s.buf[cand + len] < here[len]) {
      *smaller = static_cast<std::uint16_t>(link);
      smaller = &kids[1];
      link = *smaller;
      smallerLen = len;
    } else {
      *larger = static_cast<std::uint16_t>(link);
      larger = &kids[0];
      link = *larger;
      largerLen = len;
    }
  }
  *smaller = 0;
  *larger = 0;
}

// ---- the shortest path ------------------------------------------------------------

// Offers every edge that leaves the current node (see "Which edges are needed").
class EdgeOffers {
 public:
  EdgeOffers(OptimalState& s, std::uint32_t bits)
      : ahead_(s.nodes + s.pathPos), bits_(bits), dictBits_(s.dictBits) {}

  void Literal(std::uint8_t byte, unsigned bits) { Offer(1, bits_ + bits, Edge(1, byte)); }

  // The lengths above the previous pair's, up to `longest`, are nearest at `distance`.
  void operator()(unsigned longest, unsigned distance) {
    if (shortest_ == kMinMatch) {
      if (distance <= kMaxDistanceLength2)
        Offer(kMinMatch, bits_ + CopyCost(kMinMatch, distance, dictBits_), Edge(kMinMatch, distance));
      ++shortest_;
      if (longest < shortest_) return;
    }
    const std::uint32_t far = bits_ + DistanceCost(longest, distance, dictBits_);
    for (const std::uint32_t* e = kOffers.entry[longest]; (*e & kOfferLengthMask) >= shortest_; ++e) {
      const unsigned length = *e & kOfferLengthMask;
      Offer(length, far + (*e >> kOfferCostShift), Edge(length, distance));
    }
    shortest_ = longest + 1;
  }

 private:
  void Offer(unsigned length, std::uint32_t total, std::uint32_t edge) {
    Node& to = ahead_[length];
    if (total < to.bits) {
      to.bits = total;
      to.edge = edge;
    }
  }

  // Copies of the state, so that stores into the nodes need not reload them.
  Node* const ahead_;  // ahead_[l]: the node l positions ahead
  const std::uint32_t bits_;  // cost of the current node
  const unsigned dictBits_;
  unsigned shortest_ = kMinMatch;  // shortest length the next pair covers
};

// Writes the path from node 0 to node `to` and makes `to` the new node 0.
void WritePath(OptimalState& s, unsigned to) {
  Node* const n = s.nodes;
  // Turn the chain around: each node on it gets the edge that leaves it.
  std::uint32_t edge = n[to].edge;
  for (unsigned p = to; p > 0;) {
    const unsigned from = p - EdgeLength(edge);
    const std::uint32_t next = n[from].edge;
    n[from].edge = edge;
    edge = next;
    p = from;
  }
  for (unsigned p = 0; p < to;) {
    const std::uint32_t e = n[p].edge;
    const unsigned length = EdgeLength(e);
    if (length == 1)
      s.out.Literal(static_cast<std::uint8_t>(EdgeValue(e)));
    else
      s.out.Copy(length, EdgeValue(e));
    p += length;
  }
  // Bits are counted from the new node 0 on. Only the current node and those
  // offered to so far are read again, and their best paths all pass `to`.
  const std::uint32_t base = n[to].bits;
  for (unsigned p = s.pathPos; p < s.pathPos + kMaxMatch; ++p)
    if (n[p].bits != kUnreached) n[p].bits -= base;
  std::memmove(n, n + to, (s.pathPos + kMaxMatch + 1 - to) * sizeof n[0]);
  n[0].edge = 0;
  s.pathPos -= to;
}

// The newest node that the best chains of all nodes in the last kMaxMatch
// positions (up to the current one) pass through; 0 if they meet only there.
unsigned MeetingNode(OptimalState& s) {
  Node* const n = s.nodes;
  const unsigned top = s.pathPos;
  const unsigned low = top >= kMaxMatch ? top - (kMaxMatch - 1) : 0;
  for (unsigned p = low; p <= top; ++p) n[p].edge |= kOnChain;
  unsigned live = top - low + 1;
  for (unsigned p = top;; --p) {
    if ((n[p].edge & kOnChain) == 0) continue;
    n[p].edge &= ~kOnChain;
    if (live == 1 || p == 0) return p;
    const unsigned from = p - EdgeLength(n[p].edge);
    if (n[from].edge & kOnChain)
      --live;
    else
      n[from].edge |= kOnChain;
  }
}

// The path store is full: write the certain part, or cut at the current node.
void MakeRoom(OptimalState& s) {
  const unsigned meet = MeetingNode(s);
  if (meet >= s.pathPos / 2) {
    WritePath(s, meet);
    return;
  }
  // Chains that do not meet: force the path through the current node by
  // forgetting every offer made to the nodes after it.
  for (unsigned l = 1; l < kMaxMatch; ++l) s.nodes[s.pathPos + l].bits = kUnreached;
  WritePath(s, s.pathPos);
}

inline std::uint16_t Rebase(std::uint16_t v) {
  return static_cast<std::uint16_t>(v > kSlide ? v - kSlide : 0);
}

// Drops the oldest kSlide bytes; tree links move with them.
void Slide(OptimalState& s) {
  std::memmove(s.buf, s.buf + kSlide, s.filled - kSlide);
  for (auto& v : s.newest2) v = Rebase(v);
  for (auto& v : s.older2) v = Rebase(v);
  for (auto& v : s.newest3) v = Rebase(v);
  for (auto& v : s.older3) v = Rebase(v);
  for (auto& v : s.root) v = Rebase(v);
  for (auto& v : s.child) v = Rebase(v);
  s.filled -= kSlide;
}

void Run(OptimalState& s) {
  unsigned pos = 0;
  for (;;) {
    const unsigned limit = Refill(s.in, s.buf, s.filled, kFillTarget);
    if (s.in.aborted) return;
    while (pos < limit) {
      // The node a longest copy from here reaches has had no offer yet.
      s.nodes[s.pathPos + kMaxMatch].bits = kUnreached;
      const std::uint32_t bits = s.nodes[s.pathPos].bits;
      EdgeOffers offers(s, bits);
      offers.Literal(s.buf[pos], s.literalCost[s.buf[pos]]);
      FindMatches(s, pos, offers);
      ++pos;
      ++s.node;
      if (++s.pathPos == kPathSize) MakeRoom(s);
    }
    if (s.in.ended && pos >= s.filled) break;
    if (pos >= kSlide + kHistory) {
      Slide(s);
      pos -= kSlide;
    }
  }
  WritePath(s, s.pathPos);
  s.out.End();
}

}  // namespace

extern "C" unsigned DCL_CALL dcl_implode_optimal(DclReadFn read_buf, DclWriteFn write_buf,
                                                 char* work_buf, void* param, unsigned* type,
                                                 unsigned* dsize) {
  unsigned code = rc::kDclOk;
  OptimalState* const state = Start<OptimalState>(read_buf, write_buf, work_buf, param, type, dsize, code);
  if (state == nullptr) return code;
  OptimalState& s = *state;
  s.dictBits = s.out.dictBits;
  for (unsigned b = 0; b < kLiteralCodes; ++b)
    s.literalCost[b] = static_cast<std::uint8_t>(s.out.ascii ? kEnc.literal[b].bits : kBinaryLiteralBits);
  std::memset(s.newest2, 0, sizeof s.newest2);
  std::memset(s.newest3, 0, sizeof s.newest3);
  std::memset(s.root, 0, sizeof s.root);
  std::memset(s.newestRun, 0, sizeof s.newestRun);
  s.runCount = 0;
  s.runByte = 0;
  s.runStart = 0;
  s.runEnd = 0;
  s.node = 0;
  s.pathPos = 0;
  s.nodes[0] = Node{0, 0};
  for (unsigned l = 1; l < kMaxMatch; ++l) s.nodes[l].bits = kUnreached;
  Run(s);
  return Result(s.in);
}
