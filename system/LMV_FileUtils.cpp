#include "system/LMV_FileUtils.h"

#include <windows.h>

#include <memory>
#include <vector>

#include "messages/MessageBox.h"
#include "system/InstallJournal.h"
#include "system/LMV_StringUtils.h"
#include "system/SafeLoading.h"
#include "system/VersionResource.h"

std::wstring WindowsFolder;
std::wstring SystemFolder;
std::wstring InstallerFolder;
std::wstring WorkFolder;

namespace {

constexpr int kWorkFolderNumbers = 1000;       // work-folder numbers tried: 1 to 1000
const wchar_t kLockExtension[] = L".lock";      // beside each owned work folder, held open by its owner
const wchar_t kSaverExtension[] = L".scr";
const wchar_t kDataFolderSuffix[] = L" dir\\";

// Appends a backslash unless the text already ends with one. An empty text
// stays empty: it names no folder, and "\" would mean the drive's root.
std::wstring WithBackslash(std::wstring text) {
  if (!text.empty() && text.back() != L'\\') text += L'\\';
  return text;
}

// The value of an environment variable; empty when unset.
std::wstring EnvironmentValue(const wchar_t* name) {
  DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return {};
  std::vector<wchar_t> buffer(size);
  DWORD length = GetEnvironmentVariableW(name, buffer.data(), size);
  if (length == 0 || length >= size) return {};
  return std::wstring(buffer.data(), length);
}

std::wstring TempFolder() {
  std::wstring temp = EnvironmentValue(L"TEMP");
  if (!temp.empty()) return WithBackslash(temp);
  wchar_t buffer[MAX_PATH + 1];
  DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
  if (length == 0 || length > MAX_PATH) return {};
  return WithBackslash(std::wstring(buffer, length));
}

bool FileExists(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// One delete, then one more after clearing read-only, hidden and system.
bool DeleteOnce(const std::wstring& path) {
  if (DeleteFileW(path.c_str())) return true;
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  return DeleteFileW(path.c_str()) != 0;
}

bool HasScrExtension(const std::wstring& path) {
  std::size_t dot = path.rfind(L'.');
  if (dot == std::wstring::npos) return false;
  std::wstring extension = path.substr(dot);
  for (wchar_t& c : extension) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return extension == L".scr";
}

// Removes a junction or directory symbolic link itself; the target is not entered.
void RemoveFolderLink(const std::wstring& path) {
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!RemoveDirectoryW(path.c_str())) DeleteFileW(path.c_str());
}

struct FindCloser {
  void operator()(HANDLE handle) const { FindClose(handle); }
};
using FindHandle = std::unique_ptr<void, FindCloser>;

}  // namespace

std::wstring GetWindowsFolder() {
  std::wstring windir = EnvironmentValue(L"WINDIR");
  if (!windir.empty()) return WithBackslash(windir);
  wchar_t buffer[MAX_PATH + 1];
  UINT length = GetWindowsDirectoryW(buffer, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) return {};
  return WithBackslash(std::wstring(buffer, length));
}

// The same answer the library loading uses, before the folders are set.
std::wstring GetSystemFolder() { return SystemDirectory(); }

std::wstring FolderOfPath(const std::wstring& path) {
  std::size_t last = path.find_last_of(L"\\:");
  if (last == std::wstring::npos) return {};
  return WithBackslash(path.substr(0, last + 1));
}

rc::Result InitInstallFolders(const std::wstring& installerPath) {
  WindowsFolder = GetWindowsFolder();
  SystemFolder = GetSystemFolder();
  InstallerFolder = FolderOfPath(installerPath);
  if (WindowsFolder.empty() || SystemFolder.empty() || InstallerFolder.empty()) {
    return rc::kNoTempFolder;
  }
  RemoveDeadWorkFolders(L"LVF");
  return CreateOwnedWorkFolder(L"LVF", WorkFolder);
}

namespace {

// The lock file of this process's work folder, open until the folder is gone.
HANDLE workFolderLock = INVALID_HANDLE_VALUE;
std::wstring workFolderLockPath;

bool IsDigits(const std::wstring& text) {
  if (text.empty()) return false;
  for (const wchar_t c : text)
    if (c < L'0' || c > L'9') return false;
  return true;
}

}  // namespace

