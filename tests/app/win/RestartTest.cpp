// Restarting Windows: the shutdown privilege around the request, the platform
// test, and the request itself behind its seam (no test ever restarts anything).
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "app/Restart.h"

namespace {

// Whether the shutdown privilege is enabled in this process's token right now.
bool ShutdownPrivilegeEnabled() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  LUID id{};
  LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &id);
  DWORD size = 0;
  GetTokenInformation(token, TokenPrivileges, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  bool enabled = false;
  if (GetTokenInformation(token, TokenPrivileges, buffer.data(), size, &size)) {
    const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
      const LUID_AND_ATTRIBUTES& entry = privileges->Privileges[i];
      if (entry.Luid.LowPart == id.LowPart && entry.Luid.HighPart == id.HighPart)
        enabled = (entry.Attributes & SE_PRIVILEGE_ENABLED) != 0;
    }
  }
  CloseHandle(token);
  return enabled;
}

struct ExitCall {
  UINT flags;
  DWORD reserved;
  bool privilegeEnabled;
};

class Restart : public ::testing::Test {
 protected:
  void SetUp() override {
    SetExitWindowsFunction([this](UINT flags, DWORD reserved) {
      calls_.push_back({flags, reserved, ShutdownPrivilegeEnabled()});
      return answer_;
    });
  }
  void TearDown() override { SetExitWindowsFunction(nullptr); }

  std::vector<ExitCall> calls_;
  BOOL answer_ = TRUE;
};

TEST_F(Restart, SetPrivilegeEnablesAndDisablesTheShutdownPrivilege) {
  ASSERT_TRUE(SetPrivilege(L"SeShutdownPrivilege", true));
  EXPECT_TRUE(ShutdownPrivilegeEnabled());
  ASSERT_TRUE(SetPrivilege(L"SeShutdownPrivilege", false));
  EXPECT_FALSE(ShutdownPrivilegeEnabled());
}

TEST_F(Restart, SetPrivilegeRefusesAnUnknownName) {
  EXPECT_FALSE(SetPrivilege(L"SeNoSuchPrivilege", true));
}

TEST_F(Restart, WinExitHoldsThePrivilegeOnlyDuringTheRequest) {
  SetPrivilege(L"SeShutdownPrivilege", false);
  EXPECT_TRUE(WinExit(EWX_REBOOT));
  ASSERT_EQ(calls_.size(), 1u);
  EXPECT_EQ(calls_[0].flags, static_cast<UINT>(EWX_REBOOT));
  EXPECT_EQ(calls_[0].reserved, 0u);
  EXPECT_TRUE(calls_[0].privilegeEnabled) << "enabled before the request";
  EXPECT_FALSE(ShutdownPrivilegeEnabled()) << "disabled after it";
}

TEST_F(Restart, WinExitReportsARefusedRequest) {
  answer_ = FALSE;
  EXPECT_FALSE(WinExit(EWX_REBOOT));
  EXPECT_FALSE(ShutdownPrivilegeEnabled());
}

TEST_F(Restart, ExitWindowsOnTheNtFamilyGoesThroughThePrivilege) {
  ASSERT_FALSE(Win9X()) << "the bench reports an NT-family Windows";
  EXPECT_TRUE(btnExitWindowsClick());
  ASSERT_EQ(calls_.size(), 1u);
  EXPECT_EQ(calls_[0].flags, static_cast<UINT>(EWX_REBOOT)) << "restart, without force";
  EXPECT_TRUE(calls_[0].privilegeEnabled);
}

// Win9X under Wine's Windows 98 setting for this program, in a child process
// (the version is fixed when a process starts).
TEST(Platform, Win9XFollowsTheReportedPlatform) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring name(self);
  name = name.substr(name.find_last_of(L"\\/") + 1);
  const std::wstring key = L"Software\\Wine\\AppDefaults\\" + name;

  auto childAnswer = [&]() -> DWORD {
    std::wstring commandLine = L"\"" + std::wstring(self) + L"\" --win9x-exit-code";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(self, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
      return 99;
    WaitForSingleObject(info.hProcess, 30000);
    DWORD code = 99;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return code;
  };

  EXPECT_EQ(childAnswer(), 0u) << "NT family by default";

  HKEY handle = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &handle, nullptr),
            ERROR_SUCCESS);
  const wchar_t version[] = L"win98";
  RegSetValueExW(handle, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                 sizeof(version));
  RegCloseKey(handle);
  const DWORD answer = childAnswer();
  RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
  EXPECT_EQ(answer, 1u) << "Windows 98 is the 95 family";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--win9x-exit-code") return Win9X() ? 1 : 0;
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
