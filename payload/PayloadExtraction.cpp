#include "payload/PayloadExtraction.h"

#include <windows.h>

#include <memory>
#include <new>

#include "messages/Messages.h"
#include "messages/logFile.h"
#include "payload/FileCopy.h"
#include "payload/PackageReporter.h"
#include "payload/PayloadTable.h"
#include "payload/SafeNames.h"
#include "payload/Compressor.h"
#include "system/Cp932.h"
#include "system/DeferredImports.h"
#include "system/InstallJournal.h"
#include "system/LMV_FileUtils.h"
#include "system/LMV_StringUtils.h"

std::wstring InstallerFilePath;
std::wstring PackageCopyPath;
std::wstring ScreenSaverName;
std::wstring SaverDataFolder;
std::wstring SaverDataFilePath;

namespace {

constexpr wchar_t kPackageCopyName[] = L"temp.dat";
constexpr int kPackageCopyDeleteAttempts = 100;    // clearing an old copy of the package
constexpr int kDestinationDeleteAttempts = 1000;   // clearing a destination that is not a ".dll"
constexpr std::size_t kMaxRecordName = payload::kRecordNameSize;

// The extension of the last path component, dot included; empty without one.
std::wstring ExtensionOf(const std::wstring& path) {
  const std::size_t dot = path.find_last_of(L".\\:");
  if (dot == std::wstring::npos || path[dot] != L'.') return {};
  return path.substr(dot);
}

bool FileExists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The pattern of the four start-up extractions: an empty slot is refused
// without a message; otherwise the slot is extracted quietly from its own
// stream over the package copy.
rc::Result ExtractStartupSlot(int slot) {
  const payload::PayloadRecord* record = Payload.Slot(slot);
  if (record == nullptr || record->IsEmpty()) return rc::kEmptySlot;
  FileStream package;
  const rc::Result opened = package.OpenRead(PackageCopyPath);
  if (opened != rc::kOk) {
    payload::Reporter().ShowInstallError(opened, WorkFolder);
    return opened;
  }
  return ExtractPayloadFile(package, slot, false);
}

// Clears the way for a record's file. A ".dll" that stays in place counts as
// extracted (the caller turns rc::kFileBusy into 0); anything else is retried.
rc::Result ClearDestination(const std::wstring& path, payload::FolderKind folder) {
  // During an installation an earlier file outside the work folder is set
  // aside, to be put back should the installation die.
  if (folder != payload::FolderKind::Work) {
    bool moved = false;
    if (const rc::Result r = Journal.MoveAside(path, moved); r != rc::kOk || moved) return r;
  }
  if (ExtensionOf(path) == L".dll") return DeleteFileForced(path);
  return DeleteFileRetry(path, kDestinationDeleteAttempts);
}

// A compressed record: read whole into memory and exploded to the path; the
// written file's length decides success.
rc::Result WriteCompressed(FileStream& package, const payload::PayloadRecord& record,
                           std::uint32_t storedLength, const std::wstring& path, bool& ioError) {
  std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[storedLength]);
  if (!buffer) return rc::kOutOfMemory;
  {
    TCompressor decompressor(WorkFolder);
    if (!decompressor.Loaded()) return rc::kDecompressorUnavailable;
    std::uint32_t got = 0;
    const rc::Result read = ReadExactly(package, buffer.get(), storedLength, got);
    if (read == rc::kShortRead) return rc::kShortRead;
    if (read != rc::kOk) {
      ioError = true;
      return read;
    }
    // Its result is not looked at: the written file's length decides.
    decompressor.ExplodeToFile(path, buffer.get(), storedLength);
  }  // the library is unloaded right after its use
  std::int64_t size = 0;
  if (!GetExistingFileSize(path, size)) return rc::kFileMissing;
  if (size != record.unpackedSize) return rc::kExplodedSizeMismatch;
  return rc::kOk;
}

// A stored record: copied from the package stream into a new file.
rc::Result WriteStored(FileStream& package, std::uint32_t storedLength, const std::wstring& path,
                       bool& ioError) {
  FileStream target;
  rc::Result result = target.Create(path);
  if (result != rc::kOk) {
    ioError = true;
    return result;
  }
  LogMessage(L"file created: " + path);
  std::uint32_t copied = 0;
  result = CopyBytes(package, target, storedLength, copied);
  LogMessage(L"sizeExtracted: " + DecimalText(copied));
  const rc::Result closed = target.Close();
  if (result == rc::kOk) result = closed;
  if (result != rc::kOk && result != rc::kShortRead) ioError = true;
  return result;
}

