// Implode round trips through explode for both parses, every literal mode and
// dictionary size, the edges of the format (longest copies, farthest
// distances), and the streaming contract of both directions. The optimal parse
// reaches the minimum of an input whose smallest stream is known.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <tuple>

#include "dcl/DclFormat.h"

#include "DclTestSupport.h"

using dcltest::Bytes;

namespace {

using dcl::Parse;

unsigned DictBits(unsigned dict) { return dict == 1024 ? 4 : dict == 2048 ? 5 : 6; }

class ImplodeRoundTrip : public ::testing::TestWithParam<std::tuple<Parse, unsigned, unsigned>> {
 protected:
  Parse Parser() const { return std::get<0>(GetParam()); }
  unsigned Mode() const { return std::get<1>(GetParam()); }
  unsigned Dict() const { return std::get<2>(GetParam()); }

  // Compresses, checks the header, decompresses, and returns the stream.
  Bytes RoundTrip(const Bytes& input) {
    const auto packed = dcl::ImplodeBuffer(input, Mode(), Dict(), Parser());
    EXPECT_EQ(packed.code, static_cast<unsigned>(rc::kDclOk));
    EXPECT_GE(packed.data.size(), 4u);
    if (packed.data.size() >= 2) {
      EXPECT_EQ(packed.data[0], Mode());
      EXPECT_EQ(packed.data[1], DictBits(Dict()));
    }
    const auto unpacked = dcl::ExplodeBuffer(packed.data);
    EXPECT_EQ(unpacked.code, static_cast<unsigned>(rc::kDclOk));
    EXPECT_TRUE(unpacked.data == input) << "round trip differs, input " << input.size()
                                        << " bytes, output " << unpacked.data.size();
    return packed.data;
  }
};

TEST_P(ImplodeRoundTrip, EmptyInput) {
  const Bytes stream = RoundTrip({});
  EXPECT_EQ(stream.size(), 4u);  // header, end marker (16 bits)
}

TEST_P(ImplodeRoundTrip, OneByte) {
  RoundTrip({0x41});
  RoundTrip({0x00});
  RoundTrip({0xff});
}

TEST_P(ImplodeRoundTrip, LongRunsUseLongestCopies) {
  const Bytes run(100000, 0x5a);
  const Bytes stream = RoundTrip(run);
  // About 100000 / 518 copies of at most 1 + 7 + 8 + 8 + 6 bits each: only
  // copies of the maximal length get this small.
  EXPECT_LE(stream.size(), 2 + (100000 / 518 + 2) * 30 / 8 + 4);
  EXPECT_GE(stream.size(), 2 + (100000 / 518) * 16 / 8);
  // Runs just around the maximal length.
  for (std::size_t n : {517u, 518u, 519u, 520u, 1036u, 1037u})
    RoundTrip(Bytes(n, 0x11));
}

TEST_P(ImplodeRoundTrip, RepeatAtExactlyDictionarySize) {
  const Bytes block = dcltest::RandomBytes(Dict(), 11);
  Bytes twice = block;
  twice.insert(twice.end(), block.begin(), block.end());
  const Bytes once = dcl::ImplodeBuffer(block, Mode(), Dict(), Parser()).data;
  const Bytes stream = RoundTrip(twice);
  // The second copy is reached at the full dictionary distance.
  EXPECT_LT(stream.size(), once.size() + 64);

  // One byte further is out of reach: the repeat cannot be copied.
  const Bytes wide = dcltest::RandomBytes(Dict() + 1, 12);
  Bytes wideTwice = wide;
  wideTwice.insert(wideTwice.end(), wide.begin(), wide.end());
  const Bytes wideStream = RoundTrip(wideTwice);
  EXPECT_GT(wideStream.size(), once.size() * 3 / 2);
}

TEST_P(ImplodeRoundTrip, FarBackReferencesAcrossBlocks) {
  // Phrases recurring at many distances, long enough to cross the encoder's
  // buffer slides several times.
  Bytes input;
  const Bytes phrase = dcltest::RandomBytes(300, 21);
  const Bytes filler = dcltest::RandomBytes(40000, 22);
  for (std::size_t i = 0; i < filler.size(); i += Dict() - 301) {
    input.insert(input.end(), filler.begin() + static_cast<std::ptrdiff_t>(i),
                 filler.begin() + static_cast<std::ptrdiff_t>(std::min(filler.size(), i + Dict() - 301)));
    input.insert(input.end(), phrase.begin(), phrase.end());
  }
  RoundTrip(input);
}

TEST_P(ImplodeRoundTrip, AllByteValues) {
  Bytes input;
  for (int round = 0; round < 3; ++round)
    for (int b = 0; b < 256; ++b) input.push_back(static_cast<std::uint8_t>(b));
  RoundTrip(input);
  RoundTrip(dcltest::RandomBytes(5000, 31));
}

TEST_P(ImplodeRoundTrip, ShortRepeatsAndPairs) {
  // Pairs repeating at short distances make copies of length 2 worthwhile.
  RoundTrip(dcltest::FromString("abab"));
  RoundTrip(dcltest::FromString("abcabcabcxyxyxyqqqq"));
  Bytes pairs;
  std::mt19937 rng(5);
  for (int i = 0; i < 20000; ++i) pairs.push_back(static_cast<std::uint8_t>("abcd"[rng() % 4]));
  RoundTrip(pairs);
}

TEST_P(ImplodeRoundTrip, MegabytesOfMixedData) {
  Bytes input = dcltest::TextBytes(1 << 20, 41);
  const Bytes noise = dcltest::RandomBytes(300000, 42);
  input.insert(input.end(), noise.begin(), noise.end());
  input.insert(input.end(), 200000, 0);
  const Bytes text = dcltest::TextBytes(500000, 43);
  input.insert(input.end(), text.begin(), text.end());
  const Bytes stream = RoundTrip(input);
  EXPECT_LT(stream.size(), input.size());
}

TEST_P(ImplodeRoundTrip, TinyPiecesGiveSameStream) {
  const Bytes input = dcltest::TextBytes(100000, 51);
  const Bytes whole = dcl::ImplodeBuffer(input, Mode(), Dict(), Parser()).data;
  for (unsigned piece : {1u, 3u, 1000u}) {
    Bytes stream;
    ASSERT_EQ(dcltest::ImplodePieces(input, piece, Mode(), Dict(), stream, Parser()),
              static_cast<unsigned>(rc::kDclOk));
    EXPECT_EQ(stream, whole) << "pieces of " << piece;
    Bytes out;
    ASSERT_EQ(dcltest::ExplodePieces(stream, piece, out), static_cast<unsigned>(rc::kDclOk));
    EXPECT_EQ(out, input);
  }
}

TEST_P(ImplodeRoundTrip, RunLongerThanTheOptimalPathStore) {
  // In a long run the optimal parse's best chains never meet, so its path is
  // cut where its store fills; the stream stays a few bytes from the minimum
  // (one literal, then copies of 518 bytes one byte back).
  const std::size_t copies = 700;
  const Bytes run(1 + copies * 518, 0x20);
  const Bytes stream = RoundTrip(run);
  const unsigned literalBits = Mode() == dcl::kAscii ? 1u + dcl::format::kLiteralBits[0x20] : 9u;
  const std::size_t minimum = 2 + (literalBits + copies * (18 + DictBits(Dict())) + 16 + 7) / 8;
  EXPECT_GE(stream.size(), minimum);
  EXPECT_LE(stream.size(), minimum + 4);
}

INSTANTIATE_TEST_SUITE_P(AllModes, ImplodeRoundTrip,
                         ::testing::Combine(::testing::Values(Parse::kFast, Parse::kOptimal),
                                            ::testing::Values(dcl::kBinary, dcl::kAscii),
                                            ::testing::Values(dcl::kDict1024, dcl::kDict2048,
                                                              dcl::kDict4096)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param) == Parse::kOptimal ? "Optimal"
                                                                                        : "Fast") +
                                  (std::get<1>(info.param) == dcl::kAscii ? "Ascii" : "Binary") +
                                  std::to_string(std::get<2>(info.param));
                         });

