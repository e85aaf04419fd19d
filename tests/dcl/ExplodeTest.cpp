// Explode against hand-made streams: the known stream, the end marker, and
// every kind of malformed input.
#include <gtest/gtest.h>

#include "DclTestSupport.h"
#include "dcl/DclFormat.h"

using dcltest::Bytes;

namespace {

const Bytes kKnownStream = {0x00, 0x04, 0x82, 0x24, 0x25, 0x8f, 0x80, 0x7f};

// A small bit writer for building streams by hand, low bit first.
struct BitWriter {
  Bytes bytes;
  unsigned used = 0;
  void Put(unsigned value, unsigned bits) {
    for (unsigned i = 0; i < bits; ++i) {
      if (used % 8 == 0) bytes.push_back(0);
      bytes.back() |= static_cast<std::uint8_t>(((value >> i) & 1u) << (used % 8));
      ++used;
    }
  }
  // Length 519 in the fixed code: flag 1, the all-zero 7-bit code, extra 0xFF.
  void PutEnd() {
    Put(1, 1);
    Put(0, 7);
    Put(0xFF, 8);
  }
};

Bytes Header(std::uint8_t mode, std::uint8_t dictCode) {
  BitWriter w;
  w.Put(mode, 8);
  w.Put(dictCode, 8);
  return w.bytes;
}

TEST(Explode, DecodesKnownStream) {
  const auto r = dcl::ExplodeBuffer(kKnownStream);
  EXPECT_EQ(r.code, static_cast<unsigned>(rc::kDclOk));
  EXPECT_EQ(std::string(r.data.begin(), r.data.end()), "AIAIAIAIAIAIA");
}

TEST(Explode, EmptyStreamGivesNoBytes) {
  for (std::uint8_t mode : {0, 1}) {
    for (std::uint8_t dict : {4, 5, 6}) {
      BitWriter w;
      w.Put(mode, 8);
      w.Put(dict, 8);
      w.PutEnd();
      const auto r = dcl::ExplodeBuffer(w.bytes);
      EXPECT_EQ(r.code, static_cast<unsigned>(rc::kDclOk));
      EXPECT_TRUE(r.data.empty());
    }
  }
}

TEST(Explode, IgnoresBytesAfterEndMarker) {
  Bytes stream = kKnownStream;
  stream.insert(stream.end(), {0xde, 0xad, 0xbe, 0xef});
  const auto r = dcl::ExplodeBuffer(stream);
  EXPECT_EQ(r.code, static_cast<unsigned>(rc::kDclOk));
  EXPECT_EQ(std::string(r.data.begin(), r.data.end()), "AIAIAIAIAIAIA");
}

TEST(Explode, RejectsBadHeader) {
  for (const Bytes& header : {Header(2, 6), Header(0xff, 6), Header(0, 3), Header(0, 7),
                              Header(1, 0), Header(0, 0xff)}) {
    Bytes stream = header;
    stream.insert(stream.end(), kKnownStream.begin() + 2, kKnownStream.end());
    EXPECT_EQ(dcl::ExplodeBuffer(stream).code, static_cast<unsigned>(rc::kDclBadData))
        << int(header[0]) << " " << int(header[1]);
  }
}

TEST(Explode, RejectsEveryTruncation) {
  // Every proper prefix of valid streams lacks the end marker.
  std::vector<Bytes> streams = {kKnownStream};
  for (unsigned mode : {dcl::kBinary, dcl::kAscii}) {
    const auto packed = dcl::ImplodeBuffer(dcltest::TextBytes(300, 7), mode, dcl::kDict1024);
    ASSERT_EQ(packed.code, static_cast<unsigned>(rc::kDclOk));
    streams.push_back(packed.data);
  }
  for (const Bytes& full : streams) {
    for (std::size_t n = 0; n < full.size(); ++n) {
      const Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
      EXPECT_EQ(dcl::ExplodeBuffer(cut).code, static_cast<unsigned>(rc::kDclBadData))
          << "prefix of " << n << " of " << full.size() << " bytes";
    }
  }
}

TEST(Explode, RejectsCopyBeforeFirstByte) {
  // One literal, then a copy of length 3 from distance 2.
  BitWriter w;
  w.Put(0, 8);
  w.Put(4, 8);
  w.Put(0, 1);
  w.Put('x', 8);
  w.Put(1, 1);
  w.Put(0x3, 2);  // length 3: canonical 00, inverted 11
  w.Put(0x3, 2);  // distance code 0: canonical 00, inverted 11
  w.Put(1, 4);    // low bits: distance 2
  w.PutEnd();
  EXPECT_EQ(dcl::ExplodeBuffer(w.bytes).code, static_cast<unsigned>(rc::kDclBadData));

  // The same copy from distance 1 is fine and repeats the literal.
  BitWriter ok;
  ok.Put(0, 8);
  ok.Put(4, 8);
  ok.Put(0, 1);
  ok.Put('x', 8);
  ok.Put(1, 1);
  ok.Put(0x3, 2);
  ok.Put(0x3, 2);
  ok.Put(0, 4);
  ok.PutEnd();
  const auto r = dcl::ExplodeBuffer(ok.bytes);
  EXPECT_EQ(r.code, static_cast<unsigned>(rc::kDclOk));
  EXPECT_EQ(std::string(r.data.begin(), r.data.end()), "xxxx");
}

TEST(Explode, RejectsCopyIntoEmptyOutput) {
  BitWriter w;
  w.Put(0, 8);
  w.Put(6, 8);
  w.Put(1, 1);
  w.Put(0x3, 2);
  w.Put(0x3, 2);
  w.Put(0, 6);
  w.PutEnd();
  EXPECT_EQ(dcl::ExplodeBuffer(w.bytes).code, static_cast<unsigned>(rc::kDclBadData));
}

TEST(Explode, RandomGarbageNeverCrashes) {
  // Whatever the bytes, explode ends with a code and bounded output.
  for (std::uint32_t seed = 0; seed < 2000; ++seed) {
    Bytes stream = dcltest::RandomBytes(2 + seed % 200, seed);
    stream[0] = static_cast<std::uint8_t>(seed & 1);
    stream[1] = static_cast<std::uint8_t>(4 + seed % 3);
    const auto r = dcl::ExplodeBuffer(stream);
    EXPECT_TRUE(r.code == static_cast<unsigned>(rc::kDclOk) ||
                r.code == static_cast<unsigned>(rc::kDclBadData));
    EXPECT_LE(r.data.size(), stream.size() * 8 / 9 * 518 + 518);
  }
}

TEST(Explode, InputOneByteAtATimeGivesSameResult) {
  const Bytes input = dcltest::TextBytes(200000, 3);
  const auto packed = dcl::ImplodeBuffer(input, dcl::kBinary, dcl::kDict4096);
  ASSERT_EQ(packed.code, static_cast<unsigned>(rc::kDclOk));
  Bytes out;
  EXPECT_EQ(dcltest::ExplodePieces(packed.data, 1, out), static_cast<unsigned>(rc::kDclOk));
  EXPECT_EQ(out, input);
  EXPECT_EQ(dcltest::ExplodePieces(packed.data, 7, out), static_cast<unsigned>(rc::kDclOk));
  EXPECT_EQ(out, input);
}

// Writes items with the format's code sets and keeps, beside the stream, the
// bytes they stand for, worked out one byte at a time: an encoder that shares
// nothing with the decoder but the code definitions.
class ItemWriter {
 public:
  ItemWriter(unsigned mode, unsigned dictBits) : ascii_(mode == dcl::kAscii), dictBits_(dictBits) {
    w_.Put(mode, 8);
    w_.Put(dictBits, 8);
  }
  void Literal(std::uint8_t byte) {
    w_.Put(0, 1);
    if (ascii_) {
      const auto c = dcl::format::kLiteralCodeSet.sym[byte];
      w_.Put(c.code, c.bits);
    } else {
      w_.Put(byte, 8);
    }
    expected_.push_back(byte);
  }
  void Copy(unsigned length, unsigned distance) {
    using namespace dcl::format;
    unsigned s = kLengthCodes - 1;
    while (kLengthBase[s] > length) --s;  // bases rise from symbol 1 on; symbol 0 is length 3
    if (length == 3) s = 0;
    w_.Put(1, 1);
    w_.Put(kLengthCodeSet.sym[s].code, kLengthCodeSet.sym[s].bits);
    w_.Put(length - kLengthBase[s], kLengthExtra[s]);
    const unsigned lowBits = length == 2 ? 2 : dictBits_;
    const unsigned d = distance - 1;
    w_.Put(kDistanceCodeSet.sym[d >> lowBits].code, kDistanceCodeSet.sym[d >> lowBits].bits);
    w_.Put(d & ((1u << lowBits) - 1), lowBits);
    for (unsigned i = 0; i < length; ++i) expected_.push_back(expected_[expected_.size() - distance]);
  }
  Bytes Finish() {
    w_.PutEnd();
    return w_.bytes;
  }
  const Bytes& Expected() const { return expected_; }

