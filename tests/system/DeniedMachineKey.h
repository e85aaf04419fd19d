// A key under HKEY_LOCAL_MACHINE that refuses changes, as the machine root
// does for a user without administrator rights (Wine honours the denying
// entry). Removed again, with its security reset, on destruction.
#pragma once

#include <windows.h>
#include <aclapi.h>

#include <string>

#include "system/LMV_RegistryUtils.h"

namespace testfs {

class DeniedMachineKey {
 public:
  explicit DeniedMachineKey(const std::wstring& path) : path_(path) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
      return;
    }
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
    EXPLICIT_ACCESSW entries[2] = {};
    entries[0].grfAccessPermissions = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | DELETE;
    entries[0].grfAccessMode = DENY_ACCESS;
    entries[1].grfAccessPermissions = KEY_READ | WRITE_DAC;
    entries[1].grfAccessMode = GRANT_ACCESS;
    for (EXPLICIT_ACCESSW& entry : entries) {
      entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
      entry.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
      entry.Trustee.ptstrName = static_cast<LPWSTR>(everyone);
    }
    PACL acl = nullptr;
    if (SetEntriesInAclW(2, entries, nullptr, &acl) == ERROR_SUCCESS) {
      SECURITY_DESCRIPTOR descriptor;
      InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
      SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
      denied_ = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor) == ERROR_SUCCESS;
      LocalFree(acl);
    }
    FreeSid(everyone);
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
