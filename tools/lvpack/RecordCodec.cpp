#include "tools/lvpack/RecordCodec.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <vector>

#include "dcl/Dcl.h"
#include "tools/lvpack/ToolError.h"

namespace lvpack {
namespace {

// The callbacks' state. The library is C: an exception must not pass through
// it, so a failure is kept here, the input is made to end, and the failure is
// raised again when the library has returned.
struct Stream {
  const ByteSource* from = nullptr;
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
  std::uint64_t consumed = 0;  // bytes of the input handed to the library
  Bytes block;                 // input read ahead
  std::size_t blockPos = 0;
  ByteSink* to = nullptr;
  std::uint64_t produced = 0;
  std::uint64_t limit = UINT64_MAX;
  bool stopped = false;  // the limit was passed or a callback failed: the input ends
  std::exception_ptr failure;
  const ProgressFn* progress = nullptr;
};

unsigned DCL_CALL ReadInput(char* buf, unsigned* size, void* param) {
  auto* s = static_cast<Stream*>(param);
  if (s->stopped) return 0;
  try {
    if (s->blockPos == s->block.size()) {
      const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(
          kStreamBlock, s->length - (s->consumed)));
      s->block.resize(n);
      s->blockPos = 0;
      if (n != 0) s->from->ReadAt(s->offset + s->consumed, s->block.data(), n);
      if (*s->progress) (*s->progress)(s->consumed, s->length);
    }
    const std::size_t n = std::min<std::size_t>(*size, s->block.size() - s->blockPos);
    if (n == 0) return 0;  // the input has ended
    std::memcpy(buf, s->block.data() + s->blockPos, n);
    s->blockPos += n;
    s->consumed += n;
    return static_cast<unsigned>(n);
  } catch (...) {
    s->failure = std::current_exception();
    s->stopped = true;
    return 0;
  }
}

void DCL_CALL WriteOutput(char* buf, unsigned* size, void* param) {
  auto* s = static_cast<Stream*>(param);
  if (s->stopped) return;
  try {
    s->produced += *size;
    if (s->produced > s->limit) {
      s->stopped = true;
      return;
    }
    if (s->to != nullptr) s->to->Write(buf, *size);
  } catch (...) {
    s->failure = std::current_exception();
    s->stopped = true;
  }
}

Stream MakeStream(const ByteSource& from, std::uint64_t offset, std::uint64_t length,
                  ByteSink* to, const ProgressFn& progress) {
  Stream s;
  s.from = &from;
  s.offset = offset;
  s.length = length;
  s.to = to;
  s.progress = &progress;
  return s;
}

}  // namespace

std::uint64_t ImplodeRange(const ByteSource& from, std::uint64_t offset, std::uint64_t length,
                           ByteSink& to, const Compression& compression, const std::string& what,
                           const ProgressFn& progress) {
  Stream s = MakeStream(from, offset, length, &to, progress);
  // A package is compressed once and installed many times: the smallest stream.
  std::vector<char> work(dcl::kImplodeOptimalWorkSize);
  unsigned mode = compression.mode;
  unsigned dictionary = compression.dictionary;
  const unsigned code =
      dcl_implode_optimal(ReadInput, WriteOutput, work.data(), &s, &mode, &dictionary);
  if (s.failure) std::rethrow_exception(s.failure);
  if (code != static_cast<unsigned>(rc::kDclOk))
    throw IoError(what + ": compression failed (library code " + std::to_string(code) + ")");
  return s.produced;
}

ExplodeOutcome ExplodeRange(const ByteSource& from, std::uint64_t offset, std::uint64_t length,
                            ByteSink* to, std::uint64_t limit, const ProgressFn& progress) {
  Stream s = MakeStream(from, offset, length, to, progress);
  s.limit = limit;
  std::vector<char> work(dcl::kExplodeWorkSize);
  const unsigned code = dcl_explode(ReadInput, WriteOutput, work.data(), &s);
  if (s.failure) std::rethrow_exception(s.failure);
  ExplodeOutcome outcome;
  outcome.produced = s.produced;
  outcome.complete = code == static_cast<unsigned>(rc::kDclOk) && !s.stopped;
  return outcome;
}

}  // namespace lvpack
