#include "tools/lvpack/Builder.h"

#include <algorithm>
#include <array>
#include <limits>

#include "payload/ImageLayout.h"
#include "payload/LittleEndian.h"
#include "payload/SafeNames.h"
#include "payload/SaverDataFormat.h"
#include "system/Cp932.h"
#include "tools/lvpack/ContentFolder.h"
#include "tools/lvpack/Installer.h"
#include "tools/lvpack/PackageRules.h"
#include "tools/lvpack/ToolError.h"

namespace lvpack {
namespace {

// Sizes and offsets of records and data-file chunks are signed 32-bit values.
constexpr std::uint64_t kMaxRecordSize = std::numeric_limits<std::int32_t>::max();
// PE headers lie in the first bytes of an image.
constexpr std::size_t kImageHeaderWindow = 64 * 1024;

// Reference names of the slots that have a fixed one.
std::string DefaultName(int slot, const std::string& saverName) {
  switch (slot) {
    case payload::kSlotInstallerImage: return "install.exe";
    case payload::kSlotDecompressor: return std::string(payload::kDecompressorStoredName);
    case payload::kSlotFlashSetup: return std::string(payload::kFlashSetupName);
    case payload::kSlotPresentation: return "installer.swf";
    case payload::kSlotSaverProgram: return saverName + ".scr";
    case payload::kSlotSaverDataFile: return saverName + ".ssd";
    case payload::kSlotEngine1: return "saver1.dll";
    case payload::kSlotEngine2: return "saver2.dll";
    default: return "";  // licence, document, further file: named after their file
  }
}

std::string WithSeparators(std::uint64_t n) {
  std::string digits = std::to_string(n);
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
    digits.insert(static_cast<std::size_t>(at), ",");
  return digits;
}

struct Written {
  std::uint64_t stored = 0;  // bytes in the output
  bool compressed = false;
};

class Assembler {
 public:
  Assembler(const PackagePlan& plan, const BuildOptions& options) : plan_(plan), options_(options) {
    // Everything that can be judged before writing: the output's folder may
    // be the content folder, whose listing must not see the output.
    OpenImage();
    ScanContent();
    CheckInputSizes();
  }

  BuildReport Run(ByteSink& out) {
    out_ = &out;
    const std::uint64_t payloadOffset = image_->Size();
    CopyRange(*image_, 0, payloadOffset, *out_, Progress("copying the installer image"));
    std::uint8_t field[4];
    payload::StoreU32(field, static_cast<std::uint32_t>(payloadOffset));
    out_->WriteAt(fieldOffset_, field, sizeof field);
    const std::array<std::uint8_t, payload::kBlockSize> placeholder{};
    out_->Write(placeholder.data(), placeholder.size());

    payload::PayloadBlock block;
    block.header.contentKind = plan_.contentKind;
    block.header.showLicense = plan_.showLicense ? 1 : 0;
    block.header.hasDocument = plan_.hasDocument ? 1 : 0;
    block.header.offerDisplayProperties = plan_.offerDisplayProperties ? 1 : 0;
    payload::SetScreenSaverName(block.header, plan_.saverName);

    payload::PayloadRecord& image = *block.Slot(payload::kSlotInstallerImage);
    image.destination = plan_.slots[0].destination;
    SetName(image, 0, ImageName());
    image.lastByte = static_cast<std::int32_t>(payloadOffset - 1);
    image.unpackedSize = static_cast<std::int32_t>(payloadOffset);
    for (int slot = 1; slot < payload::kSlotCount; ++slot) WriteSlot(slot, *block.Slot(slot));

    const auto blockBytes = payload::SerializeBlock(block);
    out_->WriteAt(payloadOffset, blockBytes.data(), blockBytes.size());
    report_.size = out_->Position();
    return report_;
  }

  const std::vector<fs::path>& inputs() const { return inputs_; }

 private:
  [[noreturn]] void Fail(const std::string& field, const std::string& what) const {
    throw ToolError(PathText(plan_.manifestPath) + ": " + field + ": " + what);
  }

  static std::string Role(int slot) { return kSlotRoles[static_cast<std::size_t>(slot)]; }
  static std::string SlotField(int slot) { return "slots." + Role(slot); }
  const SlotPlan& Plan(int slot) const { return plan_.slots[static_cast<std::size_t>(slot)]; }

  ProgressFn Progress(const std::string& step) const {
    if (!options_.progress) return {};
    const auto& progress = options_.progress;
    return [progress, step](std::uint64_t done, std::uint64_t total) { progress(step, done, total); };
  }

  std::unique_ptr<InputFile> Open(const fs::path& path) {
    inputs_.push_back(path);
    return std::make_unique<InputFile>(path);
  }

