#include "system/SafeLoading.h"

#include <vector>

namespace {

// Not in the XP headers' view: looked up by name at run time.
constexpr DWORD kSearchSystem32Only = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryFn = BOOL(WINAPI*)(LPCWSTR);
// Like WinExec, a start returns once the program waits for input, or after this long.
constexpr DWORD kInputIdleWaitMs = 30000;

template <typename Fn>
Fn Kernel32Function(const char* name) {
  return ExportedFunction<Fn>(GetModuleHandleW(L"kernel32.dll"), name);  // always loaded
}

}  // namespace

void RestrictLibrarySearch() {
  if (auto setDefault = Kernel32Function<SetDefaultDllDirectoriesFn>("SetDefaultDllDirectories");
      setDefault != nullptr && setDefault(kSearchSystem32Only))
    return;
  if (auto setDirectory = Kernel32Function<SetDllDirectoryFn>("SetDllDirectoryW"))
    setDirectory(L"");
}

std::wstring SystemDirectory() {
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  UINT length = GetSystemDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
  if (length >= buffer.size()) {
    buffer.resize(length + 1);
    length = GetSystemDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
  }
  if (length == 0 || length >= buffer.size()) return {};
  std::wstring folder(buffer.data(), length);
  if (folder.back() != L'\\') folder += L'\\';
  return folder;
}

std::wstring SystemFilePath(const wchar_t* fileName) {
  std::wstring path = SystemDirectory();
  if (!path.empty()) path += fileName;
  return path;
}

rc::Result StartSystemProgram(const wchar_t* fileName, const std::wstring& arguments, WORD show) {
  const std::wstring folder = SystemDirectory();
  if (folder.empty()) return static_cast<rc::Result>(ERROR_PATH_NOT_FOUND);
  const std::wstring program = folder + fileName;
  // The application name is the full path, so no search takes place; the
  // command line repeats it, quoted, as the program's first argument.
  std::wstring commandLine = L"\"" + program + L"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = show;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                      folder.c_str(), &startup, &process))
    return rc::FromWindowsError(GetLastError());
  WaitForInputIdle(process.hProcess, kInputIdleWaitMs);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return rc::kOk;
}
