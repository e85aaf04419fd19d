// Fuzz target: explode over any bytes, fed in pieces of changing size so that
// every refill point of the streaming decoder is crossed; the result must not
// depend on how the input was cut. The same bytes then go through both implode
// parses and must explode back unchanged.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "dcl/Dcl.h"
#include "dcl/DclBuffer.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

struct Feed {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t pos;
  unsigned piece;  // bytes per read; 0: as many as asked
  std::vector<std::uint8_t> out;
  std::size_t limit;
};

unsigned DCL_CALL ReadPiece(char* buf, unsigned* size, void* param) {
  auto* f = static_cast<Feed*>(param);
  std::size_t n = std::min<std::size_t>(*size, f->size - f->pos);
  if (f->piece != 0) n = std::min<std::size_t>(n, f->piece);
  if (n != 0) std::memcpy(buf, f->data + f->pos, n);
  f->pos += n;
  return static_cast<unsigned>(n);
}

void DCL_CALL WritePiece(char* buf, unsigned* size, void* param) {
  auto* f = static_cast<Feed*>(param);
  FUZZ_CHECK(*size <= 0x10000u, "write larger than the work area");
  f->out.insert(f->out.end(), reinterpret_cast<std::uint8_t*>(buf), reinterpret_cast<std::uint8_t*>(buf) + *size);
  // No input bit can stand for more than a few hundred output bytes.
  FUZZ_CHECK(f->out.size() <= f->limit, "output out of proportion to the input");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::size_t limit = size * 8 * 520 + 4096;
  std::vector<char> work(dcl::kExplodeWorkSize);

  Feed whole{data, size, 0, 0, {}, limit};
  const unsigned code = dcl_explode(ReadPiece, WritePiece, work.data(), &whole);
  FUZZ_CHECK(code == rc::kDclOk || code == rc::kDclBadData, "explode result " + std::to_string(code));

  const unsigned piece = size == 0 ? 1u : 1u + data[size - 1] % 7u;
  Feed cut{data, size, 0, piece, {}, limit};
  const unsigned cutCode = dcl_explode(ReadPiece, WritePiece, work.data(), &cut);
  FUZZ_CHECK(cutCode == code, "result depends on how the input was cut");
  FUZZ_CHECK(cut.out == whole.out, "output depends on how the input was cut");

  if (size == 0) return 0;
  static constexpr unsigned kDicts[] = {dcl::kDict1024, dcl::kDict2048, dcl::kDict4096};
  const unsigned mode = data[0] & 1u;
  const unsigned dict = kDicts[(data[0] >> 1) % 3u];
  const dcl::Bytes input(data, data + size);
  for (dcl::Parse parse : {dcl::Parse::kFast, dcl::Parse::kOptimal}) {
    const dcl::ImplodeResult packed = dcl::ImplodeBuffer(input, mode, dict, parse);
    FUZZ_CHECK(packed.code == rc::kDclOk, "implode result " + std::to_string(packed.code));
    const dcl::ExplodeResult back = dcl::ExplodeBuffer(packed.data);
    FUZZ_CHECK(back.code == rc::kDclOk, "own stream refused");
    FUZZ_CHECK(back.data == input, "round trip changed the data");
  }
  return 0;
}
