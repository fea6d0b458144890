#include "branding/Branding.h"

#include <windows.h>
#include <shlwapi.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "branding/ExePayload.h"
#include "fileutil/Delete.h"
#include "fileutil/PathUtils.h"
#include "log/Log.h"
#include "platform/UniqueResource.h"
#include "zip/ZipExtractor.h"

const wchar_t kBrandingRegistryKey[] = L"Software\\Corvantis\\VantrelClient\\Setup";
const wchar_t kBrandingRegistryValue[] = L"BrandFileLocation";

namespace {

constexpr uint32_t kBrandingLogCode = 1;
constexpr DWORD kPathBufferLength = MAX_PATH + 1;

void RecordBrandingLocation(const std::wstring& brandingFolder) {
    PlatformHelpers::UniqueRegKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kBrandingRegistryKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_READ | KEY_WRITE, nullptr, key.put(), nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExW(key.get(), kBrandingRegistryValue, 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(brandingFolder.c_str()),
                   static_cast<DWORD>((brandingFolder.size() + 1) * sizeof(wchar_t)));
}

bool WritePayloadFile(const std::wstring& path, const std::vector<uint8_t>& payload) {
    std::FILE* file = _wfopen(path.c_str(), L"wb");
    if (file == nullptr) return false;
    bool written = std::fwrite(payload.data(), 1, payload.size(), file) == payload.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace

bool CopyLooseBranding(const std::wstring& executablePath, const std::wstring& brandingFolder) {
    std::wstring folder = GetFolderPart(executablePath);
    if (!PathFileExistsW(CombinePath(folder, L"Brand.ini").c_str())) {
        LogMessage(LogLevelInfo, LogCategoryBranding, kBrandingLogCode,
                   L"Not self extracting, no branding files found in the current path.\n");
        return false;
    }
    // A partial copy still counts: the files that arrived are the branding.
    CopyFolderTree(folder, brandingFolder, {L".exe"});
    return true;
}

bool ExtractPayloadBranding(const std::wstring& executablePath, const std::wstring& brandingFolder) {
    if (!CreateDirectoryW(brandingFolder.c_str(), nullptr)) {
        LogLastError(LogLevelError, LogCategoryBranding, kBrandingLogCode,
                     L"Creation of branding directory failed: '%s'.\n", brandingFolder.c_str());
        return false;
    }
    std::vector<uint8_t> payload = CExePayload().ReadPayload(executablePath);
    if (payload.empty()) {
        LogMessage(LogLevelInfo, LogCategoryBranding, kBrandingLogCode, L"No branding payload found.\n");
        return false;
    }
    const std::wstring payloadFile = CombinePath(brandingFolder, L"Branding.zip");
    if (!WritePayloadFile(payloadFile, payload)) {
        LogMessage(LogLevelError, LogCategoryBranding, kBrandingLogCode,
                   L"Failed to write payload to temporary folder.\n");
        return false;
    }
    CZipExtractor extractor;
    if (!extractor.Open(payloadFile.c_str()) || !extractor.ExtractAll(brandingFolder)) {
        LogMessage(LogLevelError, LogCategoryBranding, kBrandingLogCode,
                   L"Failed to unzip branding contants to temporary folder.\n");
        return false;
    }
    extractor.Close();
    DeleteFileRobust(payloadFile);
    return true;
}

void PrepareBrandingAt(const std::wstring& executablePath, const std::wstring& brandingFolder) {
    DeleteFolderTree(brandingFolder);
    if (!CopyLooseBranding(executablePath, brandingFolder) &&
        !ExtractPayloadBranding(executablePath, brandingFolder))
        return;
    RecordBrandingLocation(brandingFolder);
}

void PrepareBranding() {
    wchar_t executable[kPathBufferLength] = {};
    wchar_t temp[kPathBufferLength] = {};
    GetModuleFileNameW(nullptr, executable, kPathBufferLength);
    GetTempPathW(kPathBufferLength, temp);
    PrepareBrandingAt(executable, CombinePath(temp, L"Branding"));
}
