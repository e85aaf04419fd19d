#include "tools/lvpack/Installer.h"

#include <cstring>
#include <iomanip>
#include <sstream>

#include "dcl/DclBuffer.h"
#include "payload/ImageLayout.h"
#include "system/Cp932.h"
#include "tools/lvpack/Manifest.h"
#include "tools/lvpack/ToolError.h"

namespace lvpack {
namespace {

// A name from a package for the terminal: control characters of a damaged or
// hostile name are shown as '?', never sent as they are.
std::string Printable(const std::string& cp932) {
  std::string text = text::Cp932ToUtf8(cp932);
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  return text;
}

}  // namespace

InstallerFile LoadInstaller(const fs::path& path) { return ParseInstaller(path, ReadFileBytes(path)); }

InstallerFile ParseInstaller(const fs::path& path, Bytes bytes) {
  InstallerFile f;
  f.path = path;
  f.bytes = std::move(bytes);
  const rc::Result r = payload::ReadPayloadOffset(f.bytes.data(), f.bytes.size(), f.payloadOffset);
  if (r == rc::kNotPeImage) throw ToolError(PathText(path) + ": not an x86 or x64 Windows executable");
  if (r != rc::kOk)
    throw ToolError(PathText(path) + ": no \".lvpoff\" section: not an installer of this project");
  if (f.payloadOffset == 0)
    throw ToolError(PathText(path) + ": PayloadOffset is 0: an installer image without a package");
  if (f.payloadOffset > f.bytes.size() ||
      payload::ParseBlock(f.bytes.data() + f.payloadOffset, f.bytes.size() - f.payloadOffset,
                          f.block) != rc::kOk)
    throw ToolError(PathText(path) + ": shorter than PayloadOffset (" +
                    std::to_string(f.payloadOffset) + ") + 3152 bytes: damaged installer (" +
                    std::to_string(rc::kPackageTooShort) + ")");
  return f;
}

void StoreBlock(InstallerFile& file) {
  const auto bytes = payload::SerializeBlock(file.block);
  std::memcpy(file.bytes.data() + file.payloadOffset, bytes.data(), bytes.size());
}

std::string SlotLabel(const InstallerFile& file, int slot) {
  const payload::PayloadRecord& r = *file.block.Slot(slot);
  return "slot " + std::to_string(slot) + " (" +
         (r.IsEmpty() ? std::string("empty") : Printable(r.Name())) + ")";
}

std::string DescribeCode(std::int32_t code) {
  switch (code) {
    case rc::kEmptySlot: return "empty slot";
    case rc::kBadDestination: return "destination kind without a path (0, 8, 9 or outside 0..10)";
    case rc::kUnsafeRecordName: return "name is not a plain file name";
    case rc::kBadRecordRange: return "bad offsets (negative, last before first, or too long)";
    case rc::kShortRead: return "data lie beyond the end of the file";
    case rc::kBadEntryCount: return "data file: entryCount negative or above 159";
    case rc::kUnsafeEntryName: return "data file: entry name leaves the data folder";
    case rc::kBadChunk: return "data file: chunk offset or size outside the file";
    case rc::kExplodedSizeMismatch: return "exploded size differs from unpackedSize";
    case rc::kUnsafeSaverName: return "saverName is empty or not a plain file name";
    default: return "error";
  }
}

Bytes StoredData(const InstallerFile& file, int slot) {
  const payload::PayloadRecord& r = *file.block.Slot(slot);
  if (const rc::Result code = payload::ValidateRecord(r, file.bytes.size()); code != rc::kOk)
    throw ToolError(SlotLabel(file, slot) + ": " + DescribeCode(code) + " (" +
                    std::to_string(code) + ")");
  return Bytes(file.bytes.begin() + r.firstByte, file.bytes.begin() + r.lastByte + 1);
}

Bytes RecordContent(const InstallerFile& file, int slot) {
  Bytes stored = StoredData(file, slot);
  const payload::PayloadRecord& r = *file.block.Slot(slot);
  if (r.compressed == 0) return stored;
  dcl::ExplodeResult e = dcl::ExplodeBuffer(stored);
  if (e.code != rc::kDclOk)
    throw ToolError(SlotLabel(file, slot) + ": damaged compressed data (library code " +
                    std::to_string(e.code) + ")");
  if (e.data.size() != static_cast<std::size_t>(r.unpackedSize))
    throw ToolError(SlotLabel(file, slot) + ": exploded size " + std::to_string(e.data.size()) +
                    " differs from unpackedSize " + std::to_string(r.unpackedSize) + " (" +
                    std::to_string(rc::kExplodedSizeMismatch) + ")");
  return std::move(e.data);
}

std::string Listing(const InstallerFile& file) {
  const payload::PayloadHeader& h = file.block.header;
  std::ostringstream out;
  const std::string kind = ContentKindName(h.contentKind);
  out << "installer      " << PathText(file.path) << " (" << file.bytes.size() << " bytes)\n"
      << "PayloadOffset  " << file.payloadOffset << "\n"
      << "saverName      " << Printable(payload::ScreenSaverNameBytes(h)) << "\n"
      << "contentKind    " << int{h.contentKind} << (kind.empty() ? " (nothing shown)" : " (" + kind + ")")
      << "\n"
      << "showLicense    " << (h.showLicense ? "yes" : "no") << "\n"
      << "hasDocument    " << (h.hasDocument ? "yes" : "no") << "\n"
      << "offerDisplayProperties " << (h.offerDisplayProperties ? "yes" : "no") << "\n\n";
  out << "slot role            dest  stored      firstByte    lastByte  packedSize  unpackedSize  name\n";
  for (int slot = 0; slot < payload::kSlotCount; ++slot) {
    const payload::PayloadRecord& r = *file.block.Slot(slot);
    out << std::setw(4) << slot << " " << std::left << std::setw(15)
        << kSlotRoles[static_cast<std::size_t>(slot)] << std::right << std::setw(5) << r.destination
        << "  " << std::left << std::setw(10) << (r.compressed ? "imploded" : "as is") << std::right
        << std::setw(11) << r.firstByte << std::setw(12) << r.lastByte << std::setw(12)
        << r.packedSize << std::setw(14) << r.unpackedSize << "  "
        << (r.IsEmpty() ? std::string("(empty)") : Printable(r.Name())) << "\n";
  }
  return out.str();
}

}  // namespace lvpack
