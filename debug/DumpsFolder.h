#pragma once
// The machine-wide folder that crash dumps are written into, with a fixed owner and
// a protected access list: any user or service can write dumps, only the system and
// administrators can read them.
#include "platform/UniqueResource.h"

#include <windows.h>
#include <initializer_list>
#include <vector>

namespace Debug {

constexpr size_t DumpsFolderLength = 260;
constexpr const wchar_t* DumpsFolderTemplate = L"%AllUsersProfile%\\Corvantis\\VTCDumps\\";

// Expands the folder template into `folder`, creates the folder with its parents and
// applies owner and access list as far as the process may. True when the folder
// exists afterwards, whatever the security step achieved.
bool PrepareDumpsFolder(wchar_t (&folder)[DumpsFolderLength]);

// Owner (Local System) and access list of the dumps folder, built in memory:
// allow Local System and Administrators everything, Authenticated Users writing,
// each entry inherited by sub-folders and files, the list marked protected.
class CDumpsFolderSecurity {
public:
    CDumpsFolderSecurity();
    CDumpsFolderSecurity(const CDumpsFolderSecurity&) = delete;
    CDumpsFolderSecurity& operator=(const CDumpsFolderSecurity&) = delete;

    bool IsValid() const { return valid_; }
    PSID GetOwner() { return ownerSid_.data(); }
    PACL GetAcl() { return reinterpret_cast<PACL>(acl_.data()); }
    PSECURITY_DESCRIPTOR GetDescriptor() { return &descriptor_; }

private:
    bool Build();

    std::vector<BYTE> ownerSid_;
    std::vector<BYTE> adminsSid_;
    std::vector<BYTE> usersSid_;
    std::vector<BYTE> acl_;
    SECURITY_DESCRIPTOR descriptor_{};
    bool valid_ = false;
};

// Enables the named privileges that the token holds but has disabled, and disables
// exactly those again when it goes out of scope.
class CScopedPrivileges {
public:
    explicit CScopedPrivileges(std::initializer_list<const wchar_t*> names);
    ~CScopedPrivileges();
    CScopedPrivileges(const CScopedPrivileges&) = delete;
    CScopedPrivileges& operator=(const CScopedPrivileges&) = delete;

    size_t GetEnabledCount() const { return enabled_.size(); }

private:
    PlatformHelpers::UniqueHandle token_;
    std::vector<LUID> enabled_;
};

}  // namespace Debug
