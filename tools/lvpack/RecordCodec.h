// Implode and explode between files, streaming: the library's callbacks read
// and write in blocks, so neither side is ever held whole in memory.
#pragma once

#include <cstdint>
#include <string>

#include "tools/lvpack/FileIo.h"

namespace lvpack {

struct Compression {
  unsigned mode = 0;  // dcl::kBinary or dcl::kAscii
  unsigned dictionary = 4096;
};

// Implodes `length` bytes of `from` at `offset` and appends the stream to `to`;
// returns the stream's length. ToolError naming `what` if the library fails.
std::uint64_t ImplodeRange(const ByteSource& from, std::uint64_t offset, std::uint64_t length,
                           ByteSink& to, const Compression& compression, const std::string& what,
                           const ProgressFn& progress = {});

struct ExplodeOutcome {
  bool complete = false;        // the stream was sound and ended with its end marker
  std::uint64_t produced = 0;   // bytes it gave (up to limit + 1)
};

// Explodes the stream of `length` bytes at `offset`, writing to `to` (nullptr:
// only counting). Exploding stops early once the output passes `limit`, so a
// stream that claims more than its record says is never expanded in full.
ExplodeOutcome ExplodeRange(const ByteSource& from, std::uint64_t offset, std::uint64_t length,
                            ByteSink* to, std::uint64_t limit, const ProgressFn& progress = {});

}  // namespace lvpack
