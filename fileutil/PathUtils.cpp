#include "fileutil/PathUtils.h"

#include <windows.h>

#include "platform/UniqueResource.h"

namespace {

bool IsDriveLetterAt(std::wstring_view path, size_t at) {
    if (path.size() < at + 2 || path[at + 1] != L':') return false;
    wchar_t c = path[at];
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

bool IsUncMarkerAt(std::wstring_view path, size_t at) {
    if (path.size() < at + 4 || path[at + 3] != L'\\') return false;
    return CompareStringOrdinal(path.data() + at, 3, L"UNC", 3, TRUE) == CSTR_EQUAL;
}

// Position of the extension's dot, or npos when the last component has none.
size_t FindExtensionDot(std::wstring_view path) {
    size_t dot = path.rfind(L'.');
    if (dot == std::wstring_view::npos) return dot;
    size_t separator = path.find_last_of(L"\\/");
    if (separator != std::wstring_view::npos && separator > dot) return std::wstring_view::npos;
    return dot;
}

// Where "server\share" ends, or npos when there is no server name.
size_t SkipServerAndShare(std::wstring_view path, size_t at) {
    if (at < path.size() && path[at] == L'\\') return std::wstring_view::npos;
    size_t afterServer = path.find(L'\\', at);
    if (afterServer == std::wstring_view::npos) return path.size();
    size_t afterShare = path.find(L'\\', afterServer + 1);
    return afterShare == std::wstring_view::npos ? path.size() : afterShare;
}

// Where the root of `path` ends (before the separator that may follow it), or npos.
size_t FindRootEnd(std::wstring_view path) {
    constexpr size_t none = std::wstring_view::npos;
    if (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\') {
        if (path.size() >= 3 && path[2] == L'?') {
            if (path.size() < 4 || path[3] != L'\\') return none;
            if (IsDriveLetterAt(path, 4)) return 6;
            // "\\?\UNC\server\share": the server comes after "UNC\", not "UNC" itself.
            if (IsUncMarkerAt(path, 4)) return SkipServerAndShare(path, 8);
            return SkipServerAndShare(path, 4);
        }
        return SkipServerAndShare(path, 2);
    }
    if (IsDriveLetterAt(path, 0)) return 2;
    if (!path.empty() && path[0] == L'\\') return 0;
    return none;
}

// An existing folder counts as created; an existing file of that name does not.
bool CreateFolder(const std::wstring& path) {
    if (CreateDirectoryW(path.c_str(), nullptr)) return true;
    if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return true;
    SetLastError(ERROR_ALREADY_EXISTS);
    return false;
}

bool IsExcluded(const std::wstring& name, const std::vector<std::wstring>& excludedExtensions) {
    std::wstring extension = GetExtension(name);
    for (const std::wstring& excluded : excludedExtensions) {
        if (extension == excluded) return true;
    }
    return false;
}

}  // namespace

std::wstring CombinePath(std::wstring_view base, std::wstring_view name) {
    if (name.empty()) return std::wstring(base);
    if (base.empty()) return std::wstring(name);
    std::wstring result(base);
    if (result.back() == L'\\') {
        if (name.front() == L'\\') name.remove_prefix(1);
    } else if (name.front() != L'\\') {
        result += L'\\';
    }
    result += name;
    return result;
}

std::wstring GetExtension(std::wstring_view path) {
    size_t dot = FindExtensionDot(path);
    return dot == std::wstring_view::npos ? std::wstring() : std::wstring(path.substr(dot));
}

std::wstring RemoveExtension(std::wstring_view path) {
    return std::wstring(path.substr(0, FindExtensionDot(path)));
}

std::wstring GetFolderPart(std::wstring_view path) {
    size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring_view::npos ? std::wstring()
                                                : std::wstring(path.substr(0, separator + 1));
}

bool IsDotEntry(std::wstring_view name) { return name == L"." || name == L".."; }

bool FindPathRoot(std::wstring_view path, size_t* rest) {
    size_t end = FindRootEnd(path);
    bool hasRoot = end != std::wstring_view::npos;
    if (!hasRoot) {
        end = 0;
    } else if (end < path.size() && path[end] == L'\\') {
        ++end;
    }
    if (rest) *rest = end;
    return hasRoot;
}

bool CreateFolderPath(const std::wstring& path, bool parentsOnly) {
    size_t i = 0;
    FindPathRoot(path, &i);
    while (i < path.size()) {
        size_t separator = path.find(L'\\', i);
        if (separator == std::wstring::npos) break;
        i = separator + 1;
        if (!CreateFolder(path.substr(0, i))) return false;
    }
    return parentsOnly || CreateFolder(path);
}

bool CopyFolderTree(const std::wstring& source, const std::wstring& destination,
                    const std::vector<std::wstring>& excludedExtensions) {
    if (source.empty() || destination.empty()) return true;
    WIN32_FIND_DATAW entry;
    PlatformHelpers::UniqueFindHandle search(
        FindFirstFileW(CombinePath(source, L"*").c_str(), &entry));
    if (!search) return false;
    // An existing destination is refused so that two trees are never merged.
    if (!CreateDirectoryW(destination.c_str(), nullptr)) return false;

    // Every entry is looked at, the first one too: not every file system lists "." first.
    do {
        if (IsDotEntry(entry.cFileName)) continue;
        std::wstring from = CombinePath(source, entry.cFileName);
        std::wstring to = CombinePath(destination, entry.cFileName);
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!CopyFolderTree(from, to, excludedExtensions)) return false;
        } else if (!IsExcluded(entry.cFileName, excludedExtensions)) {
            if (!CopyFileExW(from.c_str(), to.c_str(), nullptr, nullptr, nullptr,
                             COPY_FILE_FAIL_IF_EXISTS))
                return false;
        }
    } while (FindNextFileW(search.get(), &entry));
    return GetLastError() == ERROR_NO_MORE_FILES;
}
