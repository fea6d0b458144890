#include "app/StartupChecks.h"

#include <cwctype>

#include "framework/Localization.h"
#include "platform/OsVersion.h"

namespace {

constexpr USHORT MachineArm64 = 0xAA64;  // IMAGE_FILE_MACHINE_ARM64

bool IsVersion(const SystemQueries& queries, DWORD major, DWORD minor) {
    // Two separate questions, as the version helpers ask them.
    return queries.verifyVersion(major, 0, 0, VER_MAJORVERSION, VER_EQUAL) &&
           queries.verifyVersion(0, minor, 0, VER_MINORVERSION, VER_EQUAL);
}

bool IsAtLeastWindows10(const SystemQueries& queries) {
    return queries.verifyVersion(10, 0, 0, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR,
                                 VER_GREATER_EQUAL);
}

bool IsWow64Process(const SystemQueries& queries) {
    bool wow64 = false;
    return queries.isWow64Process(wow64) && wow64;
}

}  // namespace

bool IsHomeEdition(const SystemQueries& queries) {
    const PlatformHelpers::OsVersionRecord record = queries.versionRecord();
    if (!record.valid || record.productType != VER_NT_WORKSTATION) return false;
    if (queries.majorVersion() == 5) return (record.suiteMask & VER_SUITE_PERSONAL) != 0;
    return record.productKind == PRODUCT_HOME_BASIC || record.productKind == PRODUCT_HOME_PREMIUM ||
           record.productKind == PRODUCT_STARTER;
}

bool IsClientWindows(const SystemQueries& queries) {
    const PlatformHelpers::OsVersionRecord record = queries.versionRecord();
    if (!record.valid) return false;
    if (record.major == 5 && record.minor == 1) return true;
    if (record.productType != VER_NT_WORKSTATION) return false;
    if (record.major == 5 && record.minor == 2) return IsWow64Process(queries);
    if (record.major == 6 && record.minor <= 3) return true;
    return record.major == 10 && record.minor == 0;
}

bool IsSupportedOperatingSystem(const SystemQueries& queries) {
    if (!IsHomeEdition(queries) && (IsVersion(queries, 6, 3) || IsVersion(queries, 10, 0))) return true;
    return IsClientWindows(queries) && IsAtLeastWindows10(queries);
}

bool isWow64(const SystemQueries& queries) {
#ifdef _WIN64
    // A 64-bit process is never under WOW64, yet the system is 64-bit: the flag
    // means "64-bit Windows" to the status line and the package choice.
    (void)queries;
    return true;
#else
    return IsWow64Process(queries);
#endif
}

bool isArm64(const SystemQueries& queries) {
    USHORT nativeMachine = 0;
    return queries.nativeMachine(nativeMachine) && nativeMachine == MachineArm64;
}

LANGID LanguageIdFromCode(const std::wstring& code) {
    struct Row {
        const wchar_t* code;
        LANGID language;
    };
    static const Row table[] = {
        {L"EN", 1033}, {L"NL", 1043}, {L"DE", 1031}, {L"JP", 1041}, {L"FR", 1036}, {L"IT", 1040},
        {L"ES", 3082}, {L"PT", 1046}, {L"CS", 4},    {L"CT", 1028}, {L"KR", 1042},
    };
    std::wstring upper = code;
    for (wchar_t& c : upper) c = static_cast<wchar_t>(std::towupper(c));
    for (const Row& row : table) {
        if (upper == row.code) return row.language;
    }
    return 1033;
}

LANGID SetInterfaceLanguage(const std::wstring& code) {
    const DWORD sortId = SORTIDFROMLCID(GetThreadLocale());
    const LANGID language = LanguageIdFromCode(code);
    static const DWORD majorVersion = [] {
        const PlatformHelpers::OsVersionRecord& record = PlatformHelpers::GetOsVersionRecord();
        return record.valid ? record.major : 0;
    }();
    if (majorVersion >= 6) {
        using SetThreadUILanguageFn = LANGID(WINAPI*)(LANGID);
        HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
        auto setThreadUILanguage = kernel ? reinterpret_cast<SetThreadUILanguageFn>(reinterpret_cast<void*>(
                                                GetProcAddress(kernel, "SetThreadUILanguage")))
                                          : nullptr;
        if (setThreadUILanguage) setThreadUILanguage(language);
    } else {
        SetThreadLocale(MAKELCID(language, sortId));
    }
    Framework::SetResourceLanguage(language);
    return language;
}
