#include "app/Restart.h"

namespace {

constexpr DWORD kVersionInfoSize = 148;  // OSVERSIONINFOA, as the 95 family knows it
constexpr DWORD kTokenAccess = TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY;  // 0x28
constexpr wchar_t kShutdownPrivilege[] = L"SeShutdownPrivilege";
constexpr DWORD kPreviousStateSize = 16;  // one LUID_AND_ATTRIBUTES entry

ExitWindowsFunction g_exitWindows;

BOOL CallExitWindows(UINT flags) {
  if (g_exitWindows) return g_exitWindows(flags, 0);
  return ExitWindowsEx(flags, 0);
}

// Closes the token on every path.
class TokenHandle {
 public:
  TokenHandle() = default;
  ~TokenHandle() {
    if (handle_ != nullptr) CloseHandle(handle_);
  }
  TokenHandle(const TokenHandle&) = delete;
  TokenHandle& operator=(const TokenHandle&) = delete;
  HANDLE* put() { return &handle_; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_ = nullptr;
};

}  // namespace

void SetExitWindowsFunction(ExitWindowsFunction function) { g_exitWindows = std::move(function); }

bool btnExitWindowsClick() {
  if (Win9X()) return CallExitWindows(EWX_REBOOT) != FALSE;
  return WinExit(EWX_REBOOT);
}

bool Win9X() {
  OSVERSIONINFOA info{};
  static_assert(sizeof(info) == kVersionInfoSize, "the version record is 148 bytes");
  info.dwOSVersionInfoSize = kVersionInfoSize;
  if (!GetVersionExA(&info)) return false;
  return info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

bool WinExit(UINT flags) {
  if (!SetPrivilege(kShutdownPrivilege, true)) return false;
  const bool accepted = CallExitWindows(flags) != FALSE;
  SetPrivilege(kShutdownPrivilege, false);
  return accepted;
}

bool SetPrivilege(const std::wstring& name, bool enable) {
  TokenHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), kTokenAccess, token.put())) return false;
  LUID id{};
  if (!LookupPrivilegeValueW(nullptr, name.c_str(), &id)) return false;
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Luid = id;
  privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
  TOKEN_PRIVILEGES previous{};
  static_assert(sizeof(previous) == kPreviousStateSize, "one entry of previous state");
  DWORD returned = 0;
  // A partial success that the system reports as success counts as success.
  return AdjustTokenPrivileges(token.get(), FALSE, &privileges, kPreviousStateSize, &previous,
                               &returned) != FALSE;
}
