#include "tools/lvpack/FileIo.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#else
#include <unistd.h>
#endif

#include "tools/lvpack/Interrupt.h"
#include "tools/lvpack/ToolError.h"

namespace lvpack {
namespace {

// Small files read whole (manifests, settings blocks) are far below this.
constexpr std::uint64_t kWholeFileLimit = 64ull * 1024 * 1024;

std::FILE* OpenFile(const fs::path& path, const char* mode) {
#ifdef _WIN32
  const std::wstring wideMode(mode, mode + std::strlen(mode));
  return _wfopen(path.c_str(), wideMode.c_str());
#else
  return std::fopen(path.c_str(), mode);
#endif
}

bool SeekFile(std::FILE* file, std::uint64_t offset) {
#ifdef _WIN32
  return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
#else
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

bool TruncateFile(std::FILE* file, std::uint64_t size) {
#ifdef _WIN32
  return _chsize_s(_fileno(file), static_cast<__int64>(size)) == 0;
#else
  return ftruncate(fileno(file), static_cast<off_t>(size)) == 0;
#endif
}

int ProcessId() {
#ifdef _WIN32
  return _getpid();
#else
  return static_cast<int>(getpid());
#endif
}

// A name no other run and no other file of this run uses.
fs::path TemporaryName(const fs::path& folder) {
  static std::atomic<unsigned> counter{0};
  return folder / ("lvpack-" + std::to_string(ProcessId()) + "-" + std::to_string(counter++) +
                   ".lvpack-tmp");
}

fs::path FolderOf(const fs::path& path) {
  return path.has_parent_path() ? path.parent_path() : fs::path(".");
}

}  // namespace

std::string PathText(const fs::path& path) {
  const auto u8 = path.u8string();
  return std::string(u8.begin(), u8.end());
}

fs::path PathFromUtf8(const std::string& utf8) { return fs::u8path(utf8); }

std::string ErrnoText(int error) { return std::generic_category().message(error); }

void SourceWindow::ReadAt(std::uint64_t offset, void* buffer, std::size_t n) const {
  if (offset > length_ || n > length_ - offset)
    throw IoError("read beyond the end of a " + std::to_string(length_) + "-byte part");
  base_.ReadAt(offset_ + offset, buffer, n);
}

void MemorySink::Write(const void* data, std::size_t n) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  bytes_.insert(bytes_.end(), p, p + n);
}

void MemorySink::WriteAt(std::uint64_t offset, const void* data, std::size_t n) {
  if (offset + n > bytes_.size()) bytes_.resize(static_cast<std::size_t>(offset + n));
  std::memcpy(bytes_.data() + offset, data, n);
}

InputFile::InputFile(const fs::path& path) : path_(path) {
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (!fs::exists(status)) throw ToolError(PathText(path) + ": file not found");
  if (!fs::is_regular_file(status))
    throw ToolError(PathText(path) + ": not a regular file (a folder, FIFO or device)");
  file_ = OpenFile(path, "rb");
  if (file_ == nullptr)
    throw IoError(PathText(path) + ": cannot open for reading: " + ErrnoText(errno));
  const std::uintmax_t size = fs::file_size(path, ec);
  if (ec) {
    std::fclose(file_);
    throw IoError(PathText(path) + ": cannot read its size: " + ec.message());
  }
  size_ = size;
}

InputFile::~InputFile() {
  if (file_ != nullptr) std::fclose(file_);
}

void InputFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t n) const {
  if (offset > size_ || n > size_ - offset)
    throw IoError(PathText(path_) + ": ends at byte " + std::to_string(size_) + ", before byte " +
                  std::to_string(offset + n) + " that is needed");
  errno = 0;
  if (!SeekFile(file_, offset) || std::fread(buffer, 1, n, file_) != n)
    throw IoError(PathText(path_) + ": read error" +
                  (errno != 0 ? ": " + ErrnoText(errno) : ": the file became shorter"));
}

WorkFile::WorkFile(const fs::path& path, const fs::path& shown) : path_(path), shown_(shown) {
  registration_ = RegisterTemporary(path_);
  file_ = OpenFile(path_, "w+b");
  if (file_ == nullptr) {
    const int error = errno;
    ForgetTemporary(registration_);
    throw IoError(PathText(shown_) + ": cannot create " + PathText(path_) + ": " + ErrnoText(error));
  }
}

WorkFile::~WorkFile() { Discard(); }

void WorkFile::SeekTo(std::uint64_t offset) const {
  if (file_ == nullptr) throw IoError(PathText(shown_) + ": " + PathText(path_) + " is closed already");
  if (!SeekFile(file_, offset))
    throw IoError(PathText(shown_) + ": cannot seek in " + PathText(path_) + ": " + ErrnoText(errno));
}

void WorkFile::Write(const void* data, std::size_t n) {
  WriteAt(position_, data, n);
  position_ += n;
}

void WorkFile::WriteAt(std::uint64_t offset, const void* data, std::size_t n) {
  if (n == 0) return;
  SeekTo(offset);
  if (std::fwrite(data, 1, n, file_) != n)
    throw IoError(PathText(shown_) + ": write error: " + ErrnoText(errno));
  end_ = std::max(end_, offset + n);
}