// The smallest stream by exhaustive search: a shortest path over every literal
// and every copy (each length at each distance), costed by the format's codes.
std::size_t SmallestStream(const Bytes& in, unsigned mode, unsigned dict) {
  using namespace dcl::format;
  const auto lengthBits = [](unsigned length) {
    for (unsigned c = kLengthCodes; c-- > 0;)
      if (length >= kLengthBase[c] && length < kLengthBase[c] + (1u << kLengthExtra[c]))
        return 1u + kLengthBits[c] + kLengthExtra[c];
    return 0u;
  };
  const std::size_t n = in.size();
  std::vector<unsigned> bits(n + 1, ~0u);
  bits[0] = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned literal = mode == dcl::kAscii ? 1u + kLiteralBits[in[i]] : 9u;
    bits[i + 1] = std::min(bits[i + 1], bits[i] + literal);
    for (std::size_t d = 1; d <= std::min<std::size_t>(i, dict); ++d) {
      for (unsigned length = 1; length <= kMaxMatch && i + length <= n; ++length) {
        if (in[i + length - 1] != in[i + length - 1 - d]) break;
        if (length == 1 || (length == 2 && d > kMaxDistanceLength2)) continue;
        const unsigned low = length == 2 ? kLowBitsLength2 : DictBits(dict);
        const unsigned copy = lengthBits(length) + kDistanceBits[(d - 1) >> low] + low;
        bits[i + length] = std::min(bits[i + length], bits[i] + copy);
      }
    }
  }
  return 2 + (bits[n] + 16 + 7) / 8;  // header, items, end marker, padding
}