void RemoveDeadWorkFolders(const std::wstring& prefix) {
  const std::wstring temp = TempFolder();
  if (temp.empty()) return;
  std::vector<std::wstring> numbers;
  {
    WIN32_FIND_DATAW entry;
    FindHandle find(FindFirstFileW((temp + prefix + L"*" + kLockExtension).c_str(), &entry));
    if (find.get() == INVALID_HANDLE_VALUE) return;
    do {
      const std::wstring name = entry.cFileName;
      const std::size_t stem = name.size() - (sizeof kLockExtension / sizeof(wchar_t) - 1);
      if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || name.size() <= prefix.size() + 5) continue;
      const std::wstring number = name.substr(prefix.size(), stem - prefix.size());
      if (IsDigits(number)) numbers.push_back(number);
    } while (FindNextFileW(find.get(), &entry));
  }
  for (const auto& number : numbers) {
    const std::wstring folder = temp + prefix + number;
    const std::wstring lock = folder + kLockExtension;
    // Opened without any sharing only when no live owner holds it.
    HANDLE handle = CreateFileW(lock.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) continue;
    const bool gone = DeleteFolderTree(folder + L'\\') == rc::kOk;
    CloseHandle(handle);
    // A folder that stays keeps its lock file: the next start-up tries again.
    if (gone) DeleteFileW(lock.c_str());
  }
}

rc::Result CreateOwnedWorkFolder(const std::wstring& prefix, std::wstring& folder) {
  const std::wstring temp = TempFolder();
  if (temp.empty()) return rc::kNoTempFolder;
  folder = temp + prefix;
  DWORD lastError = ERROR_ALREADY_EXISTS;
  for (int n = 1; n <= kWorkFolderNumbers; ++n) {
    const std::wstring candidate = folder + DecimalText(n);
    const std::wstring lock = candidate + kLockExtension;
    if (GetFileAttributesW(candidate.c_str()) != INVALID_FILE_ATTRIBUTES ||
        GetFileAttributesW(lock.c_str()) != INVALID_FILE_ATTRIBUTES)
      continue;
    // The lock file claims the number first; it stays open, shared for reading only.
    HANDLE handle = CreateFileW(lock.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      lastError = GetLastError();
      continue;
    }
    if (!CreateDirectoryW(candidate.c_str(), nullptr)) {
      lastError = GetLastError();
      CloseHandle(handle);
      DeleteFileW(lock.c_str());
      continue;
    }
    ReleaseWorkFolder();
    workFolderLock = handle;
    workFolderLockPath = lock;
    folder = candidate + L'\\';
    return rc::kOk;
  }
  return lastError != 0 ? static_cast<rc::Result>(lastError) : static_cast<rc::Result>(ERROR_ALREADY_EXISTS);
}

void ReleaseWorkFolder() {
  if (workFolderLock == INVALID_HANDLE_VALUE) return;
  CloseHandle(workFolderLock);
  workFolderLock = INVALID_HANDLE_VALUE;
  DeleteFileW(workFolderLockPath.c_str());
  workFolderLockPath.clear();
}

rc::Result CreateWorkFolder(const std::wstring& prefix, std::wstring& folder) {
  std::wstring temp = TempFolder();
  if (temp.empty()) return rc::kNoTempFolder;
  folder = temp + prefix;
  for (int n = 1; n <= kWorkFolderNumbers; ++n) {
    std::wstring candidate = folder + DecimalText(n);
    if (GetFileAttributesW(candidate.c_str()) != INVALID_FILE_ATTRIBUTES) continue;
    if (CreateDirectoryW(candidate.c_str(), nullptr)) {
      folder = candidate + L'\\';
      return rc::kOk;
    }
  }
  rc::Result last = static_cast<rc::Result>(GetLastError());
  // All numbers taken without a failed creation leaves no error behind; a
  // zero here would read as success.
  return last != 0 ? last : static_cast<rc::Result>(ERROR_ALREADY_EXISTS);
}

rc::Result DeleteFileForced(const std::wstring& path) {
  if (!FileExists(path)) return rc::kOk;
  return DeleteOnce(path) ? rc::kOk : rc::kFileBusy;
}

rc::Result DeleteFileRetry(const std::wstring& path, int attempts) {
  rc::Result result = rc::kFolderRemoveFailed;
  while (attempts > 0 && result != rc::kOk) {
    if (!FileExists(path) || DeleteOnce(path)) {
      result = rc::kOk;
    } else {
      result = HasScrExtension(path) ? rc::kSaverOverwriteFailed : rc::kFileBusy;
    }
    --attempts;
  }
  return result;
}

rc::Result DeleteFolderTree(const std::wstring& folder) {
  if (folder.empty()) return rc::kFolderRemoveFailed;
  std::wstring self = folder.back() == L'\\' ? folder.substr(0, folder.size() - 1) : folder;
  DWORD selfAttributes = GetFileAttributesW(self.c_str());
  if (selfAttributes == INVALID_FILE_ATTRIBUTES) return rc::kOk;
  if (selfAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    // The folder handed in is itself a link: remove the link, keep its target.
    RemoveFolderLink(self);
    return GetFileAttributesW(self.c_str()) == INVALID_FILE_ATTRIBUTES ? rc::kOk
                                                                       : rc::kFolderRemoveFailed;
  }
  std::wstring base = self + L'\\';

  rc::Result error = rc::kOk;
  {
    WIN32_FIND_DATAW entry;
    FindHandle find(FindFirstFileW((base + L"*.*").c_str(), &entry));
    if (find.get() == INVALID_HANDLE_VALUE) find.release();
    for (bool more = find != nullptr; more && error == rc::kOk;
         more = FindNextFileW(find.get(), &entry) != 0) {
      std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring full = base + name;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        // A junction or symbolic link: never followed, only the link goes.
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          RemoveFolderLink(full);
        } else {
          error = DeleteFileForced(full);
        }
      } else if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        DeleteFolderTree(full + L'\\');  // a folder that stays shows below as -1
      } else {
        error = DeleteFileForced(full);
      }
    }
  }
  if (error != rc::kOk) return error;

  if (FolderExists(self)) {
    SetFileAttributesW(self.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!RemoveDirectoryW(self.c_str())) return rc::kFolderRemoveFailed;
  }
  return rc::kOk;
}

