#include "debug/DumpsFolder.h"

#include "fileutil/PathUtils.h"

#include <aclapi.h>

namespace Debug {
namespace {

constexpr BYTE kInheritToFoldersAndFiles = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

bool MakeWellKnownSid(WELL_KNOWN_SID_TYPE type, std::vector<BYTE>* sid) {
    DWORD size = SECURITY_MAX_SID_SIZE;
    sid->assign(size, 0);
    if (!CreateWellKnownSid(type, nullptr, sid->data(), &size)) return false;
    sid->resize(size);
    return true;
}

DWORD GetAllowedAceSize(std::vector<BYTE>& sid) {
    return sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + GetLengthSid(sid.data());
}

}  // namespace

CDumpsFolderSecurity::CDumpsFolderSecurity() { valid_ = Build(); }

bool CDumpsFolderSecurity::Build() {
    if (!MakeWellKnownSid(WinLocalSystemSid, &ownerSid_) ||
        !MakeWellKnownSid(WinBuiltinAdministratorsSid, &adminsSid_) ||
        !MakeWellKnownSid(WinAuthenticatedUserSid, &usersSid_))
        return false;

    DWORD aclSize = sizeof(ACL) + GetAllowedAceSize(ownerSid_) + GetAllowedAceSize(adminsSid_) +
                    GetAllowedAceSize(usersSid_);
    acl_.assign(aclSize, 0);
    PACL acl = GetAcl();
    if (!InitializeAcl(acl, aclSize, ACL_REVISION) ||
        !AddAccessAllowedAceEx(acl, ACL_REVISION, kInheritToFoldersAndFiles, GENERIC_ALL, ownerSid_.data()) ||
        !AddAccessAllowedAceEx(acl, ACL_REVISION, kInheritToFoldersAndFiles, GENERIC_ALL, adminsSid_.data()) ||
        !AddAccessAllowedAceEx(acl, ACL_REVISION, kInheritToFoldersAndFiles, GENERIC_WRITE, usersSid_.data()))
        return false;

    return InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
           SetSecurityDescriptorOwner(&descriptor_, ownerSid_.data(), FALSE) &&
           SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE) &&
           SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
}

CScopedPrivileges::CScopedPrivileges(std::initializer_list<const wchar_t*> names) {
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_ADJUST_PRIVILEGES, token_.put())) {
        token_.release();
        return;
    }
    DWORD size = 0;
    GetTokenInformation(token_.get(), TokenPrivileges, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size == 0 || !GetTokenInformation(token_.get(), TokenPrivileges, buffer.data(), size, &size)) return;
    const auto* held = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());

    for (const wchar_t* name : names) {
        LUID luid;
        if (!LookupPrivilegeValueW(nullptr, name, &luid)) continue;
        for (DWORD i = 0; i < held->PrivilegeCount; ++i) {
            const LUID_AND_ATTRIBUTES& entry = held->Privileges[i];
            if (entry.Luid.LowPart != luid.LowPart || entry.Luid.HighPart != luid.HighPart) continue;
            if (entry.Attributes & SE_PRIVILEGE_ENABLED) break;
            TOKEN_PRIVILEGES change{1, {{luid, SE_PRIVILEGE_ENABLED}}};
            if (AdjustTokenPrivileges(token_.get(), FALSE, &change, 0, nullptr, nullptr) &&
                GetLastError() == ERROR_SUCCESS)
                enabled_.push_back(luid);
            break;
        }
    }
}

CScopedPrivileges::~CScopedPrivileges() {
    for (const LUID& luid : enabled_) {
        TOKEN_PRIVILEGES change{1, {{luid, 0}}};
        AdjustTokenPrivileges(token_.get(), FALSE, &change, 0, nullptr, nullptr);
    }
}

bool PrepareDumpsFolder(wchar_t (&folder)[DumpsFolderLength]) {
    DWORD length = ExpandEnvironmentStringsW(DumpsFolderTemplate, folder, DumpsFolderLength);
    if (length == 0 || length > DumpsFolderLength) {
        folder[0] = L'\0';
        return false;
    }
    // The template ends in a backslash, so "parents only" creates the last folder too.
    if (!CreateFolderPath(folder, true)) return false;

    CDumpsFolderSecurity security;
    if (!security.IsValid()) return true;
    CScopedPrivileges privileges({SE_RESTORE_NAME, SE_TAKE_OWNERSHIP_NAME});
    // Without the privileges this fails and the folder keeps its security; the
    // folder is usable either way.
    SetNamedSecurityInfoW(folder, SE_FILE_OBJECT,
                          OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                              PROTECTED_DACL_SECURITY_INFORMATION,
                          security.GetOwner(), nullptr, security.GetAcl(), nullptr);
    return true;
}

}  // namespace Debug
