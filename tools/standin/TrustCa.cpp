// standin_trustca CERT.der
// Adds a DER certificate to the local machine's "Root" store, so that the stand-in
// server's test authority is trusted inside a test prefix.
#include <windows.h>
#include <wincrypt.h>
#include <cstdio>
#include <vector>
#include "platform/UniqueResource.h"

namespace {

bool ReadWholeFile(const wchar_t* path, std::vector<BYTE>& bytes) {
    PlatformHelpers::UniqueFile file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                 OPEN_EXISTING, 0, nullptr));
    if (!file) return false;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 || size.QuadPart > (1 << 20))
        return false;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    return ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
           read == bytes.size();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        fwprintf(stderr, L"usage: standin_trustca CERT.der\n");
        return 2;
    }
    std::vector<BYTE> der;
    if (!ReadWholeFile(argv[1], der)) {
        fwprintf(stderr, L"standin_trustca: cannot read %ls\n", argv[1]);
        return 1;
    }
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                     CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    if (!store) {
        fwprintf(stderr, L"standin_trustca: cannot open the Root store (%lu)\n", GetLastError());
        return 1;
    }
    BOOL added = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(),
                                                  static_cast<DWORD>(der.size()),
                                                  CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    DWORD error = GetLastError();
    CertCloseStore(store, 0);
    if (!added) {
        fwprintf(stderr, L"standin_trustca: cannot add the certificate (%lu)\n", error);
        return 1;
    }
    return 0;
}
