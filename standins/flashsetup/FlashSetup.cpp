// Stand-in for the player's setup package "flashax.exe". Started with exactly
// "/Q" it writes the stand-in control it carries to
// <system>\Macromed\Flash\Flash.ocx and registers it; any other command line
// ends it with an error at once. When that file is in use it writes the new
// control beside it, registers that one and leaves the replacement for the
// next start of Windows, as a real setup does. A build variant then asks for a
// restart in a Yes/No box titled "Macromedia Flash Player 7" (the answer is
// ignored: this program never restarts anything). Another hands the work to a
// child process of its own and ends at once, as many real setups do; one
// ends at once with an error and installs nothing.
// When LV_FLASH_SETUP_LOG names a file, each start appends its command line
// and the show state it was started with. It refuses to run outside Wine, so
// it can never change a real machine.
#include <windows.h>
#include <objbase.h>

#include <string>

namespace {

constexpr wchar_t kPromptTitle[] = L"Macromedia Flash Player 7";
constexpr wchar_t kPromptText[] =
    L"Setup has updated files that are in use. Restart Windows now to finish?";
constexpr int kControlResource = 1;  // RCDATA: the stand-in control file
constexpr int kExitOk = 0;
constexpr int kExitNotWine = 2;
constexpr int kExitNoResource = 3;
constexpr int kExitWriteFailed = 4;
constexpr int kExitRegisterFailed = 5;
constexpr int kExitBadCommandLine = 6;
constexpr int kExitBroken = 7;
constexpr int kExitNoWorker = 8;
constexpr wchar_t kQuiet[] = L"/Q";
constexpr wchar_t kWorker[] = L"/Q /worker";  // the hand-off's child: private to this program
constexpr wchar_t kLogVariable[] = L"LV_FLASH_SETUP_LOG";

bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool WriteWholeFile(const std::wstring& path, const void* data, DWORD size) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(file, data, size, &written, nullptr) && written == size;
  CloseHandle(file);
  if (!ok) DeleteFileW(path.c_str());
  return ok;
}

bool RegisterControl(const std::wstring& path) {
  HMODULE library = LoadLibraryW(path.c_str());
  if (!library) return false;
  using RegisterFn = HRESULT(WINAPI*)();
  auto doRegister = reinterpret_cast<RegisterFn>(
      reinterpret_cast<void (*)()>(GetProcAddress(library, "DllRegisterServer")));
  HRESULT hr = E_FAIL;
  if (doRegister) {
    CoInitialize(nullptr);
    hr = doRegister();
    CoUninitialize();
  }
  FreeLibrary(library);
  return SUCCEEDED(hr);
}

// Appends "<pid> <parent's pid> "<command line>" show <n>" to the log, if one is asked for.
void RecordStart(const std::wstring& arguments) {
  wchar_t path[MAX_PATH];
  const DWORD length = GetEnvironmentVariableW(kLogVariable, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  GetStartupInfoW(&startup);
  const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
  const std::wstring line = std::to_wstring(GetCurrentProcessId()) + L" \"" + arguments + L"\" show " +
                            std::to_wstring(show) + L"\n";
  HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  char utf8[1024];
  const int size = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, utf8, sizeof utf8, nullptr, nullptr);
  DWORD written = 0;
  if (size > 1) WriteFile(file, utf8, static_cast<DWORD>(size - 1), &written, nullptr);
  CloseHandle(file);
}

// Starts this program again as the hand-off's child, hidden, and does not wait.
bool StartWorker() {
  wchar_t self[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  std::wstring commandLine = std::wstring(L"\"") + self + L"\" " + kWorker;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(self, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process))
    return false;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR arguments, int) {
  if (!RunningUnderWine()) return kExitNotWine;
  const std::wstring given = arguments ? arguments : L"";
  RecordStart(given);
  const bool worker = LV_SETUP_HANDS_OFF && given == kWorker;
  // The installer starts the setup with exactly "/Q"; anything else is a misuse.
  if (given != kQuiet && !worker) return kExitBadCommandLine;
  if (LV_SETUP_DIES) return kExitBroken;
  if (LV_SETUP_HANDS_OFF && !worker) return StartWorker() ? kExitOk : kExitNoWorker;
  if (LV_SETUP_DELAY_MS > 0) Sleep(LV_SETUP_DELAY_MS);

  HRSRC resource = FindResourceW(nullptr, MAKEINTRESOURCEW(kControlResource), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  HGLOBAL loaded = resource ? LoadResource(nullptr, resource) : nullptr;
  const void* control = loaded ? LockResource(loaded) : nullptr;
  const DWORD size = resource ? SizeofResource(nullptr, resource) : 0;
  if (!control || size == 0) return kExitNoResource;

  wchar_t system[MAX_PATH];
  UINT length = GetSystemDirectoryW(system, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return kExitWriteFailed;
  std::wstring folder = std::wstring(system) + L"\\Macromed";
  CreateDirectoryW(folder.c_str(), nullptr);
  folder += L"\\Flash\\";
  CreateDirectoryW(folder.c_str(), nullptr);

  const std::wstring target = folder + L"Flash.ocx";
  std::wstring written = target;
  if (!WriteWholeFile(target, control, size)) {
    written = folder + L"FlashUpdate.ocx";
    if (!WriteWholeFile(written, control, size)) return kExitWriteFailed;
    MoveFileExW(written.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT);
  }
  if (!RegisterControl(written)) return kExitRegisterFailed;

  if (LV_SETUP_ASKS_RESTART) MessageBoxW(nullptr, kPromptText, kPromptTitle, MB_YESNO | MB_ICONQUESTION);
  return kExitOk;
}
