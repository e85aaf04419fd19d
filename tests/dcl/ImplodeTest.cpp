// Implode round trips through explode for every literal mode and dictionary
// size, the edges of the format (longest copies, farthest distances), and the
// streaming contract of both directions.
#include <gtest/gtest.h>

#include <tuple>

#include "DclTestSupport.h"

using dcltest::Bytes;

namespace {

struct Params {
  unsigned mode;
  unsigned dict;
};

class ImplodeRoundTrip : public ::testing::TestWithParam<std::tuple<unsigned, unsigned>> {
 protected:
  unsigned Mode() const { return std::get<0>(GetParam()); }
  unsigned Dict() const { return std::get<1>(GetParam()); }

  // Compresses, checks the header, decompresses, and returns the stream.
  Bytes RoundTrip(const Bytes& input) {
    const auto packed = dcl::ImplodeBuffer(input, Mode(), Dict());
    EXPECT_EQ(packed.code, static_cast<unsigned>(rc::kDclOk));
    EXPECT_GE(packed.data.size(), 4u);
    if (packed.data.size() >= 2) {
      EXPECT_EQ(packed.data[0], Mode());
      EXPECT_EQ(packed.data[1], Dict() == 1024 ? 4 : Dict() == 2048 ? 5 : 6);
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
  const Bytes once = dcl::ImplodeBuffer(block, Mode(), Dict()).data;
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
  const Bytes whole = dcl::ImplodeBuffer(input, Mode(), Dict()).data;
  for (unsigned piece : {1u, 3u, 1000u}) {
    Bytes stream;
    ASSERT_EQ(dcltest::ImplodePieces(input, piece, Mode(), Dict(), stream),
              static_cast<unsigned>(rc::kDclOk));
    EXPECT_EQ(stream, whole) << "pieces of " << piece;
    Bytes out;
    ASSERT_EQ(dcltest::ExplodePieces(stream, piece, out), static_cast<unsigned>(rc::kDclOk));
    EXPECT_EQ(out, input);
  }
}

INSTANTIATE_TEST_SUITE_P(AllModes, ImplodeRoundTrip,
                         ::testing::Combine(::testing::Values(dcl::kBinary, dcl::kAscii),
                                            ::testing::Values(dcl::kDict1024, dcl::kDict2048,
                                                              dcl::kDict4096)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param) == dcl::kAscii ? "Ascii"
                                                                                     : "Binary") +
                                  std::to_string(std::get<1>(info.param));
                         });

TEST(Implode, AsciiModeIsSmallerOnText) {
  const Bytes text = dcltest::TextBytes(200000, 61);
  const auto binary = dcl::ImplodeBuffer(text, dcl::kBinary, dcl::kDict4096);
  const auto ascii = dcl::ImplodeBuffer(text, dcl::kAscii, dcl::kDict4096);
  EXPECT_LT(ascii.data.size(), binary.data.size());
}

TEST(Implode, RejectsBadParameters) {
  const Bytes input = dcltest::FromString("hello");
  EXPECT_EQ(dcl::ImplodeBuffer(input, dcl::kBinary, 512).code,
            static_cast<unsigned>(rc::kDclInvalidDictSize));
  EXPECT_EQ(dcl::ImplodeBuffer(input, dcl::kBinary, 8192).code,
            static_cast<unsigned>(rc::kDclInvalidDictSize));
  EXPECT_EQ(dcl::ImplodeBuffer(input, 2, dcl::kDict4096).code,
            static_cast<unsigned>(rc::kDclInvalidMode));
}

TEST(Implode, WorksInUnalignedWorkArea) {
  const Bytes input = dcltest::TextBytes(30000, 71);
  std::vector<char> work(dcl::kImplodeWorkSize + 3);
  dcltest::PieceHarness h;
  h.input = &input;
  unsigned mode = dcl::kAscii, dict = dcl::kDict2048;
  ASSERT_EQ(dcl_implode(dcltest::PieceHarness::Read, dcltest::PieceHarness::Write,
                        work.data() + 3, &h, &mode, &dict),
            static_cast<unsigned>(rc::kDclOk));
  EXPECT_EQ(dcl::ExplodeBuffer(h.output).data, input);
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