 private:
  BitWriter w_;
  bool ascii_;
  unsigned dictBits_;
  Bytes expected_;
};

// Every length up to 80 and a spread of longer ones, each at short periods
// (overlapping copies), around the power-of-two edges and at the farthest
// distance: the usual copies and the rare ones take different decoding paths.
TEST(Explode, DecodesEveryCopyShape) {
  std::vector<unsigned> lengths;
  for (unsigned n = 2; n <= 80; ++n) lengths.push_back(n);
  for (unsigned n : {100u, 135u, 136u, 200u, 263u, 264u, 400u, 517u, 518u}) lengths.push_back(n);
  std::vector<unsigned> distances;
  for (unsigned d = 1; d <= 20; ++d) distances.push_back(d);
  for (unsigned d : {31u, 32u, 33u, 63u, 64u, 65u, 255u, 256u, 257u, 1023u, 1024u, 1025u, 2048u,
                     2049u, 4095u, 4096u})
    distances.push_back(d);

  for (unsigned mode : {dcl::kBinary, dcl::kAscii}) {
    for (unsigned dictBits : {4u, 5u, 6u}) {
      SCOPED_TRACE("mode " + std::to_string(mode) + ", dictionary bits " + std::to_string(dictBits));
      ItemWriter items(mode, dictBits);
      for (std::uint8_t b : dcltest::RandomBytes(4096, dictBits)) items.Literal(b);
      const unsigned farthest = 64u << dictBits;
      for (unsigned length : lengths) {
        for (unsigned distance : distances) {
          if (distance > (length == 2 ? 256u : farthest)) continue;
          items.Copy(length, distance);
          items.Literal(static_cast<std::uint8_t>(length ^ distance));
        }
      }
      const Bytes stream = items.Finish();
      const auto whole = dcl::ExplodeBuffer(stream);
      ASSERT_EQ(whole.code, static_cast<unsigned>(rc::kDclOk));
      EXPECT_TRUE(whole.data == items.Expected());
      // Fed a byte at a time the reader takes its slow path throughout.
      Bytes pieces;
      ASSERT_EQ(dcltest::ExplodePieces(stream, 1, pieces), static_cast<unsigned>(rc::kDclOk));
      EXPECT_TRUE(pieces == items.Expected());
    }
  }
}

// A read callback that claims more bytes than it was asked for.
unsigned DCL_CALL OverlongRead(char*, unsigned* size, void*) { return *size + 1; }
void DCL_CALL IgnoreWrite(char*, unsigned*, void*) {}

TEST(Explode, OverlongReadAborts) {
  std::vector<char> work(dcl::kExplodeWorkSize);
  EXPECT_EQ(dcl_explode(OverlongRead, IgnoreWrite, work.data(), nullptr),
            static_cast<unsigned>(rc::kDclAborted));
}

TEST(Explode, WorksInUnalignedWorkArea) {
  std::vector<char> work(dcl::kExplodeWorkSize + 1);
  dcltest::PieceHarness h;
  h.input = &kKnownStream;
  EXPECT_EQ(dcl_explode(dcltest::PieceHarness::Read, dcltest::PieceHarness::Write,
                        work.data() + 1, &h),
            static_cast<unsigned>(rc::kDclOk));
  EXPECT_EQ(std::string(h.output.begin(), h.output.end()), "AIAIAIAIAIAIA");
}

}  // namespace
