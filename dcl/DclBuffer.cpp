#include "dcl/DclBuffer.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace dcl {
namespace {

// The stream callbacks' parameter: input read from a buffer, output appended.
struct Io {
  const Bytes* input;
  std::size_t pos;
  Bytes* output;
};

unsigned DCL_CALL IoRead(char* buf, unsigned* size, void* param) {
  auto* io = static_cast<Io*>(param);
  const std::size_t n = std::min<std::size_t>(*size, io->input->size() - io->pos);
  if (n != 0) std::memcpy(buf, io->input->data() + io->pos, n);
  io->pos += n;
  return static_cast<unsigned>(n);
}

void DCL_CALL IoWrite(char* buf, unsigned* size, void* param) {
  auto* io = static_cast<Io*>(param);
  const auto* p = reinterpret_cast<const std::uint8_t*>(buf);
  io->output->insert(io->output->end(), p, p + *size);
}

// Work areas, kept per thread from call to call: the optimal parse's is over
// two megabytes, and tools implode many small records. Left uninitialised:
// implode sets up what it reads.
char* ImplodeWorkArea(bool optimal) {
  thread_local std::unique_ptr<char[]> fast, best;
  std::unique_ptr<char[]>& work = optimal ? best : fast;
  if (!work) work.reset(new char[optimal ? kImplodeOptimalWorkSize : kImplodeWorkSize]);
  return work.get();
}

}  // namespace

ImplodeResult ImplodeBuffer(const Bytes& input, unsigned mode, unsigned dictSize, Parse parse) {
  ImplodeResult result;
  const bool optimal = parse == Parse::kOptimal;
  Io io{&input, 0, &result.data};
  result.data.reserve(input.size() / 2 + 16);
  result.code = (optimal ? dcl_implode_optimal : dcl_implode)(IoRead, IoWrite, ImplodeWorkArea(optimal), &io,
                                                             &mode, &dictSize);
  return result;
}

ExplodeResult ExplodeBuffer(const Bytes& stream) {
  ExplodeResult result;
  std::vector<char> work(kExplodeWorkSize);
  Io io{&stream, 0, &result.data};
  result.data.reserve(stream.size() * 3);
  result.code = dcl_explode(IoRead, IoWrite, work.data(), &io);
  return result;
}

std::uint32_t Crc32(const Bytes& data) {
  unsigned long crc = 0xFFFFFFFFul;
  unsigned size = static_cast<unsigned>(data.size());
  crc = dcl_crc32(reinterpret_cast<char*>(const_cast<std::uint8_t*>(data.data())), &size, &crc);
  return static_cast<std::uint32_t>(crc ^ 0xFFFFFFFFul);
}

}  // namespace dcl
