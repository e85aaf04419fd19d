#include "tools/lvpack/Extract.h"

#include <utility>

#include "dcl/DclBuffer.h"
#include "payload/SafeNames.h"
#include "payload/SaverDataFormat.h"
#include "system/Cp932.h"
#include "tools/lvpack/ToolError.h"

namespace lvpack {
namespace {

// An entry name (code page 932, "\" separators) as a path below `folder`.
fs::path EntryPath(const fs::path& folder, const std::string& name) {
  fs::path path = folder;
  std::string part;
  const std::string utf8 = text::Cp932ToUtf8(name);
  for (char c : utf8) {
    if (c == '\\' || c == '/') {
      path /= PathFromUtf8(part);
      part.clear();
    } else {
      part += c;
    }
  }
  return path / PathFromUtf8(part);
}

// Decoding can turn a safe code-page-932 name into one with a separator only
// in theory (0x5C trail bytes decode to other characters); check once more.
void RequirePlain(const std::string& utf8, const std::string& label) {
  if (utf8.empty() || utf8 == "." || utf8 == ".." ||
      utf8.find_first_of("\\/:") != std::string::npos)
    throw ToolError(label + ": name is not a plain file name");
}

}  // namespace

std::vector<fs::path> ExtractInstaller(const InstallerFile& file, const fs::path& folder,
                                       const ExtractOptions& options) {
  std::vector<int> slots = options.slots;
  if (slots.empty())
    for (int slot = 0; slot < payload::kSlotCount; ++slot)
      if (!file.block.Slot(slot)->IsEmpty()) slots.push_back(slot);

  std::vector<std::pair<fs::path, Bytes>> outputs;
  for (int slot : slots) {
    if (!file.block.Slot(slot))
      throw ToolError("slot " + std::to_string(slot) + ": no such slot (0 to 10)");
    const payload::PayloadRecord& r = *file.block.Slot(slot);
    if (r.IsEmpty()) throw ToolError(SlotLabel(file, slot) + ": empty slot, nothing to extract");
    Bytes content;
    if (slot == payload::kSlotInstallerImage) {
      // The image keeps no destination check: it is never installed.
      if (r.firstByte != 0 || r.lastByte < 0 || static_cast<std::uint64_t>(r.lastByte) >= file.bytes.size())
        throw ToolError(SlotLabel(file, slot) + ": bad offsets");
      content.assign(file.bytes.begin(), file.bytes.begin() + r.lastByte + 1);
      if (!payload::IsPlainFileName(r.Name()))
        throw ToolError(SlotLabel(file, slot) + ": name is not a plain file name");
    } else {
      content = RecordContent(file, slot);
    }
    const std::string name = text::Cp932ToUtf8(r.Name());
    RequirePlain(name, SlotLabel(file, slot));

    if (slot == payload::kSlotSaverDataFile && options.unpackDataFile) {
      payload::SaverDataFile data;
      if (const rc::Result code = payload::ParseSaverDataFile(content.data(), content.size(), data);
          code != rc::kOk)
        throw ToolError(SlotLabel(file, slot) + ": " + DescribeCode(code));
      const fs::path dataFolder = folder / PathFromUtf8(name + ".d");
      outputs.emplace_back(dataFolder / "saver.dat",
                           Bytes(data.settings.bytes.begin(), data.settings.bytes.end()));
      for (std::size_t i = 0; i < data.entries.size(); ++i) {
        const payload::SaverContent& e = data.entries[i];
        // Skipped entries and copies of the installer's movie have no data.
        if (e.name.empty() ||
            payload::IsInstallerMovieEntry(data.settings, static_cast<std::int32_t>(i + 1), e.kind) ||
            e.unpackedSize == 0)
          continue;
        Bytes bytes = e.data;
        if (e.compressed) {
          dcl::ExplodeResult x = dcl::ExplodeBuffer(e.data);
          if (x.code != rc::kDclOk || x.data.size() != static_cast<std::size_t>(e.unpackedSize))
            throw ToolError(SlotLabel(file, slot) + ": entry " + std::to_string(i + 1) +
                            ": damaged compressed data");
          bytes = std::move(x.data);
        }
        outputs.emplace_back(EntryPath(dataFolder, e.name), std::move(bytes));
      }
    }
    outputs.emplace_back(folder / PathFromUtf8(name), std::move(content));
  }

  std::vector<fs::path> written;
  for (auto& [path, bytes] : outputs) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    if (ec) throw ToolError(PathText(path.parent_path()) + ": cannot create folder: " + ec.message());
    WriteFileAtomic(path, bytes);
    written.push_back(path);
  }
  return written;
}

}  // namespace lvpack