namespace {

// A program file mapped as plain data, never run and never laid out as an image:
// only its resources are read. (The version library maps the file as an image,
// which under Wine copies the whole file, twice for one reading.)
class DataFileModule {
 public:
  explicit DataFileModule(const std::wstring& path)
      : module_(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
  ~DataFileModule() {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  DataFileModule(const DataFileModule&) = delete;
  DataFileModule& operator=(const DataFileModule&) = delete;
  HMODULE get() const { return module_; }

 private:
  HMODULE module_;
};

}  // namespace

void GetFileVersionNumbers(const std::wstring& path, int& first, int& third) {
  const DataFileModule file(path);
  if (file.get() == nullptr) return;
  HRSRC found = FindResourceW(file.get(), MAKEINTRESOURCEW(VS_VERSION_INFO), RT_VERSION);
  if (found == nullptr) return;
  HGLOBAL loaded = LoadResource(file.get(), found);
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  version::FileVersion read;
  if (!version::ReadFileVersion(static_cast<const std::uint8_t*>(bytes),
                                SizeofResource(file.get(), found), read))
    return;
  first = read.first;
  third = read.third;
}

// --- the screen saver's place in a folder -------------------------------------

namespace {

// The name becomes a file name and a folder name: no separators, no drive, no
// "." or "..", so that nothing outside `folder` is ever touched.
bool IsPlainSaverName(const std::wstring& name) {
  if (name.empty() || name == L"." || name == L"..") return false;
  return name.find_first_of(L"\\/:") == std::wstring::npos;
}

}  // namespace

bool SaverExists(const std::wstring& folder, const std::wstring& name) {
  return FileExists(folder + name + kSaverExtension) || FolderExists(folder + name + kDataFolderSuffix);
}

rc::Result RemoveSaverFiles(const std::wstring& folder, const std::wstring& name) {
  rc::Result result = rc::kOk;
  const std::wstring program = folder + name + kSaverExtension;
  const std::wstring data = folder + name + kDataFolderSuffix;
  // During an installation earlier copies are set aside, so that an installation
  // that dies can put them back; one that cannot be moved is deleted as before.
  bool moved = false;
  if (const rc::Result r = Journal.MoveAside(program, moved); r != rc::kOk) return r;
  if (!moved && FileExists(program)) result = DeleteFileForced(program);
  if (const rc::Result r = Journal.MoveAside(data, moved); r != rc::kOk) return r;
  // A program that stays is not hidden by a data folder that went.
  if (FolderExists(data)) {
    rc::Result folderResult = DeleteFolderTree(data);
    if (result == rc::kOk) result = folderResult;
  }
  return result;
}

rc::Result CreateSaverDataFolder(const std::wstring& folder, const std::wstring& name) {
  const std::wstring data = folder + name + kDataFolderSuffix;
  if (FolderExists(data)) return rc::kOk;
  if (const rc::Result r = Journal.NoteCreatedFolder(data); r != rc::kOk) return r;
  if (CreateDirectoryW(data.c_str(), nullptr)) return rc::kOk;
  DWORD error = GetLastError();
  if (error == ERROR_ALREADY_EXISTS) return rc::kOk;
  return static_cast<rc::Result>(error);
}

rc::Result PrepareSaverTarget(const std::wstring& folder, const std::wstring& name, bool ask,
                              const std::wstring& question) {
  if (!IsPlainSaverName(name)) return rc::kUnsafeSaverName;
  const bool here = SaverExists(folder, name);
  const bool old = !WindowsFolder.empty() && SaverExists(WindowsFolder, name);
  if ((here || old) && ask) {
    BoxAnswer answer = ShowMessageBox(BoxKind::Confirmation, name + question, BoxButtons::OkCancel);
    if (answer != BoxAnswer::Ok) return rc::kUserDeclined;
  }
  // A copy that cannot be removed does not stop the step: writing the new
  // program later reports it.
  if (old) RemoveSaverFiles(WindowsFolder, name);
  if (here) RemoveSaverFiles(folder, name);
  return CreateSaverDataFolder(folder, name);
}
