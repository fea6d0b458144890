#pragma once
// The operating-system version record: what the start-up gate and the interface
// language need to know about the running Windows, read once per process.
#include <windows.h>

namespace PlatformHelpers {

struct OsVersionRecord {
    bool valid = false;        // false when the system could not be asked
    DWORD major = 0;
    DWORD minor = 0;
    DWORD servicePackMajor = 0;
    BYTE productType = 0;      // VER_NT_WORKSTATION (1), domain controller (2), server (3)
    WORD suiteMask = 0;
    DWORD productKind = 0;     // GetProductInfo's product type, PRODUCT_HOME_BASIC and so on
};

// Reads the record from the system on the first call and returns the cached copy after.
const OsVersionRecord& GetOsVersionRecord();

// Reads the record from the system now, without caching.
OsVersionRecord ReadOsVersionRecord();

}  // namespace PlatformHelpers
