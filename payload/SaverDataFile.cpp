#include "payload/SaverDataFile.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <memory>
#include <new>
#include <vector>

#include "messages/MessageBox.h"
#include "messages/Messages.h"
#include "messages/SystemText.h"
#include "messages/logFile.h"
#include "payload/Compressor.h"
#include "payload/FileCopy.h"
#include "payload/FileStream.h"
#include "payload/PackageReporter.h"
#include "payload/PayloadExtraction.h"
#include "system/Cp932.h"
#include "system/LMV_FileUtils.h"
#include "system/LMV_StringUtils.h"

payload::SaverSettings SaverSettingsBlock;

namespace {

constexpr wchar_t kSettingsFileName[] = L"saver.dat";
constexpr wchar_t kInstallerMovieName[] = L"installer.swf";
constexpr std::size_t kEntrySlots = payload::kMaxEntryCount + 1;  // slot 0 is never filled

// The open data file and what was read from it.
FileStream dataFile;
bool dataFileOpen = false;
bool dataFileOpened = false;  // the `opened` value of the last opening
std::array<payload::SaverEntry, kEntrySlots> entries;
// How many entries the table holds from the last opening (at most 159). The
// settings block can be read again after that (ReadSaverSettings), so its
// entryCount alone never bounds a walk over the table.
std::int32_t entriesRead = 0;

// Entries 1..n that are both announced by the settings and held by the table.
std::int32_t EntriesToWalk() {
  return std::max(0, std::min(SaverSettingsBlock.EntryCount(), entriesRead));
}

// Failures of reading or writing the file itself (as opposed to the installer's
// own judgement of its content) are the ones that bring a box.
bool IsReadFailure(rc::Result code) { return code > 0 || code == rc::kShortRead; }

std::wstring FolderPart(const std::wstring& path) {
  const std::size_t cut = path.find_last_of(L"\\/");
  return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut + 1);
}

bool FolderExists(const std::wstring& folder) {
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring StripSeparators(std::wstring path) {
  while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  return path;
}

// The entry's chunk header, read from the open data file.
rc::Result ReadChunkHeader(const payload::SaverEntry& entry, std::uint64_t fileSize,
                           payload::SaverChunkHeader& header) {
  if (const rc::Result r = payload::CheckChunkHeaderInFile(entry, fileSize); r != rc::kOk) return r;
  if (const rc::Result r = dataFile.Seek(entry.chunkOffset); r != rc::kOk) return r;
  std::array<std::uint8_t, payload::kChunkHeaderSize> bytes{};
  std::uint32_t got = 0;
  if (const rc::Result r = ReadExactly(dataFile, bytes.data(), payload::kChunkHeaderSize, got);
      r != rc::kOk)
    return r;
  header = payload::ParseChunkHeader(bytes.data());
  return rc::kOk;
}

// Compressed chunk data: read whole, exploded into the path. `written` tells
// whether a file may have been created.
rc::Result ExplodeChunk(const payload::ChunkData& chunk, const std::wstring& path, bool& written) {
  std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[chunk.length + 1]);
  if (!buffer) return rc::kOutOfMemory;
  std::uint32_t got = 0;
  if (const rc::Result r = ReadExactly(dataFile, buffer.get(), chunk.length, got); r != rc::kOk)
    return r;
  {
    TCompressor decompressor(WorkFolder);
    if (!decompressor.Loaded()) return rc::kDecompressorUnavailable;
    written = true;
    decompressor.ExplodeToFile(path, buffer.get(), chunk.length);
  }  // the library is unloaded right after its use
  std::int64_t size = 0;
  if (!GetExistingFileSize(path, size)) return rc::kFileMissing;
  if (size != static_cast<std::int64_t>(chunk.unpackedSize)) return rc::kExplodedSizeMismatch;
  return rc::kOk;
}

// Stored chunk data: copied from the data file into a new file.
rc::Result CopyChunk(const payload::ChunkData& chunk, const std::wstring& path, bool& written) {
  FileStream target;
  if (const rc::Result r = target.Create(path); r != rc::kOk) return r;
  written = true;
  std::uint32_t copied = 0;
  const rc::Result copiedResult = CopyBytes(dataFile, target, chunk.length, copied);
  const rc::Result closed = target.Close();
  return copiedResult != rc::kOk ? copiedResult : closed;
}

