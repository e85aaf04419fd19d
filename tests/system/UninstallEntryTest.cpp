// The uninstall entry under both roots, in Wine's real registry. Every test
// uses names of its own and removes them afterwards.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "system/LMV_FileUtils.h"
#include "system/LMV_RegistryUtils.h"
#include "tests/system/DeniedMachineKey.h"

namespace {

bool KeyExists(HKEY root, const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

std::wstring ReadString(HKEY root, const std::wstring& path, const wchar_t* value) {
  wchar_t text[1024] = L"";
  DWORD bytes = sizeof(text);
  DWORD type = 0;
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return L"<no key>";
  LONG status = RegQueryValueExW(key, value, nullptr, &type, reinterpret_cast<BYTE*>(text), &bytes);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return L"<no value>";
  if (type != REG_SZ) return L"<not REG_SZ>";
  return text;
}

DWORD ValueCount(HKEY root, const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  DWORD values = 0;
  RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                   nullptr, nullptr, nullptr);
  RegCloseKey(key);
  return values;
}

class UninstallEntry : public ::testing::Test {
 protected:
  void SetUp() override {
    savedSystemFolder_ = SystemFolder;
    SystemFolder = L"C:\\WINDOWS\\SYSTEM\\";
  }
  void TearDown() override {
    for (const std::wstring& name : names_) {
      DeleteRegistryKeyTree(HKEY_LOCAL_MACHINE, UninstallKeyPath(name));
      DeleteRegistryKeyTree(HKEY_CURRENT_USER, UninstallKeyPath(name));
    }
    SystemFolder = savedSystemFolder_;
  }
  // A name of this test run: the given stem and the process id.
  std::wstring Name(const std::wstring& stem) {
    names_.push_back(stem + std::to_wstring(GetCurrentProcessId()));
    return names_.back();
  }
  std::wstring savedSystemFolder_;
  std::vector<std::wstring> names_;
};

TEST_F(UninstallEntry, NameWithoutSaverWordGetsTheJapaneseWordAndAPlainCommand) {
  const std::wstring name = Name(L"Aurora");
  ASSERT_EQ(WriteUninstallEntry(name, HKEY_LOCAL_MACHINE), rc::kOk);
  const std::wstring key =
      L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + name;
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, key, L"DisplayName"), name + L" スクリーンセーバー");
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, key, L"UninstallString"),
            L"C:\\WINDOWS\\SYSTEM\\" + name + L".scr /u");
  EXPECT_EQ(ValueCount(HKEY_LOCAL_MACHINE, key), 2u);
}

TEST_F(UninstallEntry, SaverNameIsKeptAndAPathWithSpacesIsQuoted) {
  const std::wstring name = Name(L"Night SAVER ");
  ASSERT_EQ(WriteUninstallEntry(name, HKEY_CURRENT_USER), rc::kOk);
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, UninstallKeyPath(name), L"DisplayName"), name);
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, UninstallKeyPath(name), L"UninstallString"),
            L"\"C:\\WINDOWS\\SYSTEM\\" + name + L".scr\" /u");
  SystemFolder = L"C:\\Program Files\\sys\\";
  EXPECT_EQ(UninstallCommand(L"Aurora"), L"\"C:\\Program Files\\sys\\Aurora.scr\" /u");
}

TEST_F(UninstallEntry, RegisterWritesUnderTheMachineRootOnly) {
  const std::wstring name = Name(L"LvReg");
  EXPECT_EQ(RegisterUninstallEntry(name), rc::kOk);
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, UninstallKeyPath(name)));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, UninstallKeyPath(name)));
}

TEST_F(UninstallEntry, NameThatWouldLeaveItsKeyIsNotWritten) {
  const std::wstring name = Name(L"LvBad");
  EXPECT_EQ(WriteUninstallEntry(name + L"\\..\\Other", HKEY_CURRENT_USER),
            rc::kUninstallWriteFailed);
  EXPECT_EQ(WriteUninstallEntry(L"", HKEY_CURRENT_USER), rc::kUninstallWriteFailed);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, UninstallKeyPath(name)));
}

TEST_F(UninstallEntry, DeleteRemovesTheKeyWithSubkeysAndAbsentCountsAsRemoved) {
  const std::wstring name = Name(L"LvDel");
  ASSERT_EQ(WriteUninstallEntry(name, HKEY_CURRENT_USER), rc::kOk);
  HKEY sub = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (UninstallKeyPath(name) + L"\\a\\b").c_str(), 0,
                            nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(sub);
  EXPECT_EQ(DeleteUninstallEntry(name, HKEY_CURRENT_USER), rc::kOk);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, UninstallKeyPath(name)));
  EXPECT_EQ(DeleteUninstallEntry(name, HKEY_CURRENT_USER), rc::kOk);
}

TEST_F(UninstallEntry, MissingValueGivesMinus2202AndKeepsTheKey) {
  const std::wstring name = Name(L"LvMissing");
  ASSERT_EQ(WriteUninstallEntry(name, HKEY_LOCAL_MACHINE), rc::kOk);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, UninstallKeyPath(name).c_str(), 0, KEY_ALL_ACCESS,
                          &key),
            ERROR_SUCCESS);
  RegDeleteValueW(key, L"DisplayName");
  RegCloseKey(key);
  EXPECT_EQ(DeleteUninstallEntry(name, HKEY_LOCAL_MACHINE), rc::kUninstallValueMissing);
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, UninstallKeyPath(name)));
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, UninstallKeyPath(name), L"UninstallString"),
            L"C:\\WINDOWS\\SYSTEM\\" + name + L".scr /u");
}

TEST_F(UninstallEntry, UnregisterTriesTheUserRootOnlyAfterAMachineFailure) {
  const std::wstring userOnly = Name(L"LvUserOnly");
  ASSERT_EQ(WriteUninstallEntry(userOnly, HKEY_CURRENT_USER), rc::kOk);
  EXPECT_EQ(UnregisterUninstallEntry(userOnly), rc::kOk);
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, UninstallKeyPath(userOnly)))
      << "no machine key counts as removed, so the user root is not tried";

  const std::wstring both = Name(L"LvBoth");
  ASSERT_EQ(WriteUninstallEntry(both, HKEY_LOCAL_MACHINE), rc::kOk);
  ASSERT_EQ(WriteUninstallEntry(both, HKEY_CURRENT_USER), rc::kOk);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, UninstallKeyPath(both).c_str(), 0, KEY_ALL_ACCESS,
                          &key),
            ERROR_SUCCESS);
  RegDeleteValueW(key, L"UninstallString");
  RegCloseKey(key);
  EXPECT_EQ(UnregisterUninstallEntry(both), rc::kOk);
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, UninstallKeyPath(both)));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, UninstallKeyPath(both)));
}

// --- no rights to HKEY_LOCAL_MACHINE -----------------------------------------------

TEST_F(UninstallEntry, WithoutMachineRightsTheEntryGoesUnderTheUserRoot) {
  const std::wstring name = Name(L"LvNoRights");
  testfs::DeniedMachineKey denied(UninstallKeyPath(name));
  ASSERT_TRUE(denied.denied());
  ASSERT_EQ(WriteUninstallEntry(name, HKEY_LOCAL_MACHINE), rc::kUninstallWriteFailed)
      << "the denying key must refuse the machine write";
  EXPECT_EQ(RegisterUninstallEntry(name), rc::kOk);
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, UninstallKeyPath(name), L"DisplayName"),
            name + L" スクリーンセーバー");
  EXPECT_EQ(ValueCount(HKEY_LOCAL_MACHINE, UninstallKeyPath(name)), 0u);
}

}  // namespace
