// A key under HKEY_LOCAL_MACHINE that refuses changes, as the machine root
// does for a user without administrator rights (Wine honours the denying
// entry). Removed again, with its security reset, on destruction.
#pragma once

#include <windows.h>

#include <string>

#include "system/LMV_RegistryUtils.h"
#include "tests/helper/DenyingAcl.h"

namespace testfs {

class DeniedMachineKey {
 public:
  explicit DeniedMachineKey(const std::wstring& path) : path_(path) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
      return;
    }
    denied_ = testacl::DenyToEveryone(key, KEY_SET_VALUE | KEY_CREATE_SUB_KEY | DELETE,
                                      KEY_READ | WRITE_DAC);
    RegCloseKey(key);
  }
  ~DeniedMachineKey() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), 0, WRITE_DAC, &key) == ERROR_SUCCESS) {
      SECURITY_DESCRIPTOR open;
      InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION);
      SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE);  // no DACL: everything allowed
      RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &open);
      RegCloseKey(key);
    }
    DeleteRegistryKeyTree(HKEY_LOCAL_MACHINE, path_);
  }
  DeniedMachineKey(const DeniedMachineKey&) = delete;
  DeniedMachineKey& operator=(const DeniedMachineKey&) = delete;
  bool denied() const { return denied_; }

 private:
  std::wstring path_;
  bool denied_ = false;
};


}  // namespace testfs
