#include "common/object_security.h"

namespace {

bool MakeSid(BYTE* sid, BYTE count, DWORD first, DWORD second) {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  if (!InitializeSid(sid, &nt, count)) return false;
  *GetSidSubAuthority(sid, 0) = first;
  if (count > 1) *GetSidSubAuthority(sid, 1) = second;
  return true;
}

}  // namespace

bool BuildAdministratorsOnlySecurity(ObjectSecurity& s, ACCESS_MASK access, DWORD inherit) {
  PACL acl = reinterpret_cast<PACL>(s.acl);
  return MakeSid(s.system, 1, SECURITY_LOCAL_SYSTEM_RID, 0) &&
         MakeSid(s.administrators, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS) &&
         InitializeAcl(acl, sizeof s.acl, ACL_REVISION) &&
         AddAccessAllowedAceEx(acl, ACL_REVISION, inherit, access, s.system) &&
         AddAccessAllowedAceEx(acl, ACL_REVISION, inherit, access, s.administrators) &&
         InitializeSecurityDescriptor(&s.descriptor, SECURITY_DESCRIPTOR_REVISION) &&
         SetSecurityDescriptorDacl(&s.descriptor, TRUE, acl, FALSE) &&
         SetSecurityDescriptorControl(&s.descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED) &&
         // An owner of the user's own would keep the right to rewrite the permissions.
         SetSecurityDescriptorOwner(&s.descriptor, s.administrators, FALSE);
}

bool BuildWorkFolderSecurity(FolderSecurity& s) {
  return BuildAdministratorsOnlySecurity(s, FILE_ALL_ACCESS, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
}

bool BuildPackageFolderSecurity(FolderSecurity& s) {
  return BuildWorkFolderSecurity(s) && MakeSid(s.users, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS) &&
         AddAccessAllowedAceEx(reinterpret_cast<PACL>(s.acl), ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE,
                               FILE_GENERIC_READ | FILE_GENERIC_EXECUTE, s.users);
}

bool IsAdministrationSid(PSID sid) {
  BYTE system[SECURITY_MAX_SID_SIZE];
  BYTE administrators[SECURITY_MAX_SID_SIZE];
  return sid != nullptr && IsValidSid(sid) && MakeSid(system, 1, SECURITY_LOCAL_SYSTEM_RID, 0) &&
         MakeSid(administrators, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS) &&
         (EqualSid(sid, system) || EqualSid(sid, administrators));
}
