#include <gtest/gtest.h>

#include <tuple>

#include "app/StartupChecks.h"
#include "framework/Localization.h"

namespace {

// A system that answers as the record says, the way Windows would.
struct FakeSystem {
    PlatformHelpers::OsVersionRecord record;
    bool hasWow64Process = true;
    bool wow64 = false;
    bool hasWow64Process2 = true;
    USHORT nativeMachine = IMAGE_FILE_MACHINE_AMD64;

    SystemQueries Queries() const {
        SystemQueries queries;
        queries.versionRecord = [this] { return record; };
        queries.majorVersion = [this] { return record.valid ? record.major : 0; };
        queries.verifyVersion = [this](DWORD major, DWORD minor, WORD servicePack, DWORD mask, BYTE condition) {
            const auto actual = std::make_tuple(record.major, record.minor, record.servicePackMajor);
            const auto wanted = std::make_tuple(major, minor, static_cast<DWORD>(servicePack));
            if (condition == VER_GREATER_EQUAL) return actual >= wanted;
            if (mask == VER_MAJORVERSION) return record.major == major;
            if (mask == VER_MINORVERSION) return record.minor == minor;
            return actual == wanted;
        };
        queries.isWow64Process = [this](bool& answer) {
            answer = wow64;
            return hasWow64Process;
        };
        queries.nativeMachine = [this](USHORT& machine) {
            machine = nativeMachine;
            return hasWow64Process2;
        };
        queries.isUserAnAdmin = [] { return true; };
        return queries;
    }
};

FakeSystem Windows(DWORD major, DWORD minor, BYTE productType, DWORD productKind, WORD suite = 0) {
    FakeSystem system;
    system.record.valid = true;
    system.record.major = major;
    system.record.minor = minor;
    system.record.productType = productType;
    system.record.productKind = productKind;
    system.record.suiteMask = suite;
    return system;
}

constexpr BYTE Workstation = VER_NT_WORKSTATION;
constexpr BYTE Server = VER_NT_SERVER;

TEST(OperatingSystemGate, SupportedSystemsPass) {
    EXPECT_TRUE(IsSupportedOperatingSystem(Windows(10, 0, Workstation, PRODUCT_PROFESSIONAL).Queries()));
    EXPECT_TRUE(IsSupportedOperatingSystem(Windows(10, 0, Workstation, PRODUCT_CORE).Queries()));
    EXPECT_TRUE(IsSupportedOperatingSystem(Windows(10, 0, Server, PRODUCT_DATACENTER_SERVER).Queries()));
    EXPECT_TRUE(IsSupportedOperatingSystem(Windows(6, 3, Server, PRODUCT_STANDARD_SERVER).Queries()));
    EXPECT_TRUE(IsSupportedOperatingSystem(Windows(6, 3, Workstation, PRODUCT_PROFESSIONAL).Queries()));
    EXPECT_TRUE(IsSupportedOperatingSystem(Windows(6, 3, Server, PRODUCT_DATACENTER_SERVER).Queries()));
}

TEST(OperatingSystemGate, OlderSystemsFail) {
    EXPECT_FALSE(IsSupportedOperatingSystem(Windows(6, 1, Workstation, PRODUCT_PROFESSIONAL).Queries()));
    EXPECT_FALSE(IsSupportedOperatingSystem(Windows(6, 2, Workstation, PRODUCT_PROFESSIONAL).Queries()));
    EXPECT_FALSE(IsSupportedOperatingSystem(Windows(6, 2, Server, PRODUCT_STANDARD_SERVER).Queries()));
    EXPECT_FALSE(IsSupportedOperatingSystem(Windows(6, 0, Workstation, PRODUCT_ULTIMATE).Queries()));
    EXPECT_FALSE(IsSupportedOperatingSystem(Windows(5, 1, Workstation, 0).Queries()));
}

TEST(OperatingSystemGate, HomeEditions) {
    // Windows 8.1's three home kinds are refused; Windows 10 Home passes through
    // the client rule even when it reports an old home kind.
    for (DWORD kind : {PRODUCT_HOME_BASIC, PRODUCT_HOME_PREMIUM, PRODUCT_STARTER}) {
        const FakeSystem home81 = Windows(6, 3, Workstation, kind);
        EXPECT_TRUE(IsHomeEdition(home81.Queries())) << kind;
        EXPECT_FALSE(IsSupportedOperatingSystem(home81.Queries())) << kind;
        EXPECT_TRUE(IsSupportedOperatingSystem(Windows(10, 0, Workstation, kind).Queries())) << kind;
    }
    EXPECT_FALSE(IsHomeEdition(Windows(6, 3, Workstation, PRODUCT_CORE).Queries()));
    // On a server the product kind does not make a home edition.
    EXPECT_FALSE(IsHomeEdition(Windows(6, 3, Server, PRODUCT_HOME_BASIC).Queries()));
    // Windows XP tells by the suite mask.
    EXPECT_TRUE(IsHomeEdition(Windows(5, 1, Workstation, 0, VER_SUITE_PERSONAL).Queries()));
    EXPECT_FALSE(IsHomeEdition(Windows(5, 1, Workstation, PRODUCT_HOME_BASIC).Queries()));
}

TEST(OperatingSystemGate, ClientWindowsRule) {
    EXPECT_TRUE(IsClientWindows(Windows(5, 1, Server, 0).Queries()));
    FakeSystem xp64 = Windows(5, 2, Workstation, 0);
    EXPECT_FALSE(IsClientWindows(xp64.Queries()));
    xp64.wow64 = true;
    EXPECT_TRUE(IsClientWindows(xp64.Queries()));
    xp64.hasWow64Process = false;
    EXPECT_FALSE(IsClientWindows(xp64.Queries()));
    EXPECT_TRUE(IsClientWindows(Windows(6, 0, Workstation, 0).Queries()));
    EXPECT_TRUE(IsClientWindows(Windows(10, 0, Workstation, 0).Queries()));
    EXPECT_FALSE(IsClientWindows(Windows(10, 0, Server, 0).Queries()));
    EXPECT_FALSE(IsClientWindows(Windows(6, 4, Workstation, 0).Queries()));
}

TEST(OperatingSystemGate, UnreadableRecordStillPassesOnWindows10) {
    FakeSystem system = Windows(10, 0, Workstation, PRODUCT_PROFESSIONAL);
    system.record.valid = false;
    const SystemQueries queries = system.Queries();
    EXPECT_FALSE(IsHomeEdition(queries));
    EXPECT_FALSE(IsClientWindows(queries));
    // The version checks do not depend on the record.
    EXPECT_TRUE(IsSupportedOperatingSystem(queries));
}

TEST(OperatingSystemGate, RealSystemOfTheTestPrefix) {
    // The test prefix reports Windows 10; the test executable has the manifest
    // that lets it see the real version.
    EXPECT_TRUE(IsSupportedOperatingSystem(RealSystemQueries()));
}

TEST(Architecture, Arm64NeedsTheNativeMachine) {
    FakeSystem arm = Windows(10, 0, Workstation, PRODUCT_PROFESSIONAL);
    arm.nativeMachine = 0xAA64;
    arm.wow64 = true;
    EXPECT_TRUE(isArm64(arm.Queries()));
    EXPECT_TRUE(isWow64(arm.Queries()));
    arm.hasWow64Process2 = false;
    EXPECT_FALSE(isArm64(arm.Queries()));
    arm.hasWow64Process2 = true;
    arm.nativeMachine = IMAGE_FILE_MACHINE_AMD64;
    EXPECT_FALSE(isArm64(arm.Queries()));
    EXPECT_FALSE(isArm64(RealSystemQueries()));
}

TEST(Architecture, Wow64FollowsTheProcessAnswer) {
    FakeSystem system = Windows(10, 0, Workstation, PRODUCT_PROFESSIONAL);
    system.wow64 = true;
    EXPECT_TRUE(isWow64(system.Queries()));
#ifdef _WIN64
    // A 64-bit build runs on 64-bit Windows whatever IsWow64Process says.
    system.wow64 = false;
    EXPECT_TRUE(isWow64(system.Queries()));
#else
    system.wow64 = false;
    EXPECT_FALSE(isWow64(system.Queries()));
    system.wow64 = true;
    system.hasWow64Process = false;
    EXPECT_FALSE(isWow64(system.Queries()));
#endif
}

struct LanguageRow {
    const wchar_t* code;
    LANGID language;
};

const LanguageRow languageTable[] = {
    {L"en", 1033}, {L"nl", 1043}, {L"de", 1031}, {L"jp", 1041}, {L"fr", 1036}, {L"it", 1040},
    {L"es", 3082}, {L"pt", 1046}, {L"cs", 4},    {L"ct", 1028}, {L"kr", 1042},
};

TEST(InterfaceLanguage, CodesMapToLanguages) {
    for (const LanguageRow& row : languageTable) {
        EXPECT_EQ(LanguageIdFromCode(row.code), row.language) << row.code;
        std::wstring upper = row.code;
        for (wchar_t& c : upper) c = towupper(c);
        EXPECT_EQ(LanguageIdFromCode(upper), row.language) << row.code;
    }
    // Unknown codes, ISO codes the program does not use, and near misses give English.
    for (const wchar_t* code : {L"xx", L"ja", L"zh", L"de-DE", L" de", L"d", L""}) {
        EXPECT_EQ(LanguageIdFromCode(code), 1033) << code;
    }
}

class InterfaceLanguageResources : public ::testing::Test {
protected:
    void TearDown() override { Framework::SetResourceLanguage(0); }
};

TEST_F(InterfaceLanguageResources, EachCodeSelectsItsTemplateAndStrings) {
    HMODULE module = Framework::GetResourceModule();
    for (const LanguageRow& row : languageTable) {
        SCOPED_TRACE(testing::Message() << "code " << row.code);
        EXPECT_EQ(SetInterfaceLanguage(row.code), row.language);
        HRSRC exact = FindResourceExW(module, RT_DIALOG, MAKEINTRESOURCEW(102), row.language);
        ASSERT_NE(exact, nullptr) << "no dialog template in language " << row.language;
        EXPECT_EQ(Framework::FindLocalizedResource(module, RT_DIALOG, MAKEINTRESOURCEW(102)), exact);
        for (UINT id : {102u, 103u, 104u, 105u, 106u, 108u, 1004u, 1006u}) {
            const std::wstring text = Framework::LoadLocalizedString(id);
            EXPECT_FALSE(text.empty()) << id;
            EXPECT_NE(FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), row.language), nullptr)
                << id;
        }
    }
    SetInterfaceLanguage(L"de");
    EXPECT_EQ(Framework::LoadLocalizedString(1006), L"Abbrechen");
    SetInterfaceLanguage(L"xx");
    EXPECT_EQ(Framework::GetResourceLanguage(), 1033);
    EXPECT_EQ(Framework::LoadLocalizedString(1006), L"Cancel");
    EXPECT_EQ(Framework::LoadLocalizedString(102), L"Detected %d bit operating system.\r\n");
}

TEST_F(InterfaceLanguageResources, MissingStringsAndLanguagesFallBack) {
    HMODULE module = Framework::GetResourceModule();
    // A language the program does not carry falls back to the system's choice.
    EXPECT_FALSE(Framework::LoadStringInLanguage(module, 1006, MAKELANGID(LANG_GREEK, SUBLANG_DEFAULT)).empty());
    EXPECT_NE(Framework::FindLocalizedResource(module, RT_DIALOG, MAKEINTRESOURCEW(102)), nullptr);
    // Ids that exist nowhere, also inside an existing block, load as empty.
    EXPECT_TRUE(Framework::LoadStringInLanguage(module, 101, 1033).empty());
    EXPECT_TRUE(Framework::LoadStringInLanguage(module, 60000, 1033).empty());
}

}  // namespace
