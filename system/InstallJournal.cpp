#include "system/InstallJournal.h"

#include <algorithm>
#include <cwchar>
#include <memory>
#include <type_traits>

#include "system/LMV_FileUtils.h"
#include "system/LMV_RegistryUtils.h"
#include "system/LMV_StringUtils.h"

InstallJournal Journal;

namespace {

constexpr wchar_t kJournalExtension[] = L".lvj";
constexpr wchar_t kBackupSuffix[] = L"~lvold";
constexpr wchar_t kDoomedSuffix[] = L"~lvdel";     // a busy file renamed, deleted at the next restart
constexpr int kBackupNames = 100;                    // backup names tried: ~lvold, ~lvold2 .. ~lvold100
constexpr DWORD kMaxJournalBytes = 4u << 20;         // a journal is a few hundred bytes; more is not ours
constexpr wchar_t kProfileAbsent[] = L"\x01lv-absent\x01";  // a default no profile value holds
constexpr DWORD kProfileValueChars = 4096;
constexpr DWORD kRegistryTextBytes = 16384;
const wchar_t* const kUninstallValues[] = {L"DisplayName", L"UninstallString"};
constexpr char kPresent[] = "1";
constexpr char kAbsent[] = "0";

struct HandleCloser {
  void operator()(HANDLE handle) const {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
};
using FileHandle = std::unique_ptr<void, HandleCloser>;

struct KeyCloser {
  void operator()(HKEY key) const { RegCloseKey(key); }
};
using KeyHandle = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
  return out;
}

std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
  return out;
}

