#include "tools/lvpack/Verify.h"

#include "dcl/DclBuffer.h"
#include "payload/SaverDataFormat.h"
#include "system/Cp932.h"
#include "tools/lvpack/Builder.h"
#include "tools/lvpack/ToolError.h"

namespace lvpack {

void VerifyDataFile(const Bytes& data, const std::string& label, std::vector<std::string>& problems) {
  payload::SaverDataFile file;
  if (const rc::Result r = payload::ParseSaverDataFile(data.data(), data.size(), file); r != rc::kOk) {
    problems.push_back(label + ": " + DescribeCode(r) + " (" + std::to_string(r) + ")");
    return;
  }
  for (std::size_t i = 0; i < file.entries.size(); ++i) {
    const payload::SaverContent& e = file.entries[i];
    if (!e.compressed || e.unpackedSize == 0) continue;
    const std::string where = label + ": entry " + std::to_string(i + 1) + " (" +
                              text::Cp932ToUtf8(e.name) + ")";
    const dcl::ExplodeResult x = dcl::ExplodeBuffer(e.data);
    if (x.code != rc::kDclOk)
      problems.push_back(where + ": damaged compressed data");
    else if (x.data.size() != static_cast<std::size_t>(e.unpackedSize))
      problems.push_back(where + ": exploded size " + std::to_string(x.data.size()) +
                         " differs from its size " + std::to_string(e.unpackedSize));
  }
}

std::vector<std::string> VerifyInstaller(const InstallerFile& file) {
  std::vector<std::string> problems;
  const payload::PayloadHeader& h = file.block.header;
  if (const rc::Result r = payload::ValidateScreenSaverName(payload::ScreenSaverNameBytes(h));
      r != rc::kOk)
    problems.push_back("header: " + DescribeCode(r) + " (" + std::to_string(r) + ")");

  // Slot 0 is never extracted: its record only describes the image.
  for (int slot = 1; slot < payload::kSlotCount; ++slot) {
    const payload::PayloadRecord& r = *file.block.Slot(slot);
    if (r.IsEmpty()) {
      if (IsRequiredSlot(slot, h.contentKind, h.showLicense != 0, h.hasDocument != 0))
        problems.push_back(SlotLabel(file, slot) + ": required by the header, but empty");
      continue;
    }
    if ((slot == payload::kSlotLicense || slot == payload::kSlotDocument) && r.destination != 4 &&
        r.destination != 7)
      problems.push_back(SlotLabel(file, slot) + ": destination " + std::to_string(r.destination) +
                         " is not the work folder (4 or 7)");
    try {
      const Bytes content = RecordContent(file, slot);
      if (slot == payload::kSlotSaverDataFile) VerifyDataFile(content, SlotLabel(file, slot), problems);
    } catch (const ToolError& e) {
      problems.push_back(e.what());
    }
  }
  return problems;
}

}  // namespace lvpack
