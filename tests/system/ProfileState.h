// Keeps the machine's current screen saver (system.ini [boot] SCRNSAVE.EXE) and
// the screen-saver switch as they were before a test.
#pragma once

#include <windows.h>

#include <string>

namespace testfs {

inline std::wstring ProfileScreenSaver() {
  wchar_t value[MAX_PATH + 1] = L"";
  GetPrivateProfileStringW(L"boot", L"SCRNSAVE.EXE", L"", value, MAX_PATH + 1, L"system.ini");
  return value;
}

class SavedScreenSaverSetting {
 public:
  SavedScreenSaverSetting() {
    wchar_t value[MAX_PATH + 1] = L"";
    had_ = GetPrivateProfileStringW(L"boot", L"SCRNSAVE.EXE", L"\x1", value, MAX_PATH + 1,
                                    L"system.ini") > 0 &&
           std::wstring(value) != L"\x1";
    value_ = value;
    SystemParametersInfoW(SPI_GETSCREENSAVEACTIVE, 0, &active_, 0);
  }
  ~SavedScreenSaverSetting() {
    WritePrivateProfileStringW(L"boot", L"SCRNSAVE.EXE", had_ ? value_.c_str() : nullptr,
                               L"system.ini");
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, L"system.ini");
    SystemParametersInfoW(SPI_SETSCREENSAVEACTIVE, active_, nullptr, 0);
  }
  SavedScreenSaverSetting(const SavedScreenSaverSetting&) = delete;
  SavedScreenSaverSetting& operator=(const SavedScreenSaverSetting&) = delete;

 private:
  bool had_ = false;
  std::wstring value_;
  BOOL active_ = FALSE;
};

}  // namespace testfs
