#include "tests/hostile/HostileSupport.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "payload/PayloadFormat.h"
#include "tools/lvpack/Builder.h"

namespace hostile {
namespace {

constexpr DWORD kRepressMs = 2000;  // a box still there after this is pressed again
constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

fs::path FromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0')
    throw std::runtime_error(std::string("environment variable not set: ") + name);
  std::wstring path = L"Z:";
  for (const char* p = value; *p; ++p) path += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
  return fs::path(path);
}

std::wstring Lower(std::wstring s) {
  for (wchar_t& c : s) c = static_cast<wchar_t>(towlower(c));
  return s;
}

bool StartsWith(const std::wstring& s, const std::wstring& prefix) {
  return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

// --- message boxes ----------------------------------------------------------

struct WindowSearch {
  DWORD pid;
  std::wstring className;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectWindows(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  wchar_t cls[64] = {};
  GetClassNameW(window, cls, 64);
  if (pid == search->pid && IsWindowVisible(window) && search->className == cls)
    search->found.push_back(window);
  return TRUE;
}

std::wstring TextOf(HWND window) {
  wchar_t text[1024] = {};
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 500,
                      &ignored);
  return text;
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> children;
  for (HWND c = GetWindow(parent, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT))
    children.push_back(c);
  return children;
}

std::wstring ClassOf(HWND window) {
  wchar_t cls[64] = {};
  GetClassNameW(window, cls, 64);
  return cls;
}

// The box's message and the button a cautious user presses.
std::wstring AnswerBox(HWND box) {
  std::wstring text;
  HWND first = nullptr;
  HWND refusing = nullptr;
  for (HWND child : Children(box)) {
    const std::wstring cls = ClassOf(child);
    const std::wstring caption = TextOf(child);
    if (cls == L"Static" && !caption.empty()) text += (text.empty() ? L"" : L" ") + caption;
    if (cls == L"Button") {
      if (first == nullptr) first = child;
      if (caption == L"いいえ" || caption == L"キャンセル") refusing = child;
    }
  }
  HWND press = refusing != nullptr ? refusing : first;
  if (press != nullptr) PostMessageW(press, BM_CLICK, 0, 0);
  return TextOf(box) + L": " + text;
}

// --- snapshots ----------------------------------------------------------------

std::wstring Fingerprint(const WIN32_FIND_DATAW& data) {
  wchar_t text[96];
  const bool folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  swprintf(text, 96, L"%ls size %llu time %08lx%08lx attr %lx", folder ? L"folder" : L"file",
           folder ? 0ull : (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow,
           folder ? 0ul : data.ftLastWriteTime.dwHighDateTime, folder ? 0ul : data.ftLastWriteTime.dwLowDateTime,
           data.dwFileAttributes & ~FILE_ATTRIBUTE_ARCHIVE);
  return text;
}

// Walks a folder with FindFirstFile; never follows reparse points.
void AddFolder(Snapshot& snapshot, const std::wstring& folder, bool recursive) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  std::vector<std::wstring> subfolders;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = folder + L"\\" + name;
    snapshot.items[L"file " + Lower(path)] = Fingerprint(data);
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
      subfolders.push_back(path);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  if (recursive)
    for (const auto& sub : subfolders) AddFolder(snapshot, sub, true);
}

void AddKey(Snapshot& snapshot, HKEY root, const std::wstring& rootName, const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  snapshot.items[L"reg " + Lower(rootName + L"\\" + path)] = L"key";
  for (DWORD i = 0;; ++i) {
    wchar_t name[512];
    DWORD nameLength = 512;
    BYTE data[4096];
    DWORD dataLength = sizeof data;
    DWORD type = 0;
    if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data, &dataLength) != ERROR_SUCCESS) break;
    std::wstring value = L"type " + std::to_wstring(type) + L" ";
    for (DWORD b = 0; b < dataLength; ++b) {
      wchar_t hex[4];
      swprintf(hex, 4, L"%02x", data[b]);
      value += hex;
    }
    snapshot.items[L"reg " + Lower(rootName + L"\\" + path + L"\\@" + name)] = value;
  }
  std::vector<std::wstring> subkeys;
  for (DWORD i = 0;; ++i) {
    wchar_t name[512];
    DWORD nameLength = 512;
    if (RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    subkeys.push_back(name);
  }
  RegCloseKey(key);
  for (const auto& sub : subkeys) AddKey(snapshot, root, rootName, path + L"\\" + sub);
}

}  // namespace

fs::path InstallerImage() { return FromEnvironment("LV_HOSTILE_IMAGE"); }
fs::path Decompressor() { return FromEnvironment("LV_HOSTILE_IMPBORL"); }
fs::path FlashSetup() { return FromEnvironment("LV_HOSTILE_FLASHSETUP"); }
fs::path OutputFolder() { return FromEnvironment("LV_HOSTILE_OUT"); }

fs::path SystemFolder() {
  wchar_t path[MAX_PATH] = {};
  GetSystemDirectoryW(path, MAX_PATH);
  return path;
}

