#include "debug/DumpsFolder.h"

#include <gtest/gtest.h>
#include <aclapi.h>
#include <sddl.h>

#include <map>
#include <string>
#include <vector>

#include "debug/CrashDump.h"
#include "fileutil/PathUtils.h"
#include "platform/UniqueResource.h"
#include "tests/fileutil/TestSupport.h"

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

struct AceSummary {
    unsigned type;
    unsigned flags;
    unsigned long mask;
    std::string trustee;
    bool operator==(const AceSummary& other) const {
        return type == other.type && flags == other.flags && mask == other.mask && trustee == other.trustee;
    }
};

std::string DescribeSid(PSID sid) {
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text)) return "?";
    PlatformHelpers::UniqueLocalMemory owned(text);
    return TestSupport::Narrow(text);
}

struct FolderSecurity {
    bool read = false;
    std::string owner;
    bool ownerIsLocalSystem = false;
    bool isProtected = false;
    std::vector<AceSummary> entries;
    bool SameAs(const FolderSecurity& other) const {
        return owner == other.owner && isProtected == other.isProtected && entries == other.entries;
    }
};

FolderSecurity ReadFolderSecurity(const wchar_t* folder) {
    FolderSecurity security;
    PSID owner = nullptr;
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                              nullptr, &acl, nullptr, &descriptor) != ERROR_SUCCESS)
        return security;
    PlatformHelpers::UniqueLocalMemory ownedDescriptor(descriptor);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(descriptor, &control, &revision);
    security.read = true;
    security.owner = owner ? DescribeSid(owner) : "none";
    security.ownerIsLocalSystem = owner && IsWellKnownSid(owner, WinLocalSystemSid);
    security.isProtected = (control & SE_DACL_PROTECTED) != 0;
    for (DWORD i = 0; acl && i < acl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        if (!GetAce(acl, i, reinterpret_cast<void**>(&ace))) continue;
        security.entries.push_back(
            {ace->Header.AceType, ace->Header.AceFlags, ace->Mask, DescribeSid(&ace->SidStart)});
    }
    return security;
}

// The three entries as stored on a folder: the system may keep the generic rights
// or map them to the file rights they stand for.
bool HasDumpsFolderEntries(const std::vector<AceSummary>& entries) {
    const struct {
        const char* trustee;
        ACCESS_MASK generic;
        ACCESS_MASK mapped;
    } expected[] = {{"S-1-5-18", GENERIC_ALL, FILE_ALL_ACCESS},
                    {"S-1-5-32-544", GENERIC_ALL, FILE_ALL_ACCESS},
                    {"S-1-5-11", GENERIC_WRITE, FILE_GENERIC_WRITE}};
    if (entries.size() != 3) return false;
    for (size_t i = 0; i < 3; ++i) {
        const AceSummary& entry = entries[i];
        if (entry.type != ACCESS_ALLOWED_ACE_TYPE || entry.flags != (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE) ||
            entry.trustee != expected[i].trustee ||
            (entry.mask != expected[i].generic && entry.mask != expected[i].mapped))
            return false;
    }
    return true;
}

bool IsWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

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

TEST(DumpsFolder, PreparedUnderAllUsersProfileWithItsSecurityOrUntouched) {
    wchar_t expected[MAX_PATH];
    ExpandEnvironmentStringsW(L"%AllUsersProfile%\\Corvantis\\VTCDumps\\", expected, MAX_PATH);
    ASSERT_TRUE(CreateFolderPath(expected, true));
    const FolderSecurity before = ReadFolderSecurity(expected);
    ASSERT_TRUE(before.read);
    std::map<DWORD, DWORD> privilegesBefore = ReadPrivilegeStates();

    wchar_t folder[Debug::DumpsFolderLength];
    ASSERT_TRUE(Debug::PrepareDumpsFolder(folder));
    EXPECT_STREQ(folder, expected);
    DWORD attributes = GetFileAttributesW(folder);
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(ReadPrivilegeStates(), privilegesBefore) << "privileges are disabled again";

    // Either the whole security was applied, or (no privilege to do it, or a
    // platform that does not store it) the folder kept what it had.
    const FolderSecurity after = ReadFolderSecurity(folder);
    ASSERT_TRUE(after.read);
    const bool ownerApplied = after.ownerIsLocalSystem;
    const bool protectionApplied = after.isProtected;
    const bool entriesApplied = HasDumpsFolderEntries(after.entries);
    printf("read back: owner Local System %s, protected %s, the three entries in order %s\n",
           ownerApplied ? "yes" : "no", protectionApplied ? "yes" : "no", entriesApplied ? "yes" : "no");
    for (const AceSummary& entry : after.entries)
        printf("  entry: type %u flags %u mask %08lx trustee %s\n", entry.type, entry.flags, entry.mask,
               entry.trustee.c_str());
    if (ownerApplied && protectionApplied && entriesApplied) return;

    EXPECT_TRUE(after.SameAs(before)) << "security applied only in part";
    printf("not applied here, the folder kept its security:%s%s%s%s\n", ownerApplied ? "" : " owner",
           protectionApplied ? "" : " protection", entriesApplied ? "" : " entries",
           IsWine() ? " (Wine reports success without storing them)" : "");
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
    ASSERT_TRUE(Debug::MakeDumpFilePath(L"D:\\Dumps", name, path));
    EXPECT_STREQ(path, L"D:\\Dumps\\Crash 2026-12-07 19-05-33.dmp");
    // The longest folder the buffer admits still gets the whole name; one of 260
    // characters or more leaves no room for it.
    const std::wstring longest(259, L'a');
    ASSERT_TRUE(Debug::MakeDumpFilePath(longest.c_str(), name, path));
    EXPECT_EQ(std::wstring(path), longest + L"\\" + name);
    EXPECT_FALSE(Debug::MakeDumpFilePath(std::wstring(260, L'a').c_str(), name, path));
}
