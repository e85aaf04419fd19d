#include "tools/lvpack/Installer.h"

#include <algorithm>
#include <cstring>
#include <iomanip>
#include <sstream>

#include <nlohmann/json.hpp>

#include "system/Cp932.h"
#include "tools/lvpack/Manifest.h"
#include "tools/lvpack/MovieWords.h"
#include "tools/lvpack/RecordCodec.h"
#include "tools/lvpack/ToolError.h"

namespace lvpack {
namespace {

// PE headers lie in the first bytes of an image; an image whose headers do
// not fit here is not one the installer could have been built as.
constexpr std::size_t kHeaderWindow = 64 * 1024;

void ReadHeaderAndTable(InstallerFile& f) {
  const std::uint64_t size = f.Size();
  Bytes headers(static_cast<std::size_t>(std::min<std::uint64_t>(size, kHeaderWindow)));
  if (!headers.empty()) f.ReadAt(0, headers.data(), headers.size());
  std::size_t field = 0;
  const rc::Result r = payload::FindPayloadOffsetField(headers.data(), headers.size(), size, field);
  if (r == rc::kNotPeImage)
    throw ToolError(PathText(f.path) + ": not an x86 or x64 Windows executable (an installer is expected)");
  if (r != rc::kOk)
    throw ToolError(PathText(f.path) + ": no \".lvpoff\" section: not an installer of this project");
  std::uint8_t value[4];
  f.ReadAt(field, value, sizeof value);
  f.payloadOffset = static_cast<std::uint32_t>(value[0] | (value[1] << 8) | (value[2] << 16)) |
                    (static_cast<std::uint32_t>(value[3]) << 24);
  if (f.payloadOffset == 0)
    throw ToolError(PathText(f.path) + ": PayloadOffset is 0: an installer image without a package");
  payload::FindCertificateTable(headers.data(), headers.size(), f.certificates);
  std::uint8_t block[payload::kBlockSize];
  if (static_cast<std::uint64_t>(f.payloadOffset) + payload::kBlockSize > size)
    throw IoError(PathText(f.path) + ": shorter than PayloadOffset (" + std::to_string(f.payloadOffset) +
                  ") + 3152 bytes: damaged installer (" + std::to_string(rc::kPackageTooShort) + ")");
  f.ReadAt(f.payloadOffset, block, sizeof block);
  payload::ParseBlock(block, sizeof block, f.block);
}

}  // namespace

std::uint64_t InstallerFile::Size() const { return file ? file->Size() : bytes.size(); }

void InstallerFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t n) const {
  if (file) return file->ReadAt(offset, buffer, n);
  if (offset > bytes.size() || n > bytes.size() - offset)
    throw IoError(PathText(path) + ": ends at byte " + std::to_string(bytes.size()) +
                  ", before byte " + std::to_string(offset + n) + " that is needed");
  std::memcpy(buffer, bytes.data() + offset, n);
}

InstallerFile LoadInstaller(const fs::path& path) {
  InstallerFile f;
  f.path = path;
  f.file = std::make_shared<InputFile>(path);
  ReadHeaderAndTable(f);
  return f;
}

InstallerFile ParseInstaller(const fs::path& path, Bytes bytes) {
  InstallerFile f;
  f.path = path;
  f.bytes = std::move(bytes);
  ReadHeaderAndTable(f);
  return f;
}

void StoreBlock(InstallerFile& file) {
  const auto bytes = payload::SerializeBlock(file.block);
  std::memcpy(file.bytes.data() + file.payloadOffset, bytes.data(), bytes.size());
}

std::string Printable(const std::string& cp932) {
  std::string text = text::Cp932ToUtf8(cp932);
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  return text;
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
    default: {
      const std::string movie = DescribeMovieResult(code);
      return movie.empty() ? "error" : movie;
    }
  }
}

std::uint64_t PackageEnd(const InstallerFile& file) {
  std::uint64_t end = static_cast<std::uint64_t>(file.payloadOffset) + payload::kBlockSize;
  for (int slot = 1; slot < payload::kSlotCount; ++slot) {
    const payload::PayloadRecord& r = *file.block.Slot(slot);
    std::uint32_t length = 0;
    if (r.IsEmpty() || payload::StoredLength(r, length) != rc::kOk) continue;
    end = std::max<std::uint64_t>(end, static_cast<std::uint64_t>(r.lastByte) + 1);
  }
  return end;
}

