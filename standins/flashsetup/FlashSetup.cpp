// Stand-in for the player's setup package "flashax.exe". With "/Q" it writes
// the stand-in control it carries to <system>\Macromed\Flash\Flash.ocx and
// registers it. When that file is in use it writes the new control beside it,
// registers that one and leaves the replacement for the next start of Windows,
// as a real setup does. A build variant then asks for a restart in a Yes/No
// box titled "Macromedia Flash Player 7" (the answer is ignored: this program
// never restarts anything). It refuses to run outside Wine, so it can never
// change a real machine.
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

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  if (!RunningUnderWine()) return kExitNotWine;
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
