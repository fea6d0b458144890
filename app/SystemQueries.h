#pragma once
// The questions start-up asks the operating system, gathered in one place so that
// tests can answer them as a Home edition, a server, an ARM64 machine or a user
// without elevation would; Wine cannot pretend to be any of those.
#include <windows.h>
#include <functional>

#include "platform/OsVersion.h"

struct SystemQueries {
    // The platform version record (read once per process in production).
    std::function<PlatformHelpers::OsVersionRecord()> versionRecord;
    // The major version as GetVersionExW reports it, 0 when the call fails.
    std::function<DWORD()> majorVersion;
    // VerifyVersionInfoW with the given values, type mask and one condition for
    // every type in the mask.
    std::function<bool(DWORD major, DWORD minor, WORD servicePackMajor, DWORD typeMask,
                       BYTE condition)>
        verifyVersion;
    // IsWow64Process for the current process: false when the function is missing
    // or fails, else true with the answer in `wow64`.
    std::function<bool(bool& wow64)> isWow64Process;
    // IsWow64Process2's native machine: false when the function is missing or fails.
    std::function<bool(USHORT& nativeMachine)> nativeMachine;
    // The shell's IsUserAnAdmin: an elevated administrator under UAC.
    std::function<bool()> isUserAnAdmin;
};

// The answers of the running system.
SystemQueries RealSystemQueries();
