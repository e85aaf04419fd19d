#include "tools/lvpack/Builder.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "dcl/DclBuffer.h"
#include "payload/ImageLayout.h"
#include "payload/SafeNames.h"
#include "payload/SaverDataFormat.h"
#include "system/Cp932.h"
#include "tools/lvpack/ToolError.h"

namespace lvpack {
namespace {

constexpr std::uint64_t kMaxInstallerSize =
    static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());

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

class Assembler {
 public:
  Assembler(const PackagePlan& plan, const BuildOptions& options)
      : plan_(plan), options_(options) {}

  Bytes Run() {
    Bytes image = LoadImage();
    const std::uint64_t payloadOffset = image.size();

    payload::PayloadBlock block;
    block.header.contentKind = plan_.contentKind;
    block.header.showLicense = plan_.showLicense ? 1 : 0;
    block.header.hasDocument = plan_.hasDocument ? 1 : 0;
    block.header.offerDisplayProperties = plan_.offerDisplayProperties ? 1 : 0;
    payload::SetScreenSaverName(block.header, plan_.saverName);

    std::vector<Bytes> data(payload::kSlotCount);
    std::uint64_t cursor = payloadOffset + payload::kBlockSize;
    for (int slot = 0; slot < payload::kSlotCount; ++slot) {
      const SlotPlan& s = plan_.slots[static_cast<std::size_t>(slot)];
      payload::PayloadRecord& r = *block.Slot(slot);
      r.destination = s.destination;
      r.compressed = s.compressed ? 1 : 0;
      if (slot == payload::kSlotInstallerImage) {
        SetName(r, slot, ImageName());
        r.firstByte = 0;
        r.lastByte = static_cast<std::int32_t>(payloadOffset - 1);
        r.unpackedSize = static_cast<std::int32_t>(payloadOffset);
        continue;
      }
      Bytes file = SlotFile(slot);
      if (file.empty() && !s.file && !s.content) {
        if (IsRequiredSlot(slot, plan_.contentKind, plan_.showLicense, plan_.hasDocument))
          Fail(SlotField(slot), "required for this package, but no file is given");
        r.firstByte = r.lastByte = static_cast<std::int32_t>(std::min(cursor, kMaxInstallerSize));
        continue;
      }
      SetName(r, slot, RecordName(slot));
      const auto unpacked = static_cast<std::uint64_t>(file.size());
      Bytes stored;
      if (s.compressed) {
        Progress("compressing slot " + std::to_string(slot) + " (" + Role(slot) + ", " +
                 std::to_string(file.size()) + " bytes)");
        stored = Implode(file, s.compression, SlotField(slot));
      } else {
        if (file.empty())
          Fail(SlotField(slot) + ".file", "is empty: a stored record holds at least one byte "
                                          "(compress it, or give a file with content)");
        stored = std::move(file);
      }
      if (cursor + stored.size() > kMaxInstallerSize || unpacked > kMaxInstallerSize)
        Fail(SlotField(slot), "the installer would exceed 2 GB");
      r.firstByte = static_cast<std::int32_t>(cursor);
      r.lastByte = static_cast<std::int32_t>(cursor + stored.size() - 1);
      r.unpackedSize = static_cast<std::int32_t>(unpacked);
      r.packedSize = s.compressed ? static_cast<std::uint32_t>(stored.size()) : 0;
      cursor += stored.size();
      data[static_cast<std::size_t>(slot)] = std::move(stored);
    }

    if (const rc::Result r = payload::PatchPayloadOffset(image, static_cast<std::uint32_t>(payloadOffset));
        r != rc::kOk)
      throw ToolError(PathText(imagePath_) + ": " + ImageProblem(r));
    Bytes out = std::move(image);
    out.reserve(static_cast<std::size_t>(cursor));
    const auto blockBytes = payload::SerializeBlock(block);
    out.insert(out.end(), blockBytes.begin(), blockBytes.end());
    for (const Bytes& d : data) out.insert(out.end(), d.begin(), d.end());
    return out;
  }

 private:
  [[noreturn]] void Fail(const std::string& field, const std::string& what) const {
    throw ToolError(PathText(plan_.manifestPath) + ": " + field + ": " + what);
  }

  static std::string Role(int slot) { return kSlotRoles[static_cast<std::size_t>(slot)]; }
  static std::string SlotField(int slot) { return "slots." + Role(slot); }

  void Progress(const std::string& text) const {
    if (options_.progress) options_.progress(text);
  }

  Bytes LoadImage() {
    if (options_.image) imagePath_ = *options_.image;
    else if (plan_.slots[0].file) imagePath_ = *plan_.slots[0].file;
    else if (plan_.image) imagePath_ = *plan_.image;
    else Fail("image", "no installer image given (set \"image\" or use --image)");
    Bytes image = ReadFileBytes(imagePath_);
    std::size_t field = 0;
    if (const rc::Result r = payload::FindPayloadOffsetField(image.data(), image.size(), field);
        r != rc::kOk)
      throw ToolError(PathText(imagePath_) + ": " + ImageProblem(r));
    if (image.size() + payload::kBlockSize > kMaxInstallerSize)
      throw ToolError(PathText(imagePath_) + ": image too large");
    return image;
  }

  static std::string ImageProblem(rc::Result r) {
    return r == rc::kNotPeImage
               ? "not an x86 or x64 Windows executable (installer image expected)"
               : "has no usable \".lvpoff\" section for PayloadOffset (not this project's installer image)";
  }

