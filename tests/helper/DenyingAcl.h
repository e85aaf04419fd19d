// Makes a registry key refuse changes to everyone, as a key looks to a user
// without the rights to it (Wine honours such a denying entry).
#pragma once

#include <windows.h>
#include <aclapi.h>

namespace testacl {

// Replaces the key's DACL by: deny `denied` to everyone, grant `granted` to
// everyone. The key must be open with WRITE_DAC. True when the DACL was set.
inline bool DenyToEveryone(HKEY key, DWORD denied, DWORD granted) {
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone))
    return false;
  EXPLICIT_ACCESSW entries[2] = {};
  entries[0].grfAccessPermissions = denied;
  entries[0].grfAccessMode = DENY_ACCESS;
  entries[1].grfAccessPermissions = granted;
  entries[1].grfAccessMode = GRANT_ACCESS;
  for (EXPLICIT_ACCESSW& entry : entries) {
    entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    entry.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
    entry.Trustee.ptstrName = static_cast<LPWSTR>(everyone);
  }
  bool set = false;
  PACL acl = nullptr;
  if (SetEntriesInAclW(2, entries, nullptr, &acl) == ERROR_SUCCESS) {
    SECURITY_DESCRIPTOR descriptor;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
    set = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor) == ERROR_SUCCESS;
    LocalFree(acl);
  }
  FreeSid(everyone);
  return set;
}

}  // namespace testacl
