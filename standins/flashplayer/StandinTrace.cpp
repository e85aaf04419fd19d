#include "standins/flashplayer/StandinTrace.h"

#include <windows.h>

namespace standin {

namespace {

constexpr wchar_t kLogVariable[] = L"LV_FLASH_STANDIN_LOG";
constexpr wchar_t kFailVariable[] = L"LV_FLASH_STANDIN_FAIL";

std::wstring Environment(const wchar_t* name) {
  wchar_t buffer[1024];
  const DWORD length = GetEnvironmentVariableW(name, buffer, ARRAYSIZE(buffer));
  return length > 0 && length < ARRAYSIZE(buffer) ? std::wstring(buffer, length) : std::wstring();
}

std::string Utf8(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr,
                                       0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), size, nullptr,
                      nullptr);
  return out;
}

}  // namespace

void Record(long control, const std::wstring& call) {
  const std::wstring path = Environment(kLogVariable);
  if (path.empty()) return;
  // Opened for each line and appended in one write, so that several
  // processes and controls can share one log.
  HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const std::string line = Utf8(std::to_wstring(GetCurrentProcessId()) + L"." + std::to_wstring(control) +
                                L" " + call + L"\n");
  DWORD written = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
}

bool Refused(const std::wstring& call) {
  const std::wstring list = L"," + Environment(kFailVariable) + L",";
  return list.find(L"," + call + L",") != std::wstring::npos;
}

}  // namespace standin
