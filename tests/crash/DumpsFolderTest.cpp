#include "debug/DumpsFolder.h"

#include <gtest/gtest.h>
#include <aclapi.h>

#include <map>

#include "debug/CrashDump.h"
#include "platform/UniqueResource.h"

using Debug::CDumpsFolderSecurity;

namespace {

struct ExpectedAce {
    WELL_KNOWN_SID_TYPE trustee;
    ACCESS_MASK rights;
};
const ExpectedAce kExpectedAces[] = {
    {WinLocalSystemSid, GENERIC_ALL}, {WinBuiltinAdministratorsSid, GENERIC_ALL}, {WinAuthenticatedUserSid, GENERIC_WRITE}};

// The three allow entries, in order, each inherited by folders and files.
void ExpectDumpsFolderAcl(PACL acl) {
    ASSERT_NE(acl, nullptr);
    EXPECT_EQ(acl->AclRevision, ACL_REVISION);
    ASSERT_EQ(acl->AceCount, 3);
    for (DWORD i = 0; i < 3; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        ASSERT_TRUE(GetAce(acl, i, reinterpret_cast<void**>(&ace)));
        EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE) << i;
        EXPECT_EQ(ace->Header.AceFlags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE) << i;
        EXPECT_EQ(ace->Mask, kExpectedAces[i].rights) << i;
        EXPECT_TRUE(IsWellKnownSid(&ace->SidStart, kExpectedAces[i].trustee)) << i;
    }
}

// Enabled state of every privilege the process token holds.
std::map<DWORD, DWORD> ReadPrivilegeStates() {
    std::map<DWORD, DWORD> states;
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return states;
    PlatformHelpers::UniqueHandle owned(token);
    DWORD size = 0;
    GetTokenInformation(token, TokenPrivileges, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (!GetTokenInformation(token, TokenPrivileges, buffer.data(), size, &size)) return states;
    const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i)
        states[privileges->Privileges[i].Luid.LowPart] = privileges->Privileges[i].Attributes & SE_PRIVILEGE_ENABLED;
    return states;
}

DWORD LowPartOf(const wchar_t* privilege) {
    LUID luid{};
    LookupPrivilegeValueW(nullptr, privilege, &luid);
    return luid.LowPart;
}

}  // namespace

TEST(DumpsFolderSecurity, OwnerAndProtectedListBuiltInMemory) {
    CDumpsFolderSecurity security;
    ASSERT_TRUE(security.IsValid());
    EXPECT_TRUE(IsValidSecurityDescriptor(security.GetDescriptor()));
    EXPECT_TRUE(IsWellKnownSid(security.GetOwner(), WinLocalSystemSid));

    PSID owner = nullptr;
    BOOL defaulted = TRUE;
    ASSERT_TRUE(GetSecurityDescriptorOwner(security.GetDescriptor(), &owner, &defaulted));
    EXPECT_TRUE(IsWellKnownSid(owner, WinLocalSystemSid));
    EXPECT_FALSE(defaulted);

    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(security.GetDescriptor(), &control, &revision));
    EXPECT_TRUE(control & SE_DACL_PROTECTED);
    EXPECT_TRUE(control & SE_DACL_PRESENT);

    BOOL present = FALSE;
    PACL acl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(security.GetDescriptor(), &present, &acl, &defaulted));
    EXPECT_TRUE(present);
    ExpectDumpsFolderAcl(acl);
}

TEST(DumpsFolderSecurity, PrivilegesAreEnabledOnlyForTheirScope) {
    const DWORD restore = LowPartOf(SE_RESTORE_NAME);
    std::map<DWORD, DWORD> before = ReadPrivilegeStates();
    if (!before.count(restore) || before[restore]) GTEST_SKIP() << "the token does not hold it disabled";
    {
        Debug::CScopedPrivileges privileges({SE_RESTORE_NAME, L"SeNoSuchPrivilege"});
        EXPECT_EQ(privileges.GetEnabledCount(), 1u);
        EXPECT_TRUE(ReadPrivilegeStates()[restore]);
    }
    EXPECT_EQ(ReadPrivilegeStates(), before);
}

TEST(DumpsFolder, PreparedUnderAllUsersProfileWithItsSecurity) {
    wchar_t expected[MAX_PATH];
    ExpandEnvironmentStringsW(L"%AllUsersProfile%\\Corvantis\\VTCDumps\\", expected, MAX_PATH);
    std::map<DWORD, DWORD> privilegesBefore = ReadPrivilegeStates();

    wchar_t folder[Debug::DumpsFolderLength];
    for (int run = 0; run < 2; ++run) {  // a folder that exists already counts too
        ASSERT_TRUE(Debug::PrepareDumpsFolder(folder));
        EXPECT_STREQ(folder, expected);
        DWORD attributes = GetFileAttributesW(folder);
        ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
        EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    }
    EXPECT_EQ(ReadPrivilegeStates(), privilegesBefore) << "privileges are disabled again";

    PSID owner = nullptr;
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    DWORD error = GetNamedSecurityInfoW(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                        &owner, nullptr, &acl, nullptr, &descriptor);
    ASSERT_EQ(error, static_cast<DWORD>(ERROR_SUCCESS));
    PlatformHelpers::UniqueLocalMemory ownedDescriptor(descriptor);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(descriptor, &control, &revision);
    printf("read back: owner is Local System %d, protected %d, entries %d\n",
           owner && IsWellKnownSid(owner, WinLocalSystemSid), (control & SE_DACL_PROTECTED) != 0,
           acl ? acl->AceCount : -1);
    if (acl) {
        for (DWORD i = 0; i < acl->AceCount; ++i) {
            ACCESS_ALLOWED_ACE* ace = nullptr;
            GetAce(acl, i, reinterpret_cast<void**>(&ace));
            wchar_t name[64] = L"?";
            for (auto type : {WinLocalSystemSid, WinBuiltinAdministratorsSid, WinAuthenticatedUserSid})
                if (IsWellKnownSid(&ace->SidStart, type)) swprintf(name, 64, L"%d", type);
            printf("  entry %lu: type %d flags %d mask %08lx sid %ls\n", i, ace->Header.AceType, ace->Header.AceFlags,
                   ace->Mask, name);
        }
    }
}

TEST(DumpsFolder, DumpFileNamesAndPaths) {
    SYSTEMTIME time{2026, 12, 1, 7, 19, 5, 33, 0};
    wchar_t name[MAX_PATH];
    Debug::FormatDumpFileName(time, name);
    EXPECT_STREQ(name, L"Crash 2026-12-07 19-05-33.dmp");

    wchar_t path[2 * MAX_PATH];
    ASSERT_TRUE(Debug::MakeDumpFilePath(L"C:\\ProgramData\\Corvantis\\VTCDumps\\", name, path));
    EXPECT_STREQ(path, L"C:\\ProgramData\\Corvantis\\VTCDumps\\Crash 2026-12-07 19-05-33.dmp");
    ASSERT_TRUE(Debug::MakeDumpFilePath(L"", name, path));
    EXPECT_STREQ(path, name) << "without a folder the dump lands in the current directory";
    // A folder of 260 characters or more leaves no room for the name.
    EXPECT_TRUE(Debug::MakeDumpFilePath(std::wstring(259, L'a').c_str(), name, path));
    EXPECT_FALSE(Debug::MakeDumpFilePath(std::wstring(260, L'a').c_str(), name, path));
}
