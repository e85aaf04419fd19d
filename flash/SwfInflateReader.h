// Reads the plain bytes of one zlib stream (RFC 1950) held in a file, a
// request at a time, through zlib's stream interface. Memory use is fixed:
// one 64 KiB input block, refilled from the file whenever zlib has used it up.
#pragma once

#include <cstddef>
#include <vector>

#include <zlib.h>

#include "flash/BinaryFile.h"

class SwfInflateReader {
 public:
  static constexpr std::size_t kInputBlock = 65536;

  // The file must stay open while the reader lives; reading starts at its
  // current position. Raises DecompressionError when zlib cannot start.
  explicit SwfInflateReader(BinaryFile& source);
  ~SwfInflateReader();
  SwfInflateReader(const SwfInflateReader&) = delete;
  SwfInflateReader& operator=(const SwfInflateReader&) = delete;

  // Fills up to `count` bytes and returns how many; fewer only at the end of
  // the stream or of the file (data cut short is not an error). Damaged data
  // raises DecompressionError with zlib's message. Input read beyond the end
  // of the stream is given back to the file.
  std::size_t read(void* buffer, std::size_t count);

 private:
  BinaryFile& source_;
  z_stream stream_{};
  std::vector<unsigned char> input_;
  bool finished_ = false;
};
