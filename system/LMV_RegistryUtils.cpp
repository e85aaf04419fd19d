#include "system/LMV_RegistryUtils.h"

#include <vector>

#include "messages/Messages.h"
#include "system/LMV_FileUtils.h"
#include "system/LMV_StringUtils.h"

namespace {

const wchar_t kUninstallRoot[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const wchar_t kDisplayNameValue[] = L"DisplayName";
const wchar_t kUninstallStringValue[] = L"UninstallString";
const wchar_t kUninstallSwitch[] = L" /u";

// An open registry key, closed on every path.
class RegKey {
 public:
  RegKey() = default;
  ~RegKey() { if (key_ != nullptr) RegCloseKey(key_); }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  HKEY* out() { return &key_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

bool SetString(HKEY key, const wchar_t* value, const std::wstring& text) {
  const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
  return RegSetValueExW(key, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        bytes) == ERROR_SUCCESS;
}

// Deletes `subkey` of `parent` with everything below it, deepest first
// (RegDeleteTree does not exist before Windows Vista).
LONG DeleteKeyTree(HKEY parent, const std::wstring& subkey) {
  RegKey key;
  LONG status = RegOpenKeyExW(parent, subkey.c_str(), 0, KEY_ALL_ACCESS, key.out());
  if (status != ERROR_SUCCESS) return status;
  for (;;) {
    wchar_t child[256];
    DWORD length = 256;
    // Always index 0: each deletion shifts the rest down.
    status = RegEnumKeyExW(key.get(), 0, child, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS) return status;
    status = DeleteKeyTree(key.get(), std::wstring(child, length));
    if (status != ERROR_SUCCESS) return status;
  }
  return RegDeleteKeyW(parent, subkey.c_str());
}

bool IsPlainName(const std::wstring& name) {
  if (name.empty() || name == L"." || name == L"..") return false;
  return name.find_first_of(L"\\/:") == std::wstring::npos;
}

}  // namespace

long DeleteRegistryKeyTree(HKEY root, const std::wstring& path) { return DeleteKeyTree(root, path); }

std::wstring UninstallKeyPath(const std::wstring& name) { return kUninstallRoot + name; }

std::wstring UninstallCommand(const std::wstring& name) {
  const std::wstring program = SystemFolder + name + L".scr";
  if (program.find(L' ') != std::wstring::npos) return L"\"" + program + L"\"" + kUninstallSwitch;
  return program + kUninstallSwitch;
}

rc::Result WriteUninstallEntry(const std::wstring& name, HKEY root) {
  // A name with a backslash would write the entry under another key.
  if (!IsPlainName(name)) return rc::kUninstallWriteFailed;
  const std::wstring display = MakeSaverDisplayName(name, LoadMessage);
  const std::wstring command = UninstallCommand(name);
  RegKey key;
  if (RegCreateKeyExW(root, UninstallKeyPath(name).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, key.out(), nullptr) != ERROR_SUCCESS) {
    return rc::kUninstallWriteFailed;
  }
  if (!SetString(key.get(), kDisplayNameValue, display) ||
      !SetString(key.get(), kUninstallStringValue, command)) {
    return rc::kUninstallWriteFailed;
  }
  return rc::kOk;
}

rc::Result RegisterUninstallEntry(const std::wstring& name) {
  rc::Result result = WriteUninstallEntry(name, HKEY_LOCAL_MACHINE);
  if (result != rc::kOk) result = WriteUninstallEntry(name, HKEY_CURRENT_USER);
  return result;
}

rc::Result DeleteUninstallEntry(const std::wstring& name, HKEY root) {
  if (!IsPlainName(name)) return rc::kOk;  // such an entry is never written
  const std::wstring path = UninstallKeyPath(name);
  rc::Result result = rc::kOk;
  {
    RegKey key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS, key.out()) != ERROR_SUCCESS) {
      return rc::kOk;
    }
    if (RegDeleteValueW(key.get(), kDisplayNameValue) != ERROR_SUCCESS) {
      result = rc::kUninstallValueMissing;
    }
    if (result == rc::kOk && RegDeleteValueW(key.get(), kUninstallStringValue) != ERROR_SUCCESS) {
      result = rc::kUninstallValueMissing;
    }
  }
  if (result == rc::kOk && DeleteKeyTree(root, path) != ERROR_SUCCESS) {
    result = rc::kUninstallValueMissing;
  }
  return result;
}

rc::Result UnregisterUninstallEntry(const std::wstring& name) {
  rc::Result result = DeleteUninstallEntry(name, HKEY_LOCAL_MACHINE);
  if (result != rc::kOk) result = DeleteUninstallEntry(name, HKEY_CURRENT_USER);
  return result;
}
