#include "platform/OsVersion.h"

namespace PlatformHelpers {

namespace {
using GetProductInfoFn = BOOL(WINAPI*)(DWORD, DWORD, DWORD, DWORD, PDWORD);

DWORD QueryProductKind(const OSVERSIONINFOEXA& info) {
    // Looked up at run time: the call only exists from Windows Vista on.
    auto getProductInfo = reinterpret_cast<GetProductInfoFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "GetProductInfo")));
    DWORD kind = 0;
    if (getProductInfo &&
        !getProductInfo(info.dwMajorVersion, info.dwMinorVersion, info.wServicePackMajor,
                        info.wServicePackMinor, &kind)) {
        kind = 0;
    }
    return kind;
}
}  // namespace

OsVersionRecord ReadOsVersionRecord() {
    OSVERSIONINFOEXA info{};
    info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) return {};
#pragma GCC diagnostic pop
    OsVersionRecord record;
    record.valid = true;
    record.major = info.dwMajorVersion;
    record.minor = info.dwMinorVersion;
    record.servicePackMajor = info.wServicePackMajor;
    record.productType = info.wProductType;
    record.suiteMask = info.wSuiteMask;
    record.productKind = QueryProductKind(info);
    return record;
}

const OsVersionRecord& GetOsVersionRecord() {
    static const OsVersionRecord record = ReadOsVersionRecord();
    return record;
}

}  // namespace PlatformHelpers
