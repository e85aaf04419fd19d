#include "flash/SwfMovie.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <vector>

#include "flash/BinaryFile.h"
#include "flash/SwfInflateReader.h"
#include "system/InstallerError.h"
#include "messages/logFile.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <sys/stat.h>
#endif

namespace {

constexpr std::size_t kHeaderBytes = 8;  // signature, version, declared length
constexpr int kMaxFolderNumber = 1000;

std::uint32_t LittleEndian32(const unsigned char* b) {
  return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

unsigned AsciiLower(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

// Reads unsigned fields from a bit string, most significant bit first.
class BitReader {
 public:
  explicit BitReader(const std::vector<unsigned char>& bytes) : bytes_(bytes) {}
  std::uint32_t take(int width) {
    std::uint32_t value = 0;
    for (int i = 0; i < width; ++i, ++pos_) {
      unsigned bit = (bytes_[pos_ / 8] >> (7 - pos_ % 8)) & 1u;
      value = (value << 1) | bit;
    }
    return value;
  }

 private:
  const std::vector<unsigned char>& bytes_;
  std::size_t pos_ = 0;
};

// Reads the tag list through a block buffer. Tags can be two bytes long, and a
// damaged or hostile movie can hold millions of them: one file read per tag
// header would take minutes, so the walk reads the file a block at a time.
class TagStream {
 public:
  static constexpr std::size_t kBlock = 65536;

  explicit TagStream(BinaryFile& file) : file_(file), base_(file.position()), buffer_(kBlock) {}

  void readExact(void* out, std::size_t count) {
    auto* bytes = static_cast<unsigned char*>(out);
    while (count > 0) {
      if (pos_ == len_) refill();
      const std::size_t n = std::min(count, len_ - pos_);
      std::memcpy(bytes, buffer_.data() + pos_, n);
      pos_ += n;
      bytes += n;
      count -= n;
    }
  }

  // Moves forward; past the end of the file raises ReadError, as the file does.
  void skip(std::uint64_t count) {
    if (count <= len_ - pos_) {
      pos_ += static_cast<std::size_t>(count);
      return;
    }
    const std::uint64_t beyond = count - (len_ - pos_);
    file_.seek(base_ + static_cast<std::int64_t>(len_));
    file_.skip(beyond);
    base_ = file_.position();
    pos_ = len_ = 0;
  }

  std::int64_t position() const { return base_ + static_cast<std::int64_t>(pos_); }

  // Leaves the file positioned right behind what was consumed.
  void sync() { file_.seek(position()); }

 private:
  void refill() {
    base_ += static_cast<std::int64_t>(len_);
    file_.seek(base_);
    pos_ = 0;
    len_ = file_.read(buffer_.data(), buffer_.size());
    if (len_ == 0)
      throw InstallerError(ErrorKind::ReadError, rc::kShortRead,
                           "Read past the end of \"" + PathUtf8(file_.path()) + "\"");
  }

  BinaryFile& file_;
  std::int64_t base_;  // file offset of buffer_[0]
  std::vector<unsigned char> buffer_;
  std::size_t pos_ = 0;
  std::size_t len_ = 0;
};

struct TagHeader {
  int code;
  int shortLength;
};

TagHeader ReadTagHeader(TagStream& tags) {
  unsigned char b[2];
  tags.readExact(b, 2);
  unsigned h = b[0] | (b[1] << 8);
  return {static_cast<int>(h >> 6), static_cast<int>(h & 63)};
}

std::uint32_t BodyLength(TagStream& tags, const TagHeader& tag) {
  if (tag.shortLength != TSwfMovie::kLongTagLength) return tag.shortLength;
  unsigned char b[4];
  tags.readExact(b, 4);
  return LittleEndian32(b);
}

}  // namespace

MoviePath TempFolderPath() {
#ifdef _WIN32
  if (const wchar_t* temp = _wgetenv(L"TEMP"); temp && *temp) return temp;
#else
  if (const char* temp = std::getenv("TEMP"); temp && *temp) return temp;
#endif
  return SystemTempFolder();
}

rc::Result CreateNumberedFolder(const MoviePath& parent, const std::string& prefix,
                                MoviePath& folder) {
  rc::Result lastError = 0;
  for (int n = 1; n <= kMaxFolderNumber; ++n) {
    const MoviePath candidate = JoinPath(parent, prefix + std::to_string(n));
    if (PathExists(candidate)) continue;
#ifdef _WIN32
    if (CreateDirectoryW(candidate.c_str(), nullptr)) {
      folder = candidate;
      return 0;
    }
    lastError = static_cast<rc::Result>(GetLastError());
#else
    if (::mkdir(candidate.c_str(), 0700) == 0) {
      folder = candidate;
      return 0;
    }
    lastError = errno;
#endif
  }
  return lastError != 0 ? lastError : rc::kFolderAlreadyExists;
}

rc::Result TSwfMovie::createTempFolder(MoviePath& folder) {
  return CreateNumberedFolder(TempFolderPath(), kTempFolderPrefix, folder);
}

TSwfMovie::~TSwfMovie() = default;

rc::Result TSwfMovie::readSWFSignature() {
  if (!BinaryFile::Exists(swfFilename)) return 0;
  BinaryFile file(swfFilename, BinaryFile::Mode::ReadShared);
  char signature[3];
  file.readExact(signature, sizeof signature);
  swfSignature.assign(signature, sizeof signature);
  return (swfSignature == "FWS" || swfSignature == "CWS") ? 0 : rc::kNotAMovie;
}

rc::Result TSwfMovie::uncompressSWF() {
  if (tempFolder.empty()) {
    MoviePath folder;
    rc::Result r = createTempFolder(folder);
    if (r != 0) return r;
    tempFolder = folder;
  }
  const MoviePath segmentPath = JoinPath(tempFolder, kSegmentFileName);
  const MoviePath plainPath = JoinPath(tempFolder, kPlainFileName);
  if (!BinaryFile::Exists(swfFilename)) return 0;

  unsigned char header[kHeaderBytes];
  {
    // The zlib stream alone goes to the segment file, copied block by block.
    BinaryFile movie(swfFilename, BinaryFile::Mode::ReadShared);
    movie.readExact(header, sizeof header);
    BinaryFile segment(segmentPath, BinaryFile::Mode::Create);
    unsigned char block[kCopyBlock];
    while (std::size_t got = movie.read(block, sizeof block)) segment.write(block, got);
  }

  BinaryFile segment(segmentPath, BinaryFile::Mode::ReadShared);
  SwfInflateReader inflater(segment);
  BinaryFile plain(plainPath, BinaryFile::Mode::Create);
  // The plain file keeps the version byte and the declared length unchanged.
  plain.write("FWS", 3);
  plain.write(header + 3, kHeaderBytes - 3);
  // It ends at the declared length: inflating further would let a few bytes
  // of zlib data fill the TEMP folder with what no reader looks at.
  const std::uint32_t declaredLength = LittleEndian32(header + 4);
  std::uint64_t bodyLeft = declaredLength > kHeaderBytes ? declaredLength - kHeaderBytes : 0;
  unsigned char block[kCopyBlock];
  while (bodyLeft > 0) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(sizeof block, bodyLeft));
    const std::size_t got = inflater.read(block, want);
    if (got == 0) break;
    plain.write(block, got);
    bodyLeft -= got;
  }
  return 0;
}

