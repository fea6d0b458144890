#pragma once
// Small operations on wide-string paths and folders.
#include <string>
#include <string_view>
#include <vector>

// Base and name joined by exactly one backslash.
std::wstring CombinePath(std::wstring_view base, std::wstring_view name);
// The extension with its dot, or empty ("\" and "/" both end a folder).
std::wstring GetExtension(std::wstring_view path);
std::wstring RemoveExtension(std::wstring_view path);
// The folder part with its final separator, or empty.
std::wstring GetFolderPart(std::wstring_view path);
bool IsDotEntry(std::wstring_view name);
// Whether the path has a root; `rest` receives where the text after the root begins.
bool FindPathRoot(std::wstring_view path, size_t* rest);
// Creates every folder of the path (the last one too unless parentsOnly).
bool CreateFolderPath(const std::wstring& path, bool parentsOnly);
// Copies the tree of `source` into the new folder `destination`, skipping files
// whose extension is in `excludedExtensions` (exact, case-sensitive).
bool CopyFolderTree(const std::wstring& source, const std::wstring& destination,
                    const std::vector<std::wstring>& excludedExtensions);