// Copies a document of the work folder into the data folder.
rc::Result CopyToDataFolder(int slot) {
  const payload::PayloadRecord* record = Payload.Slot(slot);
  const std::string name = record->Name();
  if (!payload::IsPlainFileName(name)) return rc::kUnsafeRecordName;
  // Without its folders a name alone would name a file in the current directory.
  if (WorkFolder.empty() || SaverDataFolder.empty()) return rc::kBadDestination;
  const std::wstring wideName = text::FromCp932(name);
  const std::wstring source = WorkFolder + wideName;
  if (!FileExists(source)) return rc::kFileMissing;
  return CopyFileIntoPlace(source, SaverDataFolder + wideName);
}

}  // namespace

std::string ChangeNameExtension(const std::string& name, const std::string& extension) {
  // Walk by characters: the second byte of a double-byte character is never
  // taken for a dot.
  std::size_t dot = std::string::npos;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto b = static_cast<std::uint8_t>(name[i]);
    if (payload::IsCp932LeadByte(b)) {
      ++i;
    } else if (b == '.') {
      dot = i;
    }
  }
  std::string base = name.substr(0, dot);
  const std::size_t room = kMaxRecordName > extension.size() ? kMaxRecordName - extension.size() : 0;
  if (base.size() > room) {
    std::size_t cut = 0;  // the longest prefix of whole characters that fits
    for (std::size_t i = 0; i < base.size();) {
      const std::size_t width = payload::IsCp932LeadByte(static_cast<std::uint8_t>(base[i])) ? 2 : 1;
      if (i + width > room) break;
      i += width;
      cut = i;
    }
    base.resize(cut);
  }
  return base + extension;
}

rc::Result DestinationPathOf(const payload::PayloadRecord& record, std::wstring& path,
                             payload::FolderKind& kind) {
  path.clear();
  payload::Destination destination;
  const rc::Result result = payload::DestinationOf(record, destination);
  if (result != rc::kOk) return result;
  const std::wstring* folder = &WorkFolder;
  switch (destination.folder) {
    case payload::FolderKind::Work: folder = &WorkFolder; break;
    case payload::FolderKind::System: folder = &SystemFolder; break;
    case payload::FolderKind::SaverData: folder = &SaverDataFolder; break;
  }
  // Without its folder the name alone would land in the current directory.
  if (folder->empty()) return rc::kBadDestination;
  kind = destination.folder;
  path = *folder + text::FromCp932(destination.fileName);
  return rc::kOk;
}

void SetPackagePaths() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  InstallerFilePath = path;
  PackageCopyPath = WorkFolder + kPackageCopyName;
}

rc::Result CopyPackageToWork() {
  LogEnter(L"CopyPackageToWork", PackageCopyPath);
  rc::Result result = DeleteFileRetry(PackageCopyPath, kPackageCopyDeleteAttempts);
  if (result == rc::kOk) result = CopyFileChecked(InstallerFilePath, PackageCopyPath);
  if (result != rc::kOk)
    payload::Reporter().ShowInstallError(rc::kCannotCopyInstaller, PackageCopyPath);
  LogLeave(L"CopyPackageToWork");
  return result;
}

rc::Result SetSaverPaths() {
  ScreenSaverName.clear();
  SaverDataFolder.clear();
  SaverDataFilePath.clear();
  const std::string name = payload::ScreenSaverNameBytes(Payload.header);
  if (const rc::Result result = payload::ValidateScreenSaverName(name); result != rc::kOk)
    return result;
  // Checked before anything reaches the target: the program's name is the one
  // the data folder, the registration and the uninstall entry are made from.
  if (const rc::Result result = payload::ValidateSaverProgramRecord(Payload); result != rc::kOk)
    return result;
  ScreenSaverName = text::FromCp932(name);
  SaverDataFolder = SystemFolder + ScreenSaverName + LoadMessage(msg::sDirSuffix);
  const std::string dataFileName = Payload.Slot(payload::kSlotSaverDataFile)->Name();
  if (payload::IsPlainFileName(dataFileName))
    SaverDataFilePath = WorkFolder + text::FromCp932(dataFileName);
  return rc::kOk;
}

rc::Result ExtractDocument() { return ExtractStartupSlot(payload::kSlotDocument); }
rc::Result ExtractFlashSetup() { return ExtractStartupSlot(payload::kSlotFlashSetup); }
rc::Result ExtractLicense() { return ExtractStartupSlot(payload::kSlotLicense); }

