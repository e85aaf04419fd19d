// Files for the tool: random-access reading, streaming writing, and atomic
// replacement of outputs. Everything streams in blocks, so memory does not
// grow with the files. Paths are std::filesystem paths; texts for the user are
// UTF-8 and name the file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace lvpack {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

// Bytes moved per read or write while streaming.
constexpr std::size_t kStreamBlock = 256 * 1024;

// Long work reports its progress: bytes done of a total.
using ProgressFn = std::function<void(std::uint64_t done, std::uint64_t total)>;

// A path as UTF-8 text for messages.
std::string PathText(const fs::path& path);
// A UTF-8 text (from a manifest or the command line) as a path.
fs::path PathFromUtf8(const std::string& utf8);
// The system's words for an error number, e.g. "No space left on device".
std::string ErrnoText(int error);

// Bytes that can be read at any offset.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::uint64_t Size() const = 0;
  // Reads exactly `n` bytes at `offset`; ToolError (I/O) naming the source otherwise.
  virtual void ReadAt(std::uint64_t offset, void* buffer, std::size_t n) const = 0;
};

// A stretch of another source, seen as a source of its own.
class SourceWindow : public ByteSource {
 public:
  SourceWindow(const ByteSource& base, std::uint64_t offset, std::uint64_t length)
      : base_(base), offset_(offset), length_(length) {}
  std::uint64_t Size() const override { return length_; }
  void ReadAt(std::uint64_t offset, void* buffer, std::size_t n) const override;

 private:
  const ByteSource& base_;
  std::uint64_t offset_;
  std::uint64_t length_;
};

// Where streamed output goes: appended at the position, with earlier bytes
// patched in place (headers written once their values are known).
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void Write(const void* data, std::size_t n) = 0;
  virtual void WriteAt(std::uint64_t offset, const void* data, std::size_t n) = 0;
  virtual std::uint64_t Position() const = 0;
  // Drops everything from `size` on; writing continues there.
  virtual void Truncate(std::uint64_t size) = 0;
};

class MemorySink : public ByteSink {
 public:
  void Write(const void* data, std::size_t n) override;
  void WriteAt(std::uint64_t offset, const void* data, std::size_t n) override;
  std::uint64_t Position() const override { return bytes_.size(); }
  void Truncate(std::uint64_t size) override { bytes_.resize(static_cast<std::size_t>(size)); }
  Bytes& bytes() { return bytes_; }

 private:
  Bytes bytes_;
};

// An existing regular file, open for reading. ToolError when it does not
// exist or is not a regular file (input), or cannot be opened (I/O).
class InputFile : public ByteSource {
 public:
  explicit InputFile(const fs::path& path);
  ~InputFile() override;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  std::uint64_t Size() const override { return size_; }
  void ReadAt(std::uint64_t offset, void* buffer, std::size_t n) const override;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
  std::FILE* file_ = nullptr;
  std::uint64_t size_ = 0;
};

// A file written from scratch, readable and writable; the base of OutputFile
// and ScratchFile. Its path is registered so that an interrupt removes it.
class WorkFile : public ByteSink, public ByteSource {
 public:
  ~WorkFile() override;
  WorkFile(const WorkFile&) = delete;
  WorkFile& operator=(const WorkFile&) = delete;

  void Write(const void* data, std::size_t n) override;
  void WriteAt(std::uint64_t offset, const void* data, std::size_t n) override;
  std::uint64_t Position() const override { return position_; }
  void Truncate(std::uint64_t size) override;
  std::uint64_t Size() const override { return end_; }
  void ReadAt(std::uint64_t offset, void* buffer, std::size_t n) const override;
  // Writes buffered bytes through; ToolError (I/O) naming `shown` on failure.
  void Flush();
  const fs::path& path() const { return path_; }

 protected:
  // Creates `path`; `shown` is the file the user knows (named in messages).
  WorkFile(const fs::path& path, const fs::path& shown);
  // Closes and deletes the file, if still there.
  void Discard();
  // Closes the file; ToolError (I/O) when buffered bytes cannot be written.
  void Close();

  fs::path path_;
  fs::path shown_;

 private:
  void SeekTo(std::uint64_t offset) const;
  std::FILE* file_ = nullptr;
  std::uint64_t position_ = 0;
  std::uint64_t end_ = 0;
  int registration_ = -1;
};

// An output written atomically: into a temporary file beside `target`, which
// Commit renames over the target. Without Commit (a failure, an exception) the
// temporary file is removed and the target stays as it was. A target that
// exists but is not a regular file (a folder, link, FIFO or device) is refused.
class OutputFile : public WorkFile {
 public:
  explicit OutputFile(const fs::path& target);
  ~OutputFile() override;
  void Commit();
  const fs::path& target() const { return shown_; }

 private:
  bool committed_ = false;
};

// An output that another program writes: a free temporary name beside
// `target` for it to create, removed on failure or interrupt, renamed over the
// target by Commit. The target is refused as OutputFile refuses it.
class ForeignOutput {
 public:
  explicit ForeignOutput(const fs::path& target);
  ~ForeignOutput();
  ForeignOutput(const ForeignOutput&) = delete;
  ForeignOutput& operator=(const ForeignOutput&) = delete;
  const fs::path& path() const { return path_; }
  void Commit();

 private:
  fs::path path_;
  fs::path target_;
  int registration_ = -1;
};

// A temporary file in the system's temporary folder, removed when destroyed.
class ScratchFile : public WorkFile {
 public:
  explicit ScratchFile(const fs::path& shownAs);
  ~ScratchFile() override;
  // Ends writing and closes the file (Windows lets no reader in while a
  // writer has it open); the file stays until the object goes.
  void Finish() { Close(); }
};

// ToolError (input) when `target` exists and is not a regular file.
void RequireWritableTarget(const fs::path& target);

// ToolError (input) when `output` exists and is one of `inputs` (the same
// file under any name): replacing it would destroy an input.
void RequireNotAnInput(const fs::path& output, const std::vector<fs::path>& inputs);

// Reads a whole small file (manifests, settings blocks); ToolError naming it.
Bytes ReadFileBytes(const fs::path& path);

// Writes `bytes` atomically (see OutputFile).
void WriteFileAtomic(const fs::path& path, const Bytes& bytes);

// Copies `length` bytes of `from` at `offset` to the end of `to`.
void CopyRange(const ByteSource& from, std::uint64_t offset, std::uint64_t length, ByteSink& to,
               const ProgressFn& progress = {});

}  // namespace lvpack
