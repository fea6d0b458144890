#include "app/SystemQueries.h"

#include <shlobj.h>

namespace {

template <typename Function>
Function LookUp(const wchar_t* module, const char* name) {
    HMODULE loaded = GetModuleHandleW(module);
    if (!loaded) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(loaded, name)));
}

DWORD QueryMajorVersion() {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExW(&info)) return 0;
#pragma GCC diagnostic pop
    return info.dwMajorVersion;
}

bool VerifyVersion(DWORD major, DWORD minor, WORD servicePackMajor, DWORD typeMask, BYTE condition) {
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    info.dwMajorVersion = major;
    info.dwMinorVersion = minor;
    info.wServicePackMajor = servicePackMajor;
    ULONGLONG conditions = 0;
    for (DWORD type : {VER_MAJORVERSION, VER_MINORVERSION, VER_SERVICEPACKMAJOR}) {
        if (typeMask & type) conditions = VerSetConditionMask(conditions, type, condition);
    }
    return VerifyVersionInfoW(&info, typeMask, conditions) != FALSE;
}

bool QueryWow64Process(bool& wow64) {
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    auto isWow64Process = LookUp<IsWow64ProcessFn>(L"kernel32", "IsWow64Process");
    BOOL answer = FALSE;
    if (!isWow64Process || !isWow64Process(GetCurrentProcess(), &answer)) return false;
    wow64 = answer != FALSE;
    return true;
}

bool QueryNativeMachine(USHORT& nativeMachine) {
    using IsWow64Process2Fn = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
    auto isWow64Process2 = LookUp<IsWow64Process2Fn>(L"Kernel32.dll", "IsWow64Process2");
    USHORT processMachine = 0;
    return isWow64Process2 && isWow64Process2(GetCurrentProcess(), &processMachine, &nativeMachine);
}

}  // namespace

SystemQueries RealSystemQueries() {
    SystemQueries queries;
    queries.versionRecord = [] { return PlatformHelpers::GetOsVersionRecord(); };
    queries.majorVersion = QueryMajorVersion;
    queries.verifyVersion = VerifyVersion;
    queries.isWow64Process = QueryWow64Process;
    queries.nativeMachine = QueryNativeMachine;
    queries.isUserAnAdmin = [] { return IsUserAnAdmin() != FALSE; };
    return queries;
}