  std::string ImageName() const {
    return plan_.slots[0].name ? *plan_.slots[0].name : DefaultName(0, plan_.saverName);
  }

  std::string RecordName(int slot) const {
    const SlotPlan& s = plan_.slots[static_cast<std::size_t>(slot)];
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

  Bytes SlotFile(int slot) const {
    const SlotPlan& s = plan_.slots[static_cast<std::size_t>(slot)];
    if (s.content) return BuildDataFile(plan_, *s.content, SlotField(slot) + ".content");
    if (s.file) return ReadFileBytes(*s.file);
    return {};
  }

  const PackagePlan& plan_;
  const BuildOptions& options_;
  fs::path imagePath_;
};

[[noreturn]] void FailAt(const PackagePlan& plan, const std::string& field, const std::string& what) {
  throw ToolError(PathText(plan.manifestPath) + ": " + field + ": " + what);
}

// Files below `folder`, sorted, as paths relative to it.
std::vector<fs::path> ContentFiles(const fs::path& folder) {
  std::vector<fs::path> files;
  for (const auto& item : fs::recursive_directory_iterator(folder))
    if (item.is_regular_file()) files.push_back(fs::relative(item.path(), folder));
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

bool IsRequiredSlot(int slot, std::uint8_t contentKind, bool showLicense, bool hasDocument) {
  switch (slot) {
    case payload::kSlotDecompressor:
      return true;
    case payload::kSlotPresentation:
      return contentKind == payload::kContentBitmap || contentKind == payload::kContentMovie ||
             contentKind == payload::kContentMovieAlt || contentKind == payload::kContentJpeg;
    case payload::kSlotLicense:
      return showLicense && contentKind != payload::kContentSilent;
    case payload::kSlotDocument:
      return hasDocument;
    default:
      return slot >= payload::kSlotSaverProgram && slot <= payload::kSlotEngine2;
  }
}

Bytes Implode(const Bytes& input, const Compression& compression, const std::string& what) {
  dcl::ImplodeResult r = dcl::ImplodeBuffer(input, compression.mode, compression.dictionary);
  if (r.code != rc::kDclOk)
    throw ToolError(what + ": compression failed (library code " + std::to_string(r.code) + ")");
  return std::move(r.data);
}

Bytes BuildDataFile(const PackagePlan& plan, const DataFileContent& content,
                    const std::string& field) {
  payload::SaverDataFile file;
  if (content.settingsFile) {
    const Bytes settings = ReadFileBytes(*content.settingsFile);
    if (settings.size() != payload::kSettingsSize)
      FailAt(plan, field + ".settings",
             PathText(*content.settingsFile) + " has " + std::to_string(settings.size()) +
                 " bytes; a settings block has exactly 1240");
    std::copy(settings.begin(), settings.end(), file.settings.bytes.begin());
  }
  if (content.saverContentKind)
    file.settings.SetSaverContentKind(*content.saverContentKind);
  else if (!content.movieEntry.empty())
    file.settings.SetSaverContentKind(payload::kSaverContentInstallerMovie);

  if (!content.movieEntry.empty()) {
    payload::SaverContent movie;
    movie.kind = payload::kEntryKindInstallerMovie;
    movie.name = content.movieEntry;
    file.entries.push_back(movie);
  }
  if (content.folder) {
    for (const fs::path& relative : ContentFiles(*content.folder)) {
      // Entry names use the installer's separator, in code page 932.
      std::string name;
      for (const fs::path& part : relative) {
        std::string bytes;
        if (!text::Utf8ToCp932(PathText(part), bytes))
          FailAt(plan, field + ".folder", "\"" + PathText(relative) +
                                              "\": code page 932 cannot hold this name");
        name += (name.empty() ? "" : "\\") + bytes;
      }
      if (name.size() >= payload::kEntryNameSize || payload::ValidateEntryName(name) != rc::kOk)
        FailAt(plan, field + ".folder", "\"" + PathText(relative) +
                                            "\" cannot be an entry name (too long, or not a "
                                            "plain name)");
      if (name == content.movieEntry)
        FailAt(plan, field + ".folder", "\"" + PathText(relative) + "\" is also the movieEntry");
      payload::SaverContent entry;
      entry.name = name;
      Bytes data = ReadFileBytes(*content.folder / relative);
      if (data.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        FailAt(plan, field + ".folder", "\"" + PathText(relative) + "\" is too large");
      entry.unpackedSize = static_cast<std::int32_t>(data.size());
      entry.compressed = content.compressed;
      entry.data = content.compressed ? Implode(data, content.compression, field) : std::move(data);
      file.entries.push_back(std::move(entry));
    }
  }
  if (file.entries.size() > static_cast<std::size_t>(payload::kMaxEntryCount))
    FailAt(plan, field, std::to_string(file.entries.size()) + " entries; a data file holds at most " +
                            std::to_string(payload::kMaxEntryCount));
  Bytes bytes;
  if (payload::SerializeSaverDataFile(file, bytes) != rc::kOk)
    FailAt(plan, field, "the data file would exceed its format's limits");
  return bytes;
}

Bytes BuildInstaller(const PackagePlan& plan, const BuildOptions& options) {
  return Assembler(plan, options).Run();
}

}  // namespace lvpack
