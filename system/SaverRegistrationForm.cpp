// The installer window's registration operations, on the values the start-up
// set: SystemFolder, the package table, ScreenSaverName and SaverDataFolder.
#include <string>

#include "payload/PayloadExtraction.h"
#include "payload/PayloadTable.h"
#include "payload/SafeNames.h"
#include "system/Cp932.h"
#include "system/LMV_FileUtils.h"
#include "system/SaverRegistration.h"

std::wstring InstalledProgramPath() {
  const payload::PayloadRecord* program = Payload.Slot(payload::kSlotSaverProgram);
  if (program == nullptr || SystemFolder.empty()) return {};
  const std::string name = program->Name();
  if (!payload::IsPlainFileName(name)) return {};
  return SystemFolder + text::FromCp932(name);
}

rc::Result SetCurrentScreenSaver() { return SetCurrentScreenSaver(InstalledProgramPath()); }

void OpenDisplayProperties() { OpenDisplayProperties(Payload.header.offerDisplayProperties != 0); }

void RemoveInstalledSaver() {
  RemoveInstalledSaver(SaverDataFolder, InstalledProgramPath(), ScreenSaverName);
}