rc::Result ExtractDisplayContent() {
  payload::PayloadRecord* record = Payload.Slot(payload::kSlotPresentation);
  if (record->IsEmpty()) return rc::kEmptySlot;
  // The picture loader picks the format by the extension.
  if (Payload.header.contentKind == payload::kContentBitmap)
    record->SetName(ChangeNameExtension(record->Name(), ".BMP"));
  else if (Payload.header.contentKind == payload::kContentJpeg)
    record->SetName(ChangeNameExtension(record->Name(), ".jpg"));
  return ExtractStartupSlot(payload::kSlotPresentation);
}

rc::Result ExtractPayloadFile(FileStream& package, int slot, bool showStatus) {
  if (showStatus) payload::Reporter().ShowStatus(LoadMessage(msg::sWritingSaverFile));
  const payload::PayloadRecord* record = Payload.Slot(slot);
  std::wstring path;
  payload::FolderKind folder = payload::FolderKind::Work;
  std::wstring detail;  // the path, or the record's name when it has no path
  bool quiet = false;
  bool ioError = false;
  rc::Result result = rc::kOk;

  if (record == nullptr) {
    result = rc::kBadDestination;
  } else if (record->IsEmpty()) {
    result = rc::kEmptySlot;
  } else {
    // A record that has no safe path is refused before anything is touched.
    result = DestinationPathOf(*record, path, folder);
    detail = result == rc::kOk ? path : text::FromCp932(record->Name());
  }
  std::int64_t packageSize = 0;
  if (result == rc::kOk) {
    result = package.Size(packageSize);
    ioError = result != rc::kOk;
  }
  if (result == rc::kOk) {
    // Every non-".dll" target is extracted quietly: its failures are reported
    // by the caller.
    quiet = ExtensionOf(path) != L".dll";
    result = payload::ValidateRecord(*record, static_cast<std::uint64_t>(packageSize));
  }
  std::uint32_t storedLength = 0;
  if (result == rc::kOk) result = payload::StoredLength(*record, storedLength);
  if (result == rc::kOk) {
    result = package.Seek(record->firstByte);
    ioError = result != rc::kOk;
  }
  if (result == rc::kOk) {
    if (showStatus) payload::Reporter().StepProgress();
    result = ClearDestination(path, folder);
  }
  if (result == rc::kOk) {
    // The file takes its name only when complete. What goes into the work folder
    // is scratch: it leaves with the folder.
    const Durability durability =
        folder == payload::FolderKind::Work ? Durability::Scratch : Durability::Installed;
    result = WriteIntoPlace(
        path,
        [&](const std::wstring& temporary) {
          return record->compressed != 0
                     ? WriteCompressed(package, *record, storedLength, temporary, ioError)
                     : WriteStored(package, storedLength, temporary, ioError);
        },
        durability);
  }

  if (result == rc::kFileBusy) {
    result = rc::kOk;  // the old file stays and the slot counts as extracted
  } else if (result != rc::kOk) {
    if (ioError || (!quiet && result != rc::kSaverOverwriteFailed))
      payload::Reporter().ShowInstallError(result, detail);
  }
  return result;
}

rc::Result ExtractSaverFiles(const std::wstring& packagePath, bool withDocument) {
  LogEnter(L"ExtractSaverFiles", packagePath);
  const int firstSlot = withDocument ? payload::kSlotDocument : payload::kSlotSaverProgram;
  FileStream package;
  rc::Result result = package.OpenRead(packagePath);
  if (result != rc::kOk) {
    payload::Reporter().ShowInstallError(result, packagePath);
    return result;
  }
  for (int slot = firstSlot;
       slot <= payload::kSlotEngine2 && result == rc::kOk && !payload::Reporter().CancelRequested();
       ++slot) {
    result = ExtractPayloadFile(package, slot, true);
  }
  package.Close();
  LogLeave(L"ExtractSaverFiles");
  return result;
}

rc::Result CopyDocumentsToDataFolder(bool withLicense, bool withDocument) {
  rc::Result result = rc::kOk;
  if (withLicense) result = CopyToDataFolder(payload::kSlotLicense);
  if (!withDocument) return result;
  const rc::Result document = CopyToDataFolder(payload::kSlotDocument);
  return document != rc::kOk ? document : result;
}

void OpenDocument() {
  if (Payload.header.hasDocument == 0) return;
  const std::string name = Payload.Slot(payload::kSlotDocument)->Name();
  if (!payload::IsPlainFileName(name) || SaverDataFolder.empty()) return;
  const std::wstring path = SaverDataFolder + text::FromCp932(name);
  deferred::ShellExecuteW(nullptr, nullptr, path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