std::wstring WithoutBackslash(std::wstring path) {
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  return path;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Removes a file or a folder with everything in it; true when nothing is left
// under the name. A running program (the screen saver undoing its own
// installation) cannot be deleted but can be renamed: it goes at the next restart.
bool RemovePath(const std::wstring& path) {
  if (!Exists(path)) return true;
  if (IsFolder(path)) return DeleteFolderTree(WithoutBackslash(path) + L"\\") == rc::kOk;
  if (DeleteFileForced(path) == rc::kOk) return true;
  const std::wstring doomed = path + kDoomedSuffix;
  if (!MoveFileExW(path.c_str(), doomed.c_str(), MOVEFILE_REPLACE_EXISTING)) return false;
  MoveFileExW(doomed.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  return true;
}

// Windows refuses to rename a folder while a file in it is open (Wine does
// not): a folder is set aside only when every file in it could go now, so
// that a file in use stays where it is, as when the folder is deleted.
bool EveryFileFree(const std::wstring& folder) {
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return true;
  bool free = true;
  do {
    const std::wstring name = entry.cFileName;
    if (name == L"." || name == L".." || (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) continue;
    const std::wstring full = folder + L"\\" + name;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      free = EveryFileFree(full);
    } else {
      HANDLE file = CreateFileW(full.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
      free = file != INVALID_HANDLE_VALUE;
      if (free) CloseHandle(file);
    }
  } while (free && FindNextFileW(find, &entry));
  FindClose(find);
  return free;
}

HKEY RootOf(const std::string& name) { return name == "HKCU" ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }

bool WriteAll(HANDLE file, const std::string& bytes) {
  DWORD written = 0;
  return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

// --- undoing one record -------------------------------------------------------

bool UndoMovedAside(const journal::Record& r) {
  const std::wstring original = Wide(r.fields[0]);
  const std::wstring backup = Wide(r.fields[1]);
  if (!Exists(backup)) return true;  // never moved, or already back
  if (!RemovePath(original)) return false;
  return MoveFileExW(backup.c_str(), original.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
}

bool UndoProfileValue(const journal::Record& r) {
  const std::wstring file = Wide(r.fields[0]);
  const std::wstring value = Wide(r.fields[4]);
  const bool had = r.fields[3] == kPresent;
  const BOOL written = WritePrivateProfileStringW(Wide(r.fields[1]).c_str(), Wide(r.fields[2]).c_str(),
                                                  had ? value.c_str() : nullptr, file.c_str());
  WritePrivateProfileStringW(nullptr, nullptr, nullptr, file.c_str());  // flush the cache
  return written != 0;
}

bool UndoRegistryKey(const journal::Record& r) {
  if (r.fields[2] == kPresent) return true;  // its values are restored one by one
  const long status = DeleteRegistryKeyTree(RootOf(r.fields[0]), Wide(r.fields[1]));
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

bool UndoRegistryValue(const journal::Record& r) {
  HKEY opened = nullptr;
  if (RegCreateKeyExW(RootOf(r.fields[0]), Wide(r.fields[1]).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE, nullptr, &opened, nullptr) != ERROR_SUCCESS)
    return false;
  KeyHandle key(opened);
  const std::wstring name = Wide(r.fields[2]);
  if (r.fields[3] != kPresent) {
    const LONG status = RegDeleteValueW(key.get(), name.c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
  }
  const std::wstring text = Wide(r.fields[4]);
  return RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool Undo(const journal::Record& r) {
  switch (r.kind) {
    case journal::Kind::MovedAside: return UndoMovedAside(r);
    case journal::Kind::CreatedFile: return RemovePath(Wide(r.fields[1])) && RemovePath(Wide(r.fields[0]));
    case journal::Kind::CreatedFolder: return RemovePath(Wide(r.fields[0]));
    case journal::Kind::ProfileValue: return UndoProfileValue(r);
    case journal::Kind::RegistryKey: return UndoRegistryKey(r);
    case journal::Kind::RegistryValue: return UndoRegistryValue(r);
    default: return true;
  }
}

}  // namespace

std::wstring JournalPathFor(const std::wstring& folder, const std::wstring& name) {
  return folder + name + kJournalExtension;
}

InstallJournal::~InstallJournal() {
  // Closed, never removed: a journal left open at the end belongs to an
  // installation that did not finish.
  if (Active()) CloseHandle(file_);
}

rc::Result InstallJournal::Begin(const std::wstring& path, const std::wstring& name) {
  if (Active()) return rc::kInstallationRunning;
  createdFolders_.clear();
  backups_.clear();
  // Shared for reading only: while it is open, nobody takes it for a dead one.
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS || error == ERROR_SHARING_VIOLATION)
      return rc::kInstallationRunning;
    return rc::FromWindowsError(error);
  }
  file_ = file;
  path_ = path;
  const rc::Result result = Append({journal::Kind::Header, {journal::kVersion, Utf8(name)}});
  if (result != rc::kOk) {
    CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
    DeleteFileW(path_.c_str());
  }
  return result;
}

rc::Result InstallJournal::Append(const journal::Record& record) {
  if (!Active()) return rc::kOk;
  // Written through before the change it announces is made.
  if (!WriteAll(file_, journal::SerializeRecord(record)) || !FlushFileBuffers(file_)) {
    const DWORD error = GetLastError();
    return error != 0 ? static_cast<rc::Result>(error) : static_cast<rc::Result>(ERROR_WRITE_FAULT);
  }
  return rc::kOk;
}

bool InstallJournal::InsideCreatedFolder(const std::wstring& path) const {
  for (const auto& folder : createdFolders_) {
    if (path.size() > folder.size() && _wcsnicmp(path.c_str(), folder.c_str(), folder.size()) == 0) return true;
  }
  return false;
}

rc::Result InstallJournal::MoveAside(const std::wstring& path, bool& moved) {
  moved = false;
  const std::wstring original = WithoutBackslash(path);
  // What lies inside a folder of this installation goes with that folder.
  if (!Active() || !Exists(original) || InsideCreatedFolder(original)) return rc::kOk;
  if (IsFolder(original) && !EveryFileFree(original)) return rc::kOk;
  std::wstring backup;
  for (int n = 1; n <= kBackupNames && backup.empty(); ++n) {
    const std::wstring candidate = original + kBackupSuffix + (n > 1 ? DecimalText(n) : std::wstring());
    if (!Exists(candidate)) backup = candidate;
  }
  if (backup.empty()) return rc::kOk;  // no free name: the caller deletes as before
  if (const rc::Result r = Append({journal::Kind::MovedAside, {Utf8(original), Utf8(backup)}}); r != rc::kOk)
    return r;
  moved = MoveFileExW(original.c_str(), backup.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
  if (moved) backups_.push_back(backup);
  return rc::kOk;
}

rc::Result InstallJournal::NoteCreatedFile(const std::wstring& path, const std::wstring& temporary) {
  // The work folder goes with its owner (system/LMV_FileUtils).
  const bool inWorkFolder = !WorkFolder.empty() && path.compare(0, WorkFolder.size(), WorkFolder) == 0;
  if (!Active() || InsideCreatedFolder(path) || inWorkFolder) return rc::kOk;
  return Append({journal::Kind::CreatedFile, {Utf8(path), Utf8(temporary)}});
}

rc::Result InstallJournal::NoteCreatedFolder(const std::wstring& folder) {
  if (!Active() || InsideCreatedFolder(folder)) return rc::kOk;
  const std::wstring withBackslash = WithoutBackslash(folder) + L"\\";
  if (const rc::Result r = Append({journal::Kind::CreatedFolder, {Utf8(withBackslash)}}); r != rc::kOk) return r;
  createdFolders_.push_back(withBackslash);
  return rc::kOk;
}

rc::Result InstallJournal::NoteProfileValue(const std::wstring& file, const std::wstring& section,
                                            const std::wstring& key) {
  if (!Active()) return rc::kOk;
  std::wstring value(kProfileValueChars, L'\0');
  const DWORD length = GetPrivateProfileStringW(section.c_str(), key.c_str(), kProfileAbsent, &value[0],
                                                kProfileValueChars, file.c_str());
  value.resize(length);
  const bool had = value != kProfileAbsent;
  return Append({journal::Kind::ProfileValue,
                 {Utf8(file), Utf8(section), Utf8(key), had ? kPresent : kAbsent, had ? Utf8(value) : ""}});
}

rc::Result InstallJournal::NoteUninstallEntry(const std::wstring& name) {
  if (!Active()) return rc::kOk;
  const std::wstring keyPath = UninstallKeyPath(name);
  for (const char* rootName : {"HKLM", "HKCU"}) {
    HKEY opened = nullptr;
    const bool existed =
        RegOpenKeyExW(RootOf(rootName), keyPath.c_str(), 0, KEY_QUERY_VALUE, &opened) == ERROR_SUCCESS;
    KeyHandle key(existed ? opened : nullptr);
    if (const rc::Result r = Append({journal::Kind::RegistryKey, {rootName, Utf8(keyPath), existed ? kPresent : kAbsent}});
        r != rc::kOk)
      return r;
    if (!existed) continue;
    for (const wchar_t* valueName : kUninstallValues) {
      std::wstring text(kRegistryTextBytes / sizeof(wchar_t), L'\0');
      DWORD bytes = kRegistryTextBytes - sizeof(wchar_t);
      DWORD type = 0;
      const bool had = RegQueryValueExW(key.get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(&text[0]),
                                        &bytes) == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ);
      text.resize(had ? bytes / sizeof(wchar_t) : 0);
      while (!text.empty() && text.back() == L'\0') text.pop_back();
      if (const rc::Result r = Append({journal::Kind::RegistryValue,
                                       {rootName, Utf8(keyPath), Utf8(valueName), had ? kPresent : kAbsent, Utf8(text)}});
          r != rc::kOk)
        return r;
    }
  }
  return rc::kOk;
}

void InstallJournal::Finish() {
  if (!Active()) return;
  Append({journal::Kind::Committed, {}});
  bool allGone = true;
  for (const auto& backup : backups_) allGone &= RemovePath(backup);
  CloseHandle(file_);
  file_ = INVALID_HANDLE_VALUE;
  // A copy that stays is removed by the next installer's start-up.
  if (allGone) DeleteFileW(path_.c_str());
  createdFolders_.clear();
  backups_.clear();
}

rc::Result RecoverInstallation(const std::wstring& path, Recovery& found, void (*beforeWork)()) {
  found = Recovery::None;
  // No sharing at all: this succeeds only when no live process holds the journal.
  FileHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return rc::kOk;
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) {
      found = Recovery::OwnerRunning;
      return rc::kOk;
    }
    return rc::kJournalUndoIncomplete;
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) return rc::kJournalUndoIncomplete;
  std::string bytes(static_cast<std::size_t>(std::min<LONGLONG>(size.QuadPart, kMaxJournalBytes)), '\0');
  DWORD read = 0;
  if (!bytes.empty() && !ReadFile(file.get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr))
    return rc::kJournalUndoIncomplete;
  bytes.resize(read);
  const journal::Contents contents = journal::ParseJournal(bytes);
  const journal::Plan plan = journal::PlanRecovery(contents);
  found = plan.committed ? Recovery::Finished : Recovery::Undone;
  if (!plan.steps.empty() && beforeWork != nullptr) beforeWork();

  // Progress goes behind the last sound line, so that a torn line never hides it.
  LARGE_INTEGER end{};
  end.QuadPart = static_cast<LONGLONG>(contents.soundBytes);
  const bool appendable = SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN) && SetEndOfFile(file.get());
  bool complete = true;
  for (const std::size_t index : plan.steps) {
    const journal::Record& record = contents.records[index];
    if (plan.committed) {
      complete &= RemovePath(Wide(record.fields[1]));
      continue;
    }
    if (!Undo(record)) {
      complete = false;
      continue;
    }
    if (appendable) {
      WriteAll(file.get(), journal::SerializeRecord({journal::Kind::Undone, {std::to_string(index)}}));
      FlushFileBuffers(file.get());
    }
  }
  file.reset();
  if (!complete) return rc::kJournalUndoIncomplete;
  DeleteFileW(path.c_str());
  return rc::kOk;
}