std::string CopyRecordContent(const InstallerFile& file, int slot, ByteSink* to,
                              const ProgressFn& progress) {
  const payload::PayloadRecord& r = *file.block.Slot(slot);
  if (const rc::Result code = payload::ValidateRecord(r, file.Size()); code != rc::kOk)
    return DescribeCode(code) + " (" + std::to_string(code) + ")";
  const std::uint64_t stored = static_cast<std::uint64_t>(r.lastByte) - r.firstByte + 1;
  if (r.compressed == 0) {
    if (to != nullptr) CopyRange(file, r.firstByte, stored, *to, progress);
    return "";
  }
  const auto expected = static_cast<std::uint64_t>(r.unpackedSize);
  const ExplodeOutcome x = ExplodeRange(file, r.firstByte, stored, to, expected, progress);
  const std::string mismatch = " (" + std::to_string(rc::kExplodedSizeMismatch) + ")";
  if (x.produced > expected)
    return "explodes to more than its unpackedSize " + std::to_string(expected) + mismatch;
  if (!x.complete) return "damaged compressed data";
  if (x.produced != expected)
    return "exploded size " + std::to_string(x.produced) + " differs from unpackedSize " +
           std::to_string(expected) + mismatch;
  return "";
}

void WriteRecordContent(const InstallerFile& file, int slot, ByteSink& to, const ProgressFn& progress) {
  const std::string problem = CopyRecordContent(file, slot, &to, progress);
  if (!problem.empty()) throw IoError(SlotLabel(file, slot) + ": " + problem);
}

std::unique_ptr<ByteSource> OpenRecordContent(const InstallerFile& file, int slot,
                                              std::unique_ptr<ScratchFile>& scratch) {
  const payload::PayloadRecord& r = *file.block.Slot(slot);
  if (r.compressed == 0)
    return std::make_unique<SourceWindow>(file, r.firstByte,
                                          static_cast<std::uint64_t>(r.lastByte) - r.firstByte + 1);
  scratch = std::make_unique<ScratchFile>(file.path);
  WriteRecordContent(file, slot, *scratch);
  scratch->Flush();
  return std::make_unique<SourceWindow>(*scratch, 0, scratch->Size());
}

Bytes RecordContent(const InstallerFile& file, int slot) {
  MemorySink sink;
  WriteRecordContent(file, slot, sink);
  return std::move(sink.bytes());
}

std::string Listing(const InstallerFile& file) {
  const payload::PayloadHeader& h = file.block.header;
  std::ostringstream out;
  const std::string kind = ContentKindName(h.contentKind);
  out << "installer      " << PathText(file.path) << " (" << file.Size() << " bytes)\n"
      << "PayloadOffset  " << file.payloadOffset << "\n"
      << "saverName      " << Printable(payload::ScreenSaverNameBytes(h)) << "\n"
      << "contentKind    " << int{h.contentKind} << (kind.empty() ? " (nothing shown)" : " (" + kind + ")")
      << "\n"
      << "showLicense    " << (h.showLicense ? "yes" : "no") << "\n"
      << "hasDocument    " << (h.hasDocument ? "yes" : "no") << "\n"
      << "offerDisplayProperties " << (h.offerDisplayProperties ? "yes" : "no") << "\n"
      << "signature      ";
  if (file.certificates.offset == 0)
    out << "none\n\n";
  else
    out << file.certificates.size << " bytes at " << file.certificates.offset
        << " (check it with verify)\n\n";
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

std::string ListingJson(const InstallerFile& file) {
  const payload::PayloadHeader& h = file.block.header;
  nlohmann::json slots = nlohmann::json::array();
  for (int slot = 0; slot < payload::kSlotCount; ++slot) {
    const payload::PayloadRecord& r = *file.block.Slot(slot);
    nlohmann::json s = {{"slot", slot},
                        {"role", kSlotRoles[static_cast<std::size_t>(slot)]},
                        {"empty", r.IsEmpty()}};
    if (!r.IsEmpty()) {
      s["name"] = text::Cp932ToUtf8(r.Name());
      s["destination"] = r.destination;
      s["compressed"] = r.compressed != 0;
      s["firstByte"] = r.firstByte;
      s["lastByte"] = r.lastByte;
      s["packedSize"] = r.packedSize;
      s["unpackedSize"] = r.unpackedSize;
    }
    slots.push_back(s);
  }
  nlohmann::json signature = {{"present", file.certificates.offset != 0}};
  if (file.certificates.offset != 0) {
    signature["offset"] = file.certificates.offset;
    signature["size"] = file.certificates.size;
  }
  const nlohmann::json j = {
      {"installer", PathText(file.path)},
      {"size", file.Size()},
      {"payloadOffset", file.payloadOffset},
      {"saverName", text::Cp932ToUtf8(payload::ScreenSaverNameBytes(h))},
      {"contentKind", h.contentKind},
      {"contentKindName", ContentKindName(h.contentKind)},
      {"showLicense", h.showLicense != 0},
      {"hasDocument", h.hasDocument != 0},
      {"offerDisplayProperties", h.offerDisplayProperties != 0},
      {"slots", slots},
      {"signature", signature}};
  return j.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace lvpack
