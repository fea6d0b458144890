#pragma once
// Puts the branding files into "Branding" under the temporary folder and records
// that folder in the registry, where the installed client looks for them.
#include <string>

// Runs on the worker thread before the download; whatever happens, the download goes on.
void PrepareBranding();
// The same for a given executable and branding folder.
void PrepareBrandingAt(const std::wstring& executablePath, const std::wstring& brandingFolder);

// True when "Brand.ini" lies beside the executable; that folder, without its
// ".exe" files, is then copied into the branding folder.
bool CopyLooseBranding(const std::wstring& executablePath, const std::wstring& brandingFolder);
// True when the executable's payload was found, written and fully extracted.
bool ExtractPayloadBranding(const std::wstring& executablePath, const std::wstring& brandingFolder);

extern const wchar_t kBrandingRegistryKey[];
extern const wchar_t kBrandingRegistryValue[];