  void OpenImage() {
    if (options_.image) imagePath_ = *options_.image;
    else if (Plan(0).file) imagePath_ = *Plan(0).file;
    else if (plan_.image) imagePath_ = *plan_.image;
    else Fail("image", "no installer image given (set \"image\" or use --image)");
    image_ = Open(imagePath_);
    const std::string name = PathText(imagePath_);
    Bytes headers(static_cast<std::size_t>(std::min<std::uint64_t>(image_->Size(), kImageHeaderWindow)));
    if (!headers.empty()) image_->ReadAt(0, headers.data(), headers.size());
    const rc::Result r =
        payload::FindPayloadOffsetField(headers.data(), headers.size(), image_->Size(), fieldOffset_);
    if (r == rc::kNotPeImage)
      throw ToolError(name + ": not an x86 or x64 Windows executable (installer image expected)");
    if (r != rc::kOk)
      throw ToolError(name + ": has no usable \".lvpoff\" section for PayloadOffset (not this "
                             "project's installer image)");
    std::uint8_t field[4];
    image_->ReadAt(fieldOffset_, field, sizeof field);
    if (payload::LoadU32(field) != 0)
      throw ToolError(name + ": an installer that already carries a package, not the bare image; "
                             "use the installer image of the build (app/install.exe), or get it "
                             "back with: lvpack extract " + name + " installerImage -d FOLDER");
    payload::CertificateTable certificates;
    if (payload::FindCertificateTable(headers.data(), headers.size(), certificates) == rc::kOk &&
        certificates.offset != 0)
      throw ToolError(name + ": the image is signed; build from the unsigned image and sign the "
                             "installer afterwards (lvpack sign)");
  }

  void ScanContent() {
    const SlotPlan& s = Plan(payload::kSlotSaverDataFile);
    if (!s.content || !s.content->folder) return;
    content_ = ScanContentFolder(*s.content->folder, s.content->movieEntry,
                                 PathText(plan_.manifestPath) + ": " + SlotField(8) + ".content.folder");
    for (const ContentFile& file : content_) inputs_.push_back(file.source);
  }

  // Sizes known before writing: files too large for a record, and stored
  // records that alone would pass the package's limit, end the build at once.
  void CheckInputSizes() {
    std::uint64_t stored = image_->Size() + payload::kBlockSize;
    for (int slot = 1; slot < payload::kSlotCount; ++slot) {
      const SlotPlan& s = Plan(slot);
      if (!s.file) continue;
      std::error_code ec;
      const std::uintmax_t size = fs::file_size(*s.file, ec);
      if (ec) continue;  // reported when the file is opened
      if (size > kMaxRecordSize)
        Fail(SlotField(slot) + ".file", PathText(*s.file) + " has " + WithSeparators(size) +
                                            " bytes; a record holds at most " +
                                            WithSeparators(kMaxRecordSize));
      if (!s.compressed) stored += size;
    }
    if (stored > kMaxInstallerSize) FailTooLarge(stored);
  }

  [[noreturn]] void FailTooLarge(std::uint64_t size) const {
    throw ToolError(PathText(plan_.manifestPath) + ": the installer would take " +
                    WithSeparators(size) + " bytes; its package's 32-bit offsets reach " +
                    WithSeparators(kMaxInstallerSize) + " bytes (2 GiB) at most");
  }

  std::string ImageName() const {
    return Plan(0).name ? *Plan(0).name : DefaultName(0, plan_.saverName);
  }

  std::string RecordName(int slot) const {
    const SlotPlan& s = Plan(slot);
    if (s.name) return *s.name;
    std::string name = DefaultName(slot, plan_.saverName);
    if (!name.empty()) return name;
    const std::string utf8 = PathText(s.file->filename());
    if (!text::Utf8ToCp932(utf8, name))
      Fail(SlotField(slot) + ".file", "the file name \"" + utf8 +
                                          "\" has characters that code page 932 cannot hold; "
                                          "give \"name\"");
    if (name.size() > payload::kRecordNameSize || !payload::IsPlainFileName(name))
      Fail(SlotField(slot) + ".file", "the file name \"" + utf8 +
                                          "\" cannot be stored as a record name; give \"name\"");
    return name;
  }

  void SetName(payload::PayloadRecord& r, int slot, const std::string& name) const {
    if (!r.SetName(name)) Fail(SlotField(slot) + ".name", "longer than 255 bytes");
  }

