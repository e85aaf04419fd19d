// crc32 as the library offers it: the ordinary CRC-32 (reflected polynomial
// 0xEDB88320) continued from the caller's value, without the initial and final
// inversion, which stay with the caller.
#include <cstdint>

#include "dcl/BuiltOnce.h"
#include "dcl/Dcl.h"

namespace {

struct CrcTable {
  std::uint32_t entry[256];
};

// Built on first use rather than stored in the library's file.
void BuildCrcTable(CrcTable& t) {
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t.entry[n] = c;
  }
}

}  // namespace

extern "C" unsigned long DCL_CALL dcl_crc32(char* buf, unsigned* size, unsigned long* old_crc) {
  std::uint32_t crc = old_crc != nullptr ? static_cast<std::uint32_t>(*old_crc) : 0;
  if (buf == nullptr || size == nullptr) return crc;
  const auto* p = reinterpret_cast<const unsigned char*>(buf);
  const CrcTable& table = dcl::BuiltOnce<CrcTable, BuildCrcTable>();
  for (unsigned i = 0; i < *size; ++i) crc = table.entry[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
  return crc;
}
