#include "fileutil/Delete.h"

#include <windows.h>

#include "fileutil/PathUtils.h"
#include "log/Log.h"
#include "platform/UniqueResource.h"

namespace {

constexpr uint32_t kDeleteLogCode = 105;
// GetTempFileNameW appends up to 14 characters to the folder it is given.
constexpr DWORD kTempFolderCapacity = MAX_PATH - 14;

// The texts one item kind logs at each fall-back step.
struct DeleteKind {
    bool pathNotFoundIsGone;
    bool useLongPathWhenUnreadable;
    const wchar_t* deleteFailed;
    const wchar_t* moveFailed;
    const wchar_t* markOnCloseFailed;
    const wchar_t* markOnRebootFailed;
};

const DeleteKind kFileKind = {
    true, true,
    L"Failed to delete file \"%s\"\n",
    L"Failed to move file \"%s\" to temp \"%s\"\n",
    L"Failed to mark file for deletion \"%s\" on close\n",
    L"Failed to mark file for deletion \"%s\" on reboot\n",
};

const DeleteKind kFolderKind = {
    false, false,
    L"Failed to delete folder \"%s\"\n",
    L"Failed to move folder \"%s\" to temp \"%s\"\n",
    L"Failed to mark folder for deletion \"%s\" on close\n",
    L"Failed to mark folder \"%s\" for deletion on reboot\n",
};

void LogDeleteFailure(const wchar_t* format, const std::wstring& first,
                      const std::wstring& second = std::wstring()) {
    LogLastError(LogLevelError, LogCategoryShared, kDeleteLogCode, format, first.c_str(),
                 second.c_str());
}

// Creates an empty, uniquely named file in the temporary folder; empty on failure.
std::wstring CreateTempPlaceholder() {
    wchar_t folder[MAX_PATH] = {};
    DWORD length = GetTempPathW(kTempFolderCapacity, folder);
    if (length == 0 || length >= kTempFolderCapacity) return std::wstring();
    wchar_t name[MAX_PATH] = {};
    if (GetTempFileNameW(folder, L"tpd", 0, name) == 0) return std::wstring();
    return name;
}

bool IsGone(DWORD error, const DeleteKind& kind) {
    return error == ERROR_FILE_NOT_FOUND || (kind.pathNotFoundIsGone && error == ERROR_PATH_NOT_FOUND);
}

// Tries the direct deletion, then moving aside, delete-on-close and delete-at-restart.
bool DeleteRobust(const std::wstring& path, const DeleteKind& kind, BOOL (WINAPI* remove)(LPCWSTR)) {
    if (remove(path.c_str())) return true;
    if (IsGone(GetLastError(), kind)) return true;
    LogDeleteFailure(kind.deleteFailed, path);

    std::wstring temp = CreateTempPlaceholder();
    std::wstring working = path;
    if (kind.useLongPathWhenUnreadable && GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        working = L"\\\\?\\" + path;

    if (!temp.empty() && MoveFileExW(working.c_str(), temp.c_str(), MOVEFILE_REPLACE_EXISTING))
        working = temp;
    else
        LogDeleteFailure(kind.moveFailed, working, temp);

    PlatformHelpers::UniqueFile marked(CreateFileW(working.c_str(), GENERIC_READ, FILE_SHARE_DELETE,
                                                   nullptr, CREATE_ALWAYS,
                                                   FILE_FLAG_DELETE_ON_CLOSE | FILE_ATTRIBUTE_NORMAL,
                                                   nullptr));
    if (!marked) LogDeleteFailure(kind.markOnCloseFailed, working);
    marked.reset();

    if (!MoveFileExW(working.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) &&
        GetLastError() != ERROR_FILE_NOT_FOUND) {
        LogDeleteFailure(kind.markOnRebootFailed, working);
        return false;
    }
    return true;
}

bool IsLinkedFolder(const WIN32_FIND_DATAW& entry) {
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace

bool DeleteFileRobust(const std::wstring& path) {
    return DeleteRobust(path, kFileKind, DeleteFileW);
}

bool DeleteFolderRobust(const std::wstring& path) {
    return DeleteRobust(path, kFolderKind, RemoveDirectoryW);
}

bool DeleteFolderTree(const std::wstring& path) {
    if (path.empty()) return true;
    WIN32_FIND_DATAW entry;
    PlatformHelpers::UniqueFindHandle search(FindFirstFileW(CombinePath(path, L"*").c_str(), &entry));
    if (!search) return false;

    // Every entry is looked at, the first one too: not every file system lists "." first.
    do {
        if (IsDotEntry(entry.cFileName)) continue;
        std::wstring item = CombinePath(path, entry.cFileName);
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            // A junction or folder link is removed itself; what it points to is not ours.
            if (!IsLinkedFolder(entry) && !DeleteFolderTree(item)) return false;
            DeleteFolderRobust(item);
        } else {
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
                SetFileAttributesW(item.c_str(), entry.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
            DeleteFileRobust(item);
        }
    } while (FindNextFileW(search.get(), &entry));
    if (GetLastError() != ERROR_NO_MORE_FILES) return false;
    search.reset();
    return DeleteFolderRobust(path);
}
