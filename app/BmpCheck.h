// Checks that a Windows bitmap file's headers describe data that lies inside
// the file, before any decoder is let loose on it (a cut or forged header must
// give "cannot load", never a read beyond the buffer). Free of Win32.
#pragma once

#include <cstddef>
#include <cstdint>

// The installer shows pictures up to these limits (BMP and JPEG alike).
constexpr std::uint64_t kMaxPictureBytes = 64u * 1024 * 1024;
constexpr int kMaxPictureSide = 16384;

// True when `data` (a whole ".BMP" file) has a file header "BM", an info header
// of a known size, a sane size (1..16384 each way, 1/4/8/16/24/32 bits), a
// pixel offset behind the headers and palette, and all pixel bytes inside the file.
bool BmpLayoutIsSound(const std::uint8_t* data, std::size_t size);
// The same for a file of `size` bytes of which `data` holds the first
// `headersSize` bytes: the file and info headers (54 bytes) suffice, so a tool can
// check a picture without reading it whole.
bool BmpLayoutIsSound(const std::uint8_t* data, std::size_t headersSize, std::uint64_t size);
