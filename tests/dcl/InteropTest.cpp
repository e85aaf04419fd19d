// Our implode output, from both parses, read by an independent explode
// (libdynamite, an open decoder of the same format). Round trips through our
// own explode cannot show a fault shared by both directions, such as a wrong
// code table. libdynamite reads binary-mode streams only (ascii mode gives
// DYNAMITE_NOT_IMPLEMENTED).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <tuple>

#include "DclTestSupport.h"

extern "C" {
#include <libdynamite.h>
}

namespace {

using dcltest::Bytes;

struct DynamiteIo {
  const Bytes* in;
  std::size_t pos = 0;
  Bytes out;
};

size_t DynamiteRead(void* buf, size_t size, void* cookie) {
  auto* io = static_cast<DynamiteIo*>(cookie);
  const std::size_t n = std::min(size, io->in->size() - io->pos);
  if (n != 0) std::memcpy(buf, io->in->data() + io->pos, n);
  io->pos += n;
  return n;
}

size_t DynamiteWrite(void* buf, size_t size, void* cookie) {
  auto* io = static_cast<DynamiteIo*>(cookie);
  const auto* bytes = static_cast<const std::uint8_t*>(buf);
  io->out.insert(io->out.end(), bytes, bytes + size);
  return size;
}

class DynamiteReadsOurStreams : public ::testing::TestWithParam<std::tuple<dcl::Parse, unsigned>> {
 protected:
  unsigned Dict() const { return std::get<1>(GetParam()); }

  void ExpectDecodes(const Bytes& input) {
    const auto packed = dcl::ImplodeBuffer(input, dcl::kBinary, Dict(), std::get<0>(GetParam()));
    ASSERT_EQ(packed.code, static_cast<unsigned>(rc::kDclOk));
    DynamiteIo io{&packed.data, 0, {}};
    ASSERT_EQ(dynamite_explode(DynamiteRead, DynamiteWrite, &io), DYNAMITE_SUCCESS);
    EXPECT_TRUE(io.out == input) << "decoded " << io.out.size() << " of " << input.size() << " bytes";
  }
};

TEST_P(DynamiteReadsOurStreams, Text) { ExpectDecodes(dcltest::TextBytes(300000, 11)); }

TEST_P(DynamiteReadsOurStreams, RandomBytes) { ExpectDecodes(dcltest::RandomBytes(100000, 12)); }

TEST_P(DynamiteReadsOurStreams, LongRunsAndFarRepeats) {
  // Longest copies, short periods, and repeats at the far end of the window.
  Bytes input(5000, 'a');
  const Bytes block = dcltest::RandomBytes(Dict(), 13);
  for (int i = 0; i < 4; ++i) input.insert(input.end(), block.begin(), block.end());
  for (int i = 0; i < 2000; ++i) input.push_back(static_cast<std::uint8_t>("abc"[i % 3]));
  ExpectDecodes(input);
}

TEST_P(DynamiteReadsOurStreams, AllByteValuesAndPairs) {
  Bytes input;
  for (int round = 0; round < 8; ++round)
    for (int b = 0; b < 256; ++b) {
      input.push_back(static_cast<std::uint8_t>(b));
      if (b % 3 == 0) input.push_back(static_cast<std::uint8_t>(b ^ round));
    }
  ExpectDecodes(input);
}

INSTANTIATE_TEST_SUITE_P(BothParsesEveryDictionary, DynamiteReadsOurStreams,
                         ::testing::Combine(::testing::Values(dcl::Parse::kFast, dcl::Parse::kOptimal),
                                            ::testing::Values(dcl::kDict1024, dcl::kDict2048,
                                                              dcl::kDict4096)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param) == dcl::Parse::kOptimal ? "Optimal"
                                                                                             : "Fast") +
                                  std::to_string(std::get<1>(info.param));
                         });

}  // namespace
