// Helpers of the Windows tests: stand-in player controls and setups built
// beside the tests, their registration, control files in the system folder,
// a plain parent window and a message pump.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <shlwapi.h>

#include <string>

#include "flash/LMV_FlashUtils.h"
#include "system/LMV_FileUtils.h"

namespace bench {

// Environment of the stand-ins: their call logs and the calls made to fail
// (standins/flashplayer/StandinTrace.h, standins/flashsetup/FlashSetup.cpp).
constexpr wchar_t kStandinLog[] = L"LV_FLASH_STANDIN_LOG";
constexpr wchar_t kStandinFail[] = L"LV_FLASH_STANDIN_FAIL";
constexpr wchar_t kSetupLog[] = L"LV_FLASH_SETUP_LOG";

// Built stand-ins (paths from the build, reached through Wine's Z: drive).
inline std::wstring StandinControl(const std::wstring& variant) {
  return std::wstring(LV_STANDIN_DIR) + L"\\flashplayer\\FlashStandin-" + variant + L".ocx";
}
inline std::wstring StandinSetup(const std::wstring& variant) {
  return std::wstring(LV_STANDIN_DIR) + L"\\flashsetup\\" + variant + L"\\flashax.exe";
}

inline std::wstring ControlFolder() { return GetSystemFolder() + L"Macromed\\Flash\\"; }

// Calls DllRegisterServer or DllUnregisterServer of a control file.
inline bool CallRegistration(const std::wstring& path, const char* entry) {
  HMODULE library = LoadLibraryW(path.c_str());
  if (!library) return false;
  auto fn = reinterpret_cast<HRESULT(WINAPI*)()>(
      reinterpret_cast<void (*)()>(GetProcAddress(library, entry)));
  HRESULT hr = fn ? fn() : E_FAIL;
  FreeLibrary(library);
  return SUCCEEDED(hr);
}
inline bool RegisterControl(const std::wstring& path) { return CallRegistration(path, "DllRegisterServer"); }
inline void UnregisterPlayer() {
  SHDeleteKeyW(HKEY_CLASSES_ROOT, L"CLSID\\{D27CDB6E-AE6D-11CF-96B8-444553540000}");
  SHDeleteKeyW(HKEY_CLASSES_ROOT, L"ShockwaveFlash.ShockwaveFlash");
}

inline bool PlayerRegistered() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID\\{D27CDB6E-AE6D-11CF-96B8-444553540000}\\InprocServer32", 0,
                    KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

// Lets COM unload control DLLs nobody uses, so their files can be replaced.
inline void FreeUnusedControls() {
  if (SUCCEEDED(CoInitialize(nullptr))) {
    CoFreeUnusedLibrariesEx(0, 0);
    CoUninitialize();
  }
}

inline void RemoveControlFiles() {
  FreeUnusedControls();
  for (const wchar_t* name : {L"Flash.ocx", L"swflash.ocx", L"FlashUpdate.ocx"}) {
    std::wstring path = ControlFolder() + name;
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
  }
}

inline bool PlaceControlFile(const std::wstring& variant, const wchar_t* name) {
  CreateDirectoryW((GetSystemFolder() + L"Macromed").c_str(), nullptr);
  CreateDirectoryW(ControlFolder().c_str(), nullptr);
  return CopyFileW(StandinControl(variant).c_str(), (ControlFolder() + name).c_str(), FALSE) != 0;
}

inline bool FileExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline void ResetFlashState() {
  cachedFlashVersion = -1;
  restartNeeded = flashSetupNeeded = flashOcxLocked = flashSetupDone = flashPromptClosed = false;
  flashSetupKind = 0;
}

// Handles window messages for about `ms` milliseconds.
inline void Pump(DWORD ms) {
  const DWORD start = GetTickCount();
  do {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(5);
  } while (GetTickCount() - start < ms);
}

// A visible top-level window standing in for the installer window's content panel.
class ParentWindow {
 public:
  ParentWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"LvFlashTestParent";
    RegisterClassW(&wc);
    window_ = CreateWindowExW(0, L"LvFlashTestParent", L"flash test", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                              10, 10, 360, 190, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  }
  ~ParentWindow() { DestroyWindow(window_); }
  HWND handle() const { return window_; }

 private:
  HWND window_ = nullptr;
};

}  // namespace bench