  void WriteSlot(int slot, payload::PayloadRecord& r) {
    const SlotPlan& s = Plan(slot);
    r.destination = s.destination;
    const auto cursor = static_cast<std::int32_t>(out_->Position());
    if (!s.file && !s.content) {
      if (IsRequiredSlot(slot, plan_.contentKind, plan_.showLicense, plan_.hasDocument))
        Fail(SlotField(slot), "required for this package, but no file is given");
      r.firstByte = r.lastByte = cursor;
      r.compressed = s.compressed ? 1 : 0;
      return;
    }
    SetName(r, slot, RecordName(slot));
    const std::string label = SlotField(slot);
    std::uint64_t unpacked = 0;
    Written w;
    if (s.content && s.compressed) {
      // The data file is made first, then imploded as a whole.
      ScratchFile data(plan_.manifestPath);
      unpacked = WriteDataFile(data, *s.content);
      data.Flush();
      w = WriteData(data, unpacked, s.compressed, s.alwaysCompressed, s.compression, label);
    } else if (s.content) {
      unpacked = WriteDataFile(*out_, *s.content);
      w.stored = unpacked;
    } else {
      const auto file = Open(*s.file);
      unpacked = file->Size();
      if (unpacked == 0 && !s.compressed)
        Fail(label + ".file", "is empty: a stored record holds at least one byte "
                              "(compress it, or give a file with content)");
      w = WriteData(*file, unpacked, s.compressed, s.alwaysCompressed, s.compression, label);
    }
    if (out_->Position() > kMaxInstallerSize) FailTooLarge(out_->Position());
    if (unpacked > kMaxRecordSize)
      Fail(label, "holds " + WithSeparators(unpacked) + " bytes; a record holds at most " +
                      WithSeparators(kMaxRecordSize));
    r.compressed = w.compressed ? 1 : 0;
    r.firstByte = cursor;
    r.lastByte = static_cast<std::int32_t>(cursor + w.stored - 1);
    r.unpackedSize = static_cast<std::int32_t>(unpacked);
    r.packedSize = w.compressed ? static_cast<std::uint32_t>(w.stored) : 0;
  }

  // Implodes `length` bytes of `from` into the output, or copies them: a
  // stream larger than the file is replaced by the file unless `always`.
  Written WriteData(const ByteSource& from, std::uint64_t length, bool compress, bool always,
                    const Compression& compression, const std::string& label) {
    const std::uint64_t start = out_->Position();
    if (compress) {
      const std::uint64_t n = ImplodeRange(from, 0, length, *out_, compression, label,
                                           Progress("imploding " + label));
      if (always || n <= length || length == 0) return {n, true};
      out_->Truncate(start);
      report_.notes.push_back(label + ": stored as it is: imploding gave " + WithSeparators(n) +
                              " bytes for " + WithSeparators(length));
    }
    CopyRange(from, 0, length, *out_, Progress("copying " + label));
    return {length, false};
  }

  // Writes the data file built from `content` at the sink's position; returns its length.
  std::uint64_t WriteDataFile(ByteSink& sink, const DataFileContent& content) {
    const std::string field = SlotField(payload::kSlotSaverDataFile) + ".content";
    payload::SaverSettings settings;
    if (content.settingsFile) {
      const auto file = Open(*content.settingsFile);
      if (file->Size() != payload::kSettingsSize)
        Fail(field + ".settings", PathText(*content.settingsFile) + " has " +
                                      std::to_string(file->Size()) +
                                      " bytes; a settings block has exactly 1240");
      file->ReadAt(0, settings.bytes.data(), settings.bytes.size());
    }
    if (content.saverContentKind)
      settings.SetSaverContentKind(*content.saverContentKind);
    else if (!content.movieEntry.empty())
      settings.SetSaverContentKind(payload::kSaverContentInstallerMovie);

    const bool movie = !content.movieEntry.empty();
    const auto count = static_cast<std::int32_t>(content_.size() + (movie ? 1 : 0));
    settings.SetEntryCount(count);
    const std::uint64_t base = sink.Position();
    Bytes table(payload::TableSize(count), 0);
    sink.Write(table.data(), table.size());
    std::copy(settings.bytes.begin(), settings.bytes.end(), table.begin());

    int storedAsIs = 0;
    for (std::int32_t i = 0; i < count; ++i) {
      payload::SaverEntry entry;
      payload::SaverChunkHeader header;
      const std::uint64_t chunk = sink.Position() - base;
      if (chunk + payload::kChunkHeaderSize > kMaxRecordSize)
        Fail(field, "the data file would pass " + WithSeparators(kMaxRecordSize) + " bytes");
      entry.chunkOffset = static_cast<std::int32_t>(chunk);
      std::array<std::uint8_t, payload::kChunkHeaderSize> headerBytes{};
      sink.Write(headerBytes.data(), headerBytes.size());
      if (movie && i == 0) {
        entry.kind = payload::kEntryKindInstallerMovie;
        entry.SetName(content.movieEntry);
      } else {
        const ContentFile& file = content_[static_cast<std::size_t>(i - (movie ? 1 : 0))];
        entry.SetName(file.entryName);
        const auto in = std::make_unique<InputFile>(file.source);
        const std::uint64_t size = in->Size();
        std::uint64_t stored = size;
        bool compressed = false;
        if (content.compressed) {
          const std::uint64_t start = sink.Position();
          stored = ImplodeRange(*in, 0, size, sink, content.compression, field,
                                Progress("imploding " + file.shown));
          compressed = true;
          if (!content.alwaysCompressed && stored > size && size != 0) {
            sink.Truncate(start);
            compressed = false;
            stored = size;
            ++storedAsIs;
          }
        }
        if (!compressed) CopyRange(*in, 0, size, sink, Progress("copying " + file.shown));
        if (size == 0)
          report_.notes.push_back(field + ": \"" + file.shown +
                                  "\" is empty: the installer writes no file for an empty entry");
        header.unpackedSize = static_cast<std::int32_t>(size);
        header.packedSize = static_cast<std::int32_t>(stored);
        header.compressed = compressed ? 1 : 0;
      }
      payload::SerializeChunkHeader(header, headerBytes.data());
      sink.WriteAt(base + chunk, headerBytes.data(), headerBytes.size());
      payload::SerializeEntry(entry, table.data() + payload::TableSize(i));
    }
    if (storedAsIs != 0)
      report_.notes.push_back(field + ": " + std::to_string(storedAsIs) +
                              (storedAsIs == 1 ? " entry" : " entries") +
                              " stored as it is (imploding made it larger)");
    sink.WriteAt(base, table.data(), table.size());
    const std::uint64_t length = sink.Position() - base;
    if (length > kMaxRecordSize)
      Fail(field, "the data file would take " + WithSeparators(length) + " bytes; at most " +
                      WithSeparators(kMaxRecordSize) + " fit");
    return length;
  }

