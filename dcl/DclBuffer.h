// Whole-buffer helpers over the streaming library, for host tools and tests.
#pragma once

#include <cstdint>
#include <vector>

#include "dcl/Dcl.h"

namespace dcl {

using Bytes = std::vector<std::uint8_t>;

struct ImplodeResult {
  unsigned code = rc::kDclOk;  // rc::kDclOk or the library's error code
  Bytes data;
};

struct ExplodeResult {
  unsigned code = rc::kDclOk;  // rc::kDclOk, or rc::kDclBadData with the bytes produced so far
  Bytes data;
};

// How implode chooses between literals and copies.
enum class Parse {
  kFast,     // the library's lazy parse (dcl_implode)
  kOptimal,  // the smallest stream the format allows (dcl_implode_optimal)
};

// Compresses `input` as one stream. mode: kBinary or kAscii; dictSize: 1024, 2048 or 4096.
ImplodeResult ImplodeBuffer(const Bytes& input, unsigned mode, unsigned dictSize,
                            Parse parse = Parse::kFast);

// Decompresses one stream.
ExplodeResult ExplodeBuffer(const Bytes& stream);

// Ordinary CRC-32 of the whole buffer (initial and final inversion included).
std::uint32_t Crc32(const Bytes& data);

}  // namespace dcl