fs::path WindowsFolder() {
  wchar_t path[MAX_PATH] = {};
  GetWindowsDirectoryW(path, MAX_PATH);
  return path;
}

fs::path TempFolder() {
  wchar_t path[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, path);
  std::wstring p = path;
  while (!p.empty() && p.back() == L'\\') p.pop_back();
  return p;
}

fs::path CaseFolder(const std::string& name) {
  const fs::path folder = OutputFolder() / "work" / name;
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  fs::create_directories(folder);
  return folder;
}

void WriteBytes(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

lvpack::PackagePlan SilentPackage(const fs::path& folder, const std::string& saverName) {
  lvpack::PackagePlan package = lvpack::DefaultPlan();
  package.manifestPath = folder / "manifest.json";
  package.saverName = saverName;
  package.contentKind = payload::kContentSilent;
  package.showLicense = false;
  package.hasDocument = false;
  package.offerDisplayProperties = false;
  package.image = InstallerImage();
  auto file = [&](const std::string& name, const std::string& text) {
    const fs::path path = folder / name;
    WriteBytes(path, Bytes(text.begin(), text.end()));
    return path;
  };
  auto& slots = package.slots;
  slots[payload::kSlotDecompressor].file = Decompressor();
  slots[payload::kSlotFlashSetup].file = FlashSetup();
  slots[payload::kSlotSaverProgram].file = file("saver.scr", std::string(4000, 'S'));
  slots[payload::kSlotSaverFile].file = file("readme.txt", "saver file");
  slots[payload::kSlotSaverFile].name = "readme.txt";
  const fs::path content = folder / "content";
  fs::create_directories(content / "pictures");
  WriteBytes(content / "scene.dat", Bytes(3000, 'C'));
  WriteBytes(content / "pictures" / "one.bmp", Bytes(500, 'P'));
  lvpack::DataFileContent data;
  data.folder = content;
  slots[payload::kSlotSaverDataFile].content = data;
  slots[payload::kSlotEngine1].file = file("saver1.dll", std::string(2000, '1'));
  slots[payload::kSlotEngine2].file = file("saver2.dll", std::string(1000, '2'));
  for (auto& slot : slots) slot.compressed = false;
  return package;
}

lvpack::InstallerFile Assemble(const lvpack::PackagePlan& package, const fs::path& file) {
  lvpack::Bytes bytes = lvpack::BuildInstaller(package);
  return lvpack::ParseInstaller(file, std::move(bytes));
}

void Save(lvpack::InstallerFile& installer) {
  lvpack::StoreBlock(installer);
  WriteBytes(installer.path, installer.bytes);
}

void ReplaceSlotData(lvpack::InstallerFile& installer, int slot, const Bytes& data) {
  payload::PayloadRecord& record = *installer.block.Slot(slot);
  record.firstByte = static_cast<std::int32_t>(installer.bytes.size());
  record.lastByte = record.firstByte + static_cast<std::int32_t>(data.size()) - 1;
  record.packedSize = static_cast<std::uint32_t>(data.size());
  installer.bytes.insert(installer.bytes.end(), data.begin(), data.end());
}

namespace {

// This process's environment with `changes` applied, as a CreateProcessW block.
std::wstring EnvironmentBlock(const std::vector<std::wstring>& changes) {
  std::map<std::wstring, std::wstring> variables;  // upper-case name -> "NAME=value"
  auto nameOf = [](const std::wstring& entry) {
    std::wstring name = entry.substr(0, entry.find(L'=', 1));
    for (wchar_t& c : name) c = static_cast<wchar_t>(towupper(c));
    return name;
  };
  if (wchar_t* block = GetEnvironmentStringsW()) {
    for (const wchar_t* p = block; *p; p += wcslen(p) + 1) variables[nameOf(p)] = p;
    FreeEnvironmentStringsW(block);
  }
  for (const auto& change : changes) variables[nameOf(change)] = change;
  std::wstring out;
  for (const auto& [name, entry] : variables) out += entry + L'\0';
  return out + L'\0';
}

}  // namespace

Outcome RunInstaller(const fs::path& installer, DWORD limitMs, const std::function<void(DWORD)>& onTick,
                     const std::vector<std::wstring>& environment, DWORD pollMs) {
  Outcome outcome;
  std::wstring block = environment.empty() ? std::wstring() : EnvironmentBlock(environment);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  std::wstring command = L"\"" + installer.wstring() + L"\"";
  const std::wstring folder = installer.parent_path().wstring();
  if (!CreateProcessW(installer.c_str(), &command[0], nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                      block.empty() ? nullptr : &block[0], folder.c_str(), &startup, &info))
    throw std::runtime_error("cannot start " + installer.string());
  CloseHandle(info.hThread);
  const DWORD start = GetTickCount();
  std::map<HWND, DWORD> pressedAt;
  for (;;) {
    if (WaitForSingleObject(info.hProcess, pollMs) == WAIT_OBJECT_0) {
      outcome.ended = true;
      break;
    }
    if (GetTickCount() - start > limitMs) break;
    if (onTick) onTick(info.dwProcessId);
    WindowSearch search{info.dwProcessId, L"#32770", {}};
    EnumWindows(CollectWindows, reinterpret_cast<LPARAM>(&search));
    for (HWND box : search.found) {
      auto seen = pressedAt.find(box);
      if (seen != pressedAt.end() && GetTickCount() - seen->second < kRepressMs) continue;
      const std::wstring text = AnswerBox(box);
      if (seen == pressedAt.end()) outcome.boxes.push_back(text);
      pressedAt[box] = GetTickCount();
    }
  }
  outcome.milliseconds = GetTickCount() - start;
  if (!outcome.ended) {
    TerminateProcess(info.hProcess, 99);
    WaitForSingleObject(info.hProcess, 5000);
  }
  GetExitCodeProcess(info.hProcess, &outcome.exitCode);
  CloseHandle(info.hProcess);
  return outcome;
}

std::string Describe(const Outcome& outcome) {
  std::string text = outcome.ended ? "ended with " + std::to_string(static_cast<std::int32_t>(outcome.exitCode))
                                   : std::string("killed at the time limit");
  text += " after " + std::to_string(outcome.milliseconds) + " ms";
  for (const auto& box : outcome.boxes) text += "\n  box " + Narrow(box);
  return text;
}

bool ReportsCode(const Outcome& outcome, std::int32_t code) {
  if (static_cast<std::int32_t>(outcome.exitCode) == code) return true;
  const std::wstring shown = L"= " + std::to_wstring(code) + L".";
  for (const auto& box : outcome.boxes)
    if (box.find(shown) != std::wstring::npos) return true;
  return false;
}

HWND FindProcessWindow(DWORD pid, const std::wstring& className) {
  WindowSearch search{pid, className, {}};
  EnumWindows(CollectWindows, reinterpret_cast<LPARAM>(&search));
  return search.found.empty() ? nullptr : search.found.front();
}

Snapshot TakeSnapshot() {
  Snapshot snapshot;
  AddFolder(snapshot, WindowsFolder().wstring(), true);
  AddFolder(snapshot, TempFolder().wstring(), true);
  // Where "..\" from the TEMP folder or an absolute name would land.
  AddFolder(snapshot, TempFolder().parent_path().wstring(), false);
  AddFolder(snapshot, TempFolder().parent_path().parent_path().wstring(), false);
  AddFolder(snapshot, L"C:", false);
  AddKey(snapshot, HKEY_LOCAL_MACHINE, L"HKLM", kUninstallKey);
  AddKey(snapshot, HKEY_CURRENT_USER, L"HKCU", kUninstallKey);
  return snapshot;
}

std::vector<std::wstring> Compare(const Snapshot& before, const Snapshot& after,
                                  const std::function<bool(const std::wstring&)>& allowed) {
  std::vector<std::wstring> lines;
  for (const auto& [item, print] : before.items) {
    if (allowed && allowed(item)) continue;
    auto now = after.items.find(item);
    if (now == after.items.end())
      lines.push_back(L"- " + item);
    else if (now->second != print)
      lines.push_back(L"~ " + item + L" (" + print + L" -> " + now->second + L")");
  }
  for (const auto& [item, print] : after.items) {
    if (allowed && allowed(item)) continue;
    if (before.items.count(item) == 0) lines.push_back(L"+ " + item);
  }
  return lines;
}

std::string Join(const std::vector<std::wstring>& lines) {
  std::string text;
  for (const auto& line : lines) text += Narrow(line) + "\n";
  return text;
}

bool IsSystemIni(const std::wstring& item) {
  return item == L"file " + Lower((WindowsFolder() / L"system.ini").wstring());
}

bool IsSaverPlace(const std::wstring& item, const std::string& name) {
  const std::wstring n = Lower(Widen(name));
  const std::wstring system = L"file " + Lower(SystemFolder().wstring()) + L"\\";
  return IsSystemIni(item) || item == system + n + L".scr" || item == system + n + L" dir" ||
         StartsWith(item, system + n + L" dir\\") ||
         StartsWith(item, L"reg hklm\\" + Lower(kUninstallKey) + L"\\" + n) ||
         StartsWith(item, L"reg hkcu\\" + Lower(kUninstallKey) + L"\\" + n);
}

std::wstring CurrentSaverEntry() {
  wchar_t value[MAX_PATH] = {};
  GetPrivateProfileStringW(L"boot", L"SCRNSAVE.EXE", L"", value, MAX_PATH, L"system.ini");
  return value;
}

std::wstring Widen(const std::string& ascii) {
  const int n = MultiByteToWideChar(932, 0, ascii.data(), static_cast<int>(ascii.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(932, 0, ascii.data(), static_cast<int>(ascii.size()), out.data(), n);
  return out;
}

std::string Narrow(const std::wstring& text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace hostile