TEST(ImplodeOptimal, ReachesTheMinimumFoundByExhaustiveSearch) {
  Bytes pairs;
  std::mt19937 rng(7);
  for (int i = 0; i < 700; ++i) pairs.push_back(static_cast<std::uint8_t>("etao "[rng() % 5]));
  Bytes mixed = dcltest::TextBytes(900, 8);
  mixed.insert(mixed.end(), 600, 'a');
  const Bytes noise = dcltest::RandomBytes(100, 9);
  mixed.insert(mixed.end(), noise.begin(), noise.end());
  mixed.insert(mixed.end(), mixed.begin(), mixed.begin() + 500);
  for (const Bytes* input : {&pairs, &mixed})
    for (unsigned mode : {dcl::kBinary, dcl::kAscii})
      for (unsigned dict : {dcl::kDict1024, dcl::kDict2048, dcl::kDict4096}) {
        const auto packed = dcl::ImplodeBuffer(*input, mode, dict, Parse::kOptimal);
        EXPECT_EQ(packed.data.size(), SmallestStream(*input, mode, dict))
            << input->size() << " bytes, mode " << mode << ", dictionary " << dict;
      }
}

TEST(ImplodeOptimal, NeverLargerThanTheFastParse) {
  Bytes mixed = dcltest::TextBytes(60000, 91);
  const Bytes noise = dcltest::RandomBytes(5000, 92);
  mixed.insert(mixed.end(), noise.begin(), noise.end());
  mixed.insert(mixed.end(), 3000, 0);
  for (unsigned mode : {dcl::kBinary, dcl::kAscii})
    for (unsigned dict : {dcl::kDict1024, dcl::kDict2048, dcl::kDict4096}) {
      const auto fast = dcl::ImplodeBuffer(mixed, mode, dict, Parse::kFast);
      const auto optimal = dcl::ImplodeBuffer(mixed, mode, dict, Parse::kOptimal);
      EXPECT_LE(optimal.data.size(), fast.data.size()) << "mode " << mode << ", dictionary " << dict;
    }
}

TEST(Implode, AsciiModeIsSmallerOnText) {
  const Bytes text = dcltest::TextBytes(200000, 61);
  const auto binary = dcl::ImplodeBuffer(text, dcl::kBinary, dcl::kDict4096);
  const auto ascii = dcl::ImplodeBuffer(text, dcl::kAscii, dcl::kDict4096);
  EXPECT_LT(ascii.data.size(), binary.data.size());
}

TEST(Implode, RejectsBadParameters) {
  const Bytes input = dcltest::FromString("hello");
  for (Parse parse : {Parse::kFast, Parse::kOptimal}) {
    EXPECT_EQ(dcl::ImplodeBuffer(input, dcl::kBinary, 512, parse).code,
              static_cast<unsigned>(rc::kDclInvalidDictSize));
    EXPECT_EQ(dcl::ImplodeBuffer(input, dcl::kBinary, 8192, parse).code,
              static_cast<unsigned>(rc::kDclInvalidDictSize));
    EXPECT_EQ(dcl::ImplodeBuffer(input, 2, dcl::kDict4096, parse).code,
              static_cast<unsigned>(rc::kDclInvalidMode));
  }
}

TEST(Implode, WorksInUnalignedWorkArea) {
  const Bytes input = dcltest::TextBytes(30000, 71);
  for (Parse parse : {Parse::kFast, Parse::kOptimal}) {
    const bool optimal = parse == Parse::kOptimal;
    std::vector<char> work((optimal ? dcl::kImplodeOptimalWorkSize : dcl::kImplodeWorkSize) + 3);
    dcltest::PieceHarness h;
    h.input = &input;
    unsigned mode = dcl::kAscii, dict = dcl::kDict2048;
    ASSERT_EQ((optimal ? dcl_implode_optimal : dcl_implode)(dcltest::PieceHarness::Read,
                                                           dcltest::PieceHarness::Write,
                                                           work.data() + 3, &h, &mode, &dict),
              static_cast<unsigned>(rc::kDclOk));
    EXPECT_EQ(dcl::ExplodeBuffer(h.output).data, input);
  }
}

TEST(Crc32, MatchesOrdinaryCrc) {
  EXPECT_EQ(dcl::Crc32(dcltest::FromString("123456789")), 0xCBF43926u);
  EXPECT_EQ(dcl::Crc32({}), 0u);
}

TEST(Crc32, ContinuesFromPreviousValue) {
  const Bytes all = dcltest::RandomBytes(1000, 81);
  unsigned long crc = 0xFFFFFFFFul;
  unsigned first = 400, rest = 600;
  crc = dcl_crc32(reinterpret_cast<char*>(const_cast<std::uint8_t*>(all.data())), &first, &crc);
  crc = dcl_crc32(reinterpret_cast<char*>(const_cast<std::uint8_t*>(all.data()) + 400), &rest, &crc);
  EXPECT_EQ(static_cast<std::uint32_t>(crc ^ 0xFFFFFFFFul), dcl::Crc32(all));
}

}  // namespace