void WorkFile::Truncate(std::uint64_t size) {
  Flush();
  if (!TruncateFile(file_, size))
    throw IoError(PathText(shown_) + ": cannot shorten " + PathText(path_) + ": " + ErrnoText(errno));
  end_ = size;
  position_ = size;
}

void WorkFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t n) const {
  if (offset > end_ || n > end_ - offset)
    throw IoError(PathText(shown_) + ": read beyond the end of " + PathText(path_));
  SeekTo(offset);
  if (std::fread(buffer, 1, n, file_) != n)
    throw IoError(PathText(shown_) + ": read error in " + PathText(path_) + ": " + ErrnoText(errno));
}

void WorkFile::Flush() {
  if (file_ != nullptr && std::fflush(file_) != 0)
    throw IoError(PathText(shown_) + ": write error: " + ErrnoText(errno));
}

void WorkFile::Close() {
  if (file_ == nullptr) return;
  const bool ok = std::fflush(file_) == 0;
  const int error = errno;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!ok || !closed) throw IoError(PathText(shown_) + ": write error: " + ErrnoText(error));
}

void WorkFile::Discard() {
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (!path_.empty()) {
    std::error_code ignored;
    fs::remove(path_, ignored);
    path_.clear();
  }
  ForgetTemporary(registration_);
  registration_ = -1;
}

void RequireWritableTarget(const fs::path& target) {
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(target, ec);
  if (fs::exists(status) && !fs::is_regular_file(status))
    throw ToolError(PathText(target) +
                    ": exists and is not a regular file (a folder, link, FIFO or device); "
                    "nothing written");
  if (!fs::is_directory(FolderOf(target), ec))
    throw ToolError(PathText(target) + ": the folder " + PathText(FolderOf(target)) +
                    " does not exist");
}

namespace {
// The temporary file beside a target that may be replaced.
fs::path TemporaryBeside(const fs::path& target) {
  RequireWritableTarget(target);
  return TemporaryName(FolderOf(target));
}
}  // namespace

OutputFile::OutputFile(const fs::path& target) : WorkFile(TemporaryBeside(target), target) {}

OutputFile::~OutputFile() {
  if (!committed_) Discard();
}

namespace {
// The finished temporary file takes the target's name.
void RenameInto(const fs::path& from, const fs::path& target) {
  std::error_code ec;
  fs::rename(from, target, ec);
  if (ec) throw IoError(PathText(target) + ": cannot give the finished file this name: " + ec.message());
}
}  // namespace

void OutputFile::Commit() {
  Close();
  RenameInto(path_, shown_);
  committed_ = true;
  path_.clear();  // renamed: nothing left to remove
  Discard();
}

ForeignOutput::ForeignOutput(const fs::path& target)
    : path_(TemporaryBeside(target)), target_(target), registration_(RegisterTemporary(path_)) {}

ForeignOutput::~ForeignOutput() {
  if (!path_.empty()) {
    std::error_code ignored;
    fs::remove(path_, ignored);
  }
  ForgetTemporary(registration_);
}

void ForeignOutput::Commit() {
  RenameInto(path_, target_);
  path_.clear();
}

namespace {
fs::path ScratchFolder() {
  std::error_code ec;
  fs::path folder = fs::temp_directory_path(ec);
  return ec ? fs::path(".") : folder;
}
}  // namespace

ScratchFile::ScratchFile(const fs::path& shownAs) : WorkFile(TemporaryName(ScratchFolder()), shownAs) {}

ScratchFile::~ScratchFile() { Discard(); }

void RequireNotAnInput(const fs::path& output, const std::vector<fs::path>& inputs) {
  std::error_code ec;
  if (!fs::exists(output, ec)) return;
  for (const fs::path& input : inputs)
    if (fs::equivalent(output, input, ec))
      throw ToolError(PathText(output) + ": is an input (" + PathText(input) +
                      "); give another output file, nothing written");
}

Bytes ReadFileBytes(const fs::path& path) {
  InputFile file(path);
  if (file.Size() > kWholeFileLimit)
    throw ToolError(PathText(path) + ": " + std::to_string(file.Size()) +
                    " bytes; too large for this file's purpose");
  Bytes bytes(static_cast<std::size_t>(file.Size()));
  if (!bytes.empty()) file.ReadAt(0, bytes.data(), bytes.size());
  return bytes;
}

void WriteFileAtomic(const fs::path& path, const Bytes& bytes) {
  OutputFile out(path);
  out.Write(bytes.data(), bytes.size());
  out.Commit();
}

void CopyRange(const ByteSource& from, std::uint64_t offset, std::uint64_t length, ByteSink& to,
               const ProgressFn& progress) {
  Bytes block(static_cast<std::size_t>(std::min<std::uint64_t>(length, kStreamBlock)));
  for (std::uint64_t done = 0; done < length;) {
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(length - done, block.size()));
    from.ReadAt(offset + done, block.data(), n);
    to.Write(block.data(), n);
    done += n;
    if (progress) progress(done, length);
  }
}

}  // namespace lvpack