  const PackagePlan& plan_;
  const BuildOptions& options_;
  ByteSink* out_ = nullptr;
  fs::path imagePath_;
  std::unique_ptr<InputFile> image_;
  std::size_t fieldOffset_ = 0;
  std::vector<ContentFile> content_;
  std::vector<fs::path> inputs_;
  BuildReport report_;
};

std::vector<fs::path> PlannedInputs(const PackagePlan& plan, const BuildOptions& options) {
  std::vector<fs::path> inputs{plan.manifestPath};
  if (options.image) inputs.push_back(*options.image);
  if (plan.image) inputs.push_back(*plan.image);
  for (const SlotPlan& s : plan.slots) {
    if (s.file) inputs.push_back(*s.file);
    if (s.content && s.content->settingsFile) inputs.push_back(*s.content->settingsFile);
  }
  return inputs;
}

// A problem of the built package, told in the manifest's words.
std::string InManifestTerms(const PackagePlan& plan, const Problem& p) {
  std::string field = p.field;
  if (p.slot >= 0)
    field = "slots." + std::string(kSlotRoles[static_cast<std::size_t>(p.slot)]) +
            (p.field.empty() ? "" : "." + p.field);
  return PathText(plan.manifestPath) + ": " + (field.empty() ? "" : field + ": ") + p.text;
}

}  // namespace

BuildReport WriteInstaller(const PackagePlan& plan, ByteSink& out, const BuildOptions& options) {
  return Assembler(plan, options).Run(out);
}

Bytes BuildInstaller(const PackagePlan& plan, const BuildOptions& options) {
  MemorySink sink;
  WriteInstaller(plan, sink, options);
  return std::move(sink.bytes());
}

BuildReport BuildInstallerFile(const PackagePlan& plan, const fs::path& output,
                               const BuildOptions& options) {
  RequireWritableTarget(output);
  RequireNotAnInput(output, PlannedInputs(plan, options));
  Assembler assembler(plan, options);
  OutputFile out(output);
  BuildReport report = assembler.Run(out);
  out.Flush();

  InstallerFile written = LoadInstaller(out.path());
  ProgressFn progress;
  if (options.progress) progress = [&options](std::uint64_t done, std::uint64_t total) {
    options.progress("checking the package", done, total);
  };
  const std::vector<Problem> problems = CheckPackage(written, progress);
  if (!problems.empty()) {
    std::string message;
    for (const Problem& p : problems) message += (message.empty() ? "" : "\n") + InManifestTerms(plan, p);
    throw ToolError(message + "\nnothing written: the installer could not install this package");
  }
  RequireNotAnInput(output, assembler.inputs());
  out.Commit();
  return report;
}

}  // namespace lvpack
