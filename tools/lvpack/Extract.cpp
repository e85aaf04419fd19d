#include "tools/lvpack/Extract.h"

#include <algorithm>
#include <array>
#include <map>

#include "payload/LittleEndian.h"
#include "payload/SafeNames.h"
#include "payload/SaverDataFormat.h"
#include "system/Cp932.h"
#include "tools/lvpack/RecordCodec.h"
#include "tools/lvpack/ToolError.h"
#include "tools/lvpack/Verify.h"

namespace lvpack {
namespace {

constexpr char kSettingsFileName[] = "saver.dat";
constexpr char kDataFolderSuffix[] = " dir";  // the installed data folder: "<saverName> dir"

// Decoding can turn a safe code-page-932 name into one with a separator only
// in theory (0x5C trail bytes decode to other characters); check once more.
void RequirePlain(const std::string& utf8, const std::string& label) {
  if (utf8.empty() || utf8 == "." || utf8 == ".." || utf8.find_first_of("\\/:") != std::string::npos)
    throw IoError(label + ": name is not a plain file name");
}

// An entry name (code page 932, "\" or "/" separators) as a path below `folder`.
fs::path EntryPath(const fs::path& folder, const std::string& name, const std::string& label) {
  fs::path path = folder;
  std::string part;
  for (char c : text::Cp932ToUtf8(name) + "\\") {
    if (c != '\\' && c != '/') {
      part += c;
      continue;
    }
    RequirePlain(part, label);
    path /= PathFromUtf8(part);
    part.clear();
  }
  return path;
}

void MakeFolders(const fs::path& folder) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) throw IoError(PathText(folder) + ": cannot create the folder: " + ec.message());
}

class Extractor {
 public:
  Extractor(const InstallerFile& file, const fs::path& folder, const ExtractOptions& options)
      : file_(file), folder_(folder), options_(options) {}

  std::vector<fs::path> Run() {
    std::vector<int> slots = options_.slots;
    if (slots.empty())
      for (int slot = 0; slot < payload::kSlotCount; ++slot)
        if (!file_.block.Slot(slot)->IsEmpty()) slots.push_back(slot);
    // Every target is known before anything is written: two records of one
    // name (they go to different folders on the target) would meet here.
    std::map<std::string, int> names;
    for (int slot : slots) {
      const payload::PayloadRecord* r = file_.block.Slot(slot);
      if (r == nullptr) throw ToolError("slot " + std::to_string(slot) + ": no such slot (0 to 10)");
      if (r->IsEmpty())
        throw ToolError(PathText(file_.path) + ": " + SlotLabel(file_, slot) + ": empty, nothing to extract");
      RequireNotAnInput(folder_ / PathFromUtf8(text::Cp932ToUtf8(r->Name())), {file_.path});
      const auto [it, added] = names.emplace(payload::FoldedName(r->Name()), slot);
      if (!added)
        throw ToolError(PathText(file_.path) + ": " + SlotLabel(file_, slot) + " and " +
                        SlotLabel(file_, it->second) +
                        " have one name; extract them into different folders");
    }
    const auto problems = VerifyInstaller(file_, options_.progress);
    if (!problems.empty()) {
      std::string message = PathText(file_.path) + ": the package is damaged; nothing extracted";
      for (const std::string& p : problems) message += "\n" + PathText(file_.path) + ": " + p;
      throw IoError(message);
    }
    MakeFolders(folder_);
    for (int slot : slots) {
      const payload::PayloadRecord& r = *file_.block.Slot(slot);
      const std::string name = text::Cp932ToUtf8(r.Name());
      RequirePlain(name, SlotLabel(file_, slot));
      OutputFile out(folder_ / PathFromUtf8(name));
      if (slot == payload::kSlotInstallerImage) WriteBareImage(out);
      else WriteRecordContent(file_, slot, out);
      out.Commit();
      written_.push_back(out.target());
      if (slot == payload::kSlotSaverDataFile && options_.unpackDataFile) UnpackDataFile();
    }
    return written_;
  }

 private:
  // The image as it was before the build: PayloadOffset 0, and no entry for a
  // signature that lay behind the package (nor the checksum signing set; the
  // linker leaves it 0).
  void WriteBareImage(OutputFile& out) {
    CopyRange(file_, 0, file_.payloadOffset, out);
    std::size_t field = 0;
    Bytes headers(std::min<std::size_t>(file_.payloadOffset, 64 * 1024));
    file_.ReadAt(0, headers.data(), headers.size());
    payload::FindPayloadOffsetField(headers.data(), headers.size(), file_.payloadOffset, field);
    const std::array<std::uint8_t, 8> zeros{};
    out.WriteAt(field, zeros.data(), 4);
    if (file_.certificates.offset >= file_.payloadOffset) {
      out.WriteAt(file_.certificates.entryOffset, zeros.data(), zeros.size());
      out.WriteAt(file_.certificates.checksumOffset, zeros.data(), 4);
    }
  }

  void UnpackDataFile() {
    const int slot = payload::kSlotSaverDataFile;
    std::unique_ptr<ScratchFile> scratch;
    const std::unique_ptr<ByteSource> data = OpenRecordContent(file_, slot, scratch);
    const std::string saver = text::Cp932ToUtf8(payload::ScreenSaverNameBytes(file_.block.header));
    const fs::path target = folder_ / PathFromUtf8(saver + kDataFolderSuffix);
    MakeFolders(target);

    payload::SaverSettings settings;
    data->ReadAt(0, settings.bytes.data(), payload::kSettingsSize);
    Write(target / kSettingsFileName, [&](OutputFile& out) {
      out.Write(settings.bytes.data(), settings.bytes.size());
    });
    const std::int32_t count = settings.EntryCount();
    for (std::int32_t i = 1; i <= count; ++i) {
      std::array<std::uint8_t, payload::kEntrySize> bytes{};
      data->ReadAt(payload::TableSize(i - 1), bytes.data(), bytes.size());
      const payload::SaverEntry e = payload::ParseEntry(bytes.data());
      // Skipped entries and copies of the installer's movie have no data.
      if (e.Name().empty() || payload::IsInstallerMovieEntry(settings, i, e.kind)) continue;
      std::array<std::uint8_t, payload::kChunkHeaderSize> header{};
      data->ReadAt(static_cast<std::uint64_t>(e.chunkOffset), header.data(), header.size());
      payload::ChunkData chunk;
      payload::LocateChunkData(e, payload::ParseChunkHeader(header.data()), data->Size(), chunk);
      const std::string label = SlotLabel(file_, slot) + ": entry " + std::to_string(i);
      const fs::path path = EntryPath(target, e.Name(), label);
      MakeFolders(path.parent_path());
      Write(path, [&](OutputFile& out) {
        if (!chunk.compressed) return CopyRange(*data, chunk.offset, chunk.unpackedSize, out);
        ExplodeRange(*data, chunk.offset, chunk.length, &out, chunk.unpackedSize);
      });
    }
  }

  template <typename Fill>
  void Write(const fs::path& path, Fill fill) {
    RequireNotAnInput(path, {file_.path});
    OutputFile out(path);
    fill(out);
    out.Commit();
    written_.push_back(path);
  }

  const InstallerFile& file_;
  fs::path folder_;
  const ExtractOptions& options_;
  std::vector<fs::path> written_;
};

}  // namespace

std::vector<fs::path> ExtractInstaller(const InstallerFile& file, const fs::path& folder,
                                       const ExtractOptions& options) {
  return Extractor(file, folder, options).Run();
}

}  // namespace lvpack