// A kind-3 entry: a copy of the installer's movie (entry 1) or of the main
// entry's file (later entries).
rc::Result CopyInstallerMovie(int number, const std::string& mainName, const std::string& name) {
  const std::wstring source = number == 1 ? WorkFolder + kInstallerMovieName
                                          : SaverDataFolder + text::FromCp932(mainName);
  const std::wstring target = SaverDataFolder + text::FromCp932(name);
  ForceFolders(FolderPart(target));  // a failure shows as the failed copy
  if (CopyFileIntoPlace(source, target) == rc::kOk) return rc::kOk;
  if (source == target) return rc::kOk;  // a file copied onto itself is there already
  payload::Reporter().ShowInstallError(rc::kMovieCopyFailed, source);
  return rc::kMovieCopyFailed;
}

}  // namespace

rc::Result ForceFolders(const std::wstring& path) {
  const std::wstring folder = StripSeparators(path);
  if (folder.empty()) return ERROR_INVALID_NAME;
  if (FolderExists(folder)) return rc::kOk;
  const std::wstring parent = StripSeparators(FolderPart(folder));
  if (!parent.empty() && parent.back() != L':') {
    if (const rc::Result r = ForceFolders(parent); r != rc::kOk) return r;
  }
  if (CreateDirectoryW(folder.c_str(), nullptr)) return rc::kOk;
  const DWORD error = GetLastError();
  if (FolderExists(folder)) return rc::kOk;
  return rc::FromWindowsError(error);
}

rc::Result ReadSaverSettings() {
  FileStream file;
  rc::Result result = file.OpenRead(SaverDataFilePath);
  std::array<std::uint8_t, payload::kSettingsSize> bytes{};
  std::uint32_t got = 0;
  if (result == rc::kOk) result = ReadExactly(file, bytes.data(), payload::kSettingsSize, got);
  if (result == rc::kOk) result = payload::ParseSettings(bytes.data(), got, SaverSettingsBlock);
  file.Close();
  if (result != rc::kOk) payload::Reporter().ShowInstallError(result, SaverDataFilePath);
  return result;
}

rc::Result OpenSaverDataFile(const std::wstring& path, bool showErrors, bool& opened) {
  if (dataFileOpen) {
    ShowMessageBox(BoxKind::Information,
                   LoadMessage(msg::sProductError) + LoadMessage(msg::sSaverDataFileInUse),
                   BoxButtons::Abort);
    opened = dataFileOpened;
    return rc::kOk;
  }
  opened = false;
  std::array<std::uint8_t, payload::kSettingsSize> settings{};
  std::uint32_t got = 0;
  rc::Result result = dataFile.OpenRead(path);
  if (result == rc::kOk) result = ReadExactly(dataFile, settings.data(), payload::kSettingsSize, got);
  if (result == rc::kOk) result = payload::ParseSettings(settings.data(), got, SaverSettingsBlock);
  if (result != rc::kOk) {
    dataFile.Close();
  } else {
    opened = dataFileOpened = dataFileOpen = true;
    entries.fill(payload::SaverEntry{});
    entriesRead = 0;
    const std::int32_t count = SaverSettingsBlock.EntryCount();
    result = payload::ValidateEntryCount(count);
    std::vector<std::uint8_t> table;
    if (result == rc::kOk) {
      table.resize(static_cast<std::size_t>(count) * payload::kEntrySize);
      result = ReadExactly(dataFile, table.data(), static_cast<std::uint32_t>(table.size()), got);
    }
    std::vector<payload::SaverEntry> parsed;
    if (result == rc::kOk) result = payload::ParseEntries(table.data(), got, count, parsed);
    if (result == rc::kOk) {
      std::copy(parsed.begin(), parsed.end(), entries.begin() + 1);
      entriesRead = count;
    }
  }
  if (result != rc::kOk && showErrors && IsReadFailure(result)) {
    ShowErrorBox(LoadMessage(msg::sSaverDataReadError) + path + L"\r\n\r\n" +
                 DecimalText(result));
  }
  return result;
}

