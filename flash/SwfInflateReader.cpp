#include "flash/SwfInflateReader.h"

#include <string>

#include "system/InstallerError.h"

namespace {

[[noreturn]] void RaiseZlibError(const z_stream& stream, int status) {
  std::string text = stream.msg ? stream.msg : zError(status);
  throw InstallerError(ErrorKind::DecompressionError, rc::kMovieDataDamaged, text);
}

}  // namespace

SwfInflateReader::SwfInflateReader(BinaryFile& source)
    : source_(source), input_(kInputBlock) {
  // Default window and the zlib wrapper with its Adler-32 check.
  int status = inflateInit_(&stream_, ZLIB_VERSION, static_cast<int>(sizeof(z_stream)));
  if (status != Z_OK) RaiseZlibError(stream_, status);
}

SwfInflateReader::~SwfInflateReader() { inflateEnd(&stream_); }

std::size_t SwfInflateReader::read(void* buffer, std::size_t count) {
  stream_.next_out = static_cast<Bytef*>(buffer);
  stream_.avail_out = static_cast<uInt>(count);
  while (stream_.avail_out > 0 && !finished_) {
    if (stream_.avail_in == 0) {
      std::size_t got = source_.read(input_.data(), input_.size());
      if (got == 0) break;  // the file ends: a cut-short stream gives what it had
      stream_.next_in = input_.data();
      stream_.avail_in = static_cast<uInt>(got);
    }
    int status = inflate(&stream_, Z_NO_FLUSH);
    if (status == Z_STREAM_END) {
      finished_ = true;
      source_.seek(source_.position() - stream_.avail_in);
      stream_.avail_in = 0;
    } else if (status == Z_NEED_DICT) {
      // A preset dictionary is never part of a movie; waiting for one would
      // call inflate forever without progress.
      throw InstallerError(ErrorKind::DecompressionError, rc::kMovieDataDamaged,
                           "zlib stream needs a preset dictionary");
    } else if (status < 0) {
      RaiseZlibError(stream_, status);
    }
  }
  return count - stream_.avail_out;
}