rc::Result TSwfMovie::readSWFFile_FWS_Format(const MoviePath& path) {
  LogEnter(L"readSWFFile_FWS_Format");
  struct TraceEnd {
    ~TraceEnd() { LogEnd(); }
  } traceEnd;
  bgRed = bgGreen = bgBlue = 255;
  allowScale = fullScreen = kFlagTrue;
  swfVersion = 0;
  if (!BinaryFile::Exists(path)) return 0;

  BinaryFile file(path, BinaryFile::Mode::ReadShared);
  char signature[3];
  file.readExact(signature, sizeof signature);
  if (std::memcmp(signature, "FWS", 3) != 0) return rc::kNotAMovie;

  file.readExact(&swfVersion, 1);
  if (swfVersion > kNewestVersion) return rc::kMovieTooNew;
  if (swfVersion < kOldestVersion) return rc::kMovieTooOld;

  unsigned char lengthBytes[4];
  file.readExact(lengthBytes, 4);
  const std::int32_t declaredLength = static_cast<std::int32_t>(LittleEndian32(lengthBytes));

  // Frame-size rectangle: 5 bits of field width N, then Xmin, Xmax, Ymin, Ymax.
  std::vector<unsigned char> rect(1);
  file.readExact(rect.data(), 1);
  const int fieldBits = rect[0] >> 3;
  rect.resize((5 + 4 * fieldBits + 7) / 8);
  if (rect.size() > 1) file.readExact(rect.data() + 1, rect.size() - 1);
  BitReader bits(rect);
  bits.take(5);
  bits.take(fieldBits);                       // Xmin
  const std::uint32_t xMax = bits.take(fieldBits);
  bits.take(fieldBits);                       // Ymin
  const std::uint32_t yMax = bits.take(fieldBits);
  movieWidth = static_cast<std::int32_t>(xMax / kTwipsPerPixel);
  movieHeight = static_cast<std::int32_t>(yMax / kTwipsPerPixel);

  unsigned char frameRateAndCount[4];
  file.readExact(frameRateAndCount, sizeof frameRateAndCount);

  // Walk the tags up to the background colour; skipping never reads a body.
  TagStream tags(file);
  TagHeader tag = ReadTagHeader(tags);
  while (tag.code != kBackgroundTag) {
    if (tag.shortLength > 0) tags.skip(BodyLength(tags, tag));
    tag = ReadTagHeader(tags);
  }
  // The colour takes the first three body bytes; a shorter body leaves the
  // missing components at 0, a longer one is passed over.
  const std::uint32_t bodyLength = BodyLength(tags, tag);
  unsigned char rgb[3] = {0, 0, 0};
  const std::uint32_t colourBytes = std::min<std::uint32_t>(bodyLength, 3);
  tags.readExact(rgb, colourBytes);
  tags.skip(bodyLength - colourBytes);
  tags.sync();
  bgRed = rgb[0];
  bgGreen = rgb[1];
  bgBlue = rgb[2];

  // Settings window: what follows, bounded by 2000 bytes and the declared
  // length. A movie that ends before its declared length within the window is
  // cut short, like one that ends before its background colour: a read error.
  const std::int64_t window =
      std::min<std::int64_t>(kSettingsWindowLimit, std::int64_t{declaredLength} - file.position());
  std::vector<unsigned char> text(window > 0 ? static_cast<std::size_t>(window) : 0);
  if (!text.empty()) file.readExact(text.data(), text.size());
  const int length = static_cast<int>(text.size());
  allowScale = findFSCommandFlag("ALLOWSCALE", text.data(), length);
  fullScreen = findFSCommandFlag("fullScreen", text.data(), length);
  return 0;
}

rc::Result TSwfMovie::readMovie() {
  rc::Result r = readSWFSignature();
  if (r != 0) return r;
  // A missing file leaves the previous signature; with none, nothing is read.
  if (swfSignature == "FWS") return readSWFFile_FWS_Format(swfFilename);
  if (swfSignature == "CWS") {
    r = uncompressSWF();
    if (r == 0) r = readSWFFile_FWS_Format(plainCopyPath());
  }
  return r;
}

int TSwfMovie::findFSCommandFlag(const std::string& keyword, const void* text, int length) {
  const auto* bytes = static_cast<const unsigned char*>(text);
  const int k = static_cast<int>(keyword.size());
  // Start positions 0 .. length-k-2: the value byte at s+k+1 stays inside.
  for (int s = 0; s <= length - k - 2; ++s) {
    bool match = true;
    for (int i = 0; i < k && match; ++i)
      match = AsciiLower(bytes[s + i]) == AsciiLower(static_cast<unsigned char>(keyword[i]));
    if (!match) continue;
    switch (AsciiLower(bytes[s + k + 1])) {
      case 'f': return kFlagFalse;
      case 't': return kFlagTrue;
      default: return kFlagOtherValue;
    }
  }
  return kFlagNotFound;
}