rc::Result ExtractSaverEntry(const std::wstring& folder, int entry) {
  if (entry < 1 || entry > SaverSettingsBlock.EntryCount()) return rc::kEntryBeyondCount;
  if (!dataFileOpen) return rc::kDataFileNotOpen;
  if (entry > EntriesToWalk()) return rc::kEntryBeyondCount;  // beyond the table read
  const payload::SaverEntry& saverEntry = entries[static_cast<std::size_t>(entry)];
  const std::string name = saverEntry.Name();
  if (const rc::Result r = payload::ValidateEntryName(name); r != rc::kOk) return r;
  // Without a folder the name would land in the current directory.
  if (name.empty() || folder.empty()) return name.empty() ? rc::kOk : rc::kUnsafeSaverName;
  const std::wstring path = folder + text::FromCp932(name);

  bool written = false;
  std::int64_t fileSize = 0;
  rc::Result result = dataFile.Size(fileSize);
  payload::SaverChunkHeader header;
  payload::ChunkData chunk;
  if (result == rc::kOk) result = ReadChunkHeader(saverEntry, static_cast<std::uint64_t>(fileSize), header);
  if (result == rc::kOk)
    result = payload::LocateChunkData(saverEntry, header, static_cast<std::uint64_t>(fileSize), chunk);
  if (result == rc::kOk && chunk.unpackedSize == 0) return rc::kOk;  // nothing to write
  if (result == rc::kOk && !FolderExists(FolderPart(path))) result = ForceFolders(FolderPart(path));
  if (result == rc::kOk) result = dataFile.Seek(static_cast<std::int64_t>(chunk.offset));
  // The entry's file takes its name only when complete.
  if (result == rc::kOk)
    result = WriteIntoPlace(path, [&](const std::wstring& temporary) {
      return chunk.compressed ? ExplodeChunk(chunk, temporary, written) : CopyChunk(chunk, temporary, written);
    });

  if (result != rc::kOk) {
    if (IsReadFailure(result)) {
      ShowErrorBox(LoadMessage(msg::sProductError) + LoadMessage(msg::sSaverDataFileReadError) +
                   SystemMessageText(static_cast<unsigned long>(result)));
    }
    if (written) DeleteFileW(path.c_str());
  }
  return result;
}

rc::Result CloseSaverDataFile() {
  if (!dataFileOpen) return rc::kOk;
  dataFileOpen = false;
  const rc::Result result = dataFile.Close();
  if (result != rc::kOk)
    ShowErrorBox(LoadMessage(msg::sCannotCloseFile) + L"\r\n" + SystemMessageText(static_cast<unsigned long>(result)));
  return result;
}

rc::Result InstallSaverContent() {
  LogEnter(L"InstallSaverContent", SaverDataFilePath);
  payload::Reporter().ShowStatus(LoadMessage(msg::sExtractingFiles));
  bool opened = false;
  rc::Result result =
      SaverDataFolder.empty() ? rc::kUnsafeSaverName : OpenSaverDataFile(SaverDataFilePath, true, opened);
  std::string mainName;
  if (result == rc::kOk) {
    if (SaverSettingsBlock.SaverContentKind() == payload::kSaverContentInstallerMovie)
      entries[1].kind = payload::kEntryKindInstallerMovie;
    mainName = entries[1].Name();
    const std::int32_t count = EntriesToWalk();
    for (std::int32_t i = 1; i <= count && result == rc::kOk; ++i) {
      const std::string name = entries[static_cast<std::size_t>(i)].Name();
      if (name.empty()) continue;
      if (entries[static_cast<std::size_t>(i)].kind == payload::kEntryKindInstallerMovie)
        result = CopyInstallerMovie(i, mainName, name);
      else
        result = ExtractSaverEntry(SaverDataFolder, i);
    }
  }
  if (result == rc::kOk) {
    result = CloseSaverDataFile();
    payload::Reporter().StepProgress();
  } else {
    // Left open, the data file could not be deleted, nor the work folder removed.
    CloseSaverDataFile();
  }
  if (!mainName.empty()) {
    const std::wstring mainPath = SaverDataFolder + text::FromCp932(mainName);
    const DWORD attributes = GetFileAttributesW(mainPath.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES)
      SetFileAttributesW(mainPath.c_str(), attributes | FILE_ATTRIBUTE_ARCHIVE);
  }
  LogLeave(L"InstallSaverContent");
  return result;
}

rc::Result WriteSaverSettings() {
  payload::Reporter().ShowStatus(LoadMessage(msg::sWritingSaverData));
  if (SaverDataFolder.empty()) return rc::kUnsafeSaverName;
  const std::wstring path = SaverDataFolder + kSettingsFileName;
  const rc::Result result = WriteIntoPlace(path, [](const std::wstring& temporary) {
    FileStream file;
    rc::Result written = file.Create(temporary);
    if (written == rc::kOk) written = file.Write(SaverSettingsBlock.bytes.data(), payload::kSettingsSize);
    const rc::Result closed = file.Close();
    return written == rc::kOk ? closed : written;
  });
  if (result != rc::kOk) payload::Reporter().ShowInstallError(result, path);
  return result;
}
