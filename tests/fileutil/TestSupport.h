#pragma once
// Helpers shared by the file, zip and branding tests: a scratch folder under the
// temporary folder, small file operations and a capture of the process logger.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fileutil/Delete.h"
#include "fileutil/PathUtils.h"
#include "log/Logger.h"

namespace TestSupport {

// A fresh folder under %TEMP% for one test, removed with everything in it afterwards.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::wstring& tag) {
        wchar_t temp[MAX_PATH + 1] = {};
        GetTempPathW(MAX_PATH + 1, temp);
        path_ = CombinePath(temp, L"tarnwick-" + tag + L"-" + std::to_wstring(GetCurrentProcessId()) +
                                      L"-" + std::to_wstring(GetTickCount64()));
        CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~ScratchFolder() { DeleteFolderTree(path_); }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return CombinePath(path_, name); }

private:
    std::wstring path_;
};

inline bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = bytes.empty() ||
              WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

inline std::string ReadBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::string();
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

inline bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline bool IsFolder(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Relative paths of every file and folder below `root` (folders end in "\"), sorted.
inline void ListTree(const std::wstring& root, const std::wstring& prefix, std::vector<std::wstring>& out) {
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(CombinePath(root, L"*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (IsDotEntry(entry.cFileName)) continue;
        std::wstring name = prefix + entry.cFileName;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out.push_back(name + L"\\");
            ListTree(CombinePath(root, entry.cFileName), name + L"\\", out);
        } else {
            out.push_back(name);
        }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
}

inline std::vector<std::wstring> ListTree(const std::wstring& root) {
    std::vector<std::wstring> out;
    ListTree(root, L"", out);
    std::sort(out.begin(), out.end());
    return out;
}

// Collects every line the process logger hands to its callback while alive.
class LogCapture {
public:
    LogCapture() { GetProcessLogger().SetCallback(&LogCapture::Receive, LogLevelTrace, this); }
    ~LogCapture() { GetProcessLogger().SetCallback(nullptr, 0, nullptr); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    const std::vector<std::wstring>& lines() const { return lines_; }
    bool Contains(const std::wstring& text) const {
        for (const std::wstring& line : lines_)
            if (line.find(text) != std::wstring::npos) return true;
        return false;
    }
    std::wstring All() const {
        std::wstring all;
        for (const std::wstring& line : lines_) all += line + L"\n";
        return all;
    }

private:
    static int Receive(uint32_t, const wchar_t* text, void* context) {
        static_cast<LogCapture*>(context)->lines_.push_back(text);
        return 0;
    }
    std::vector<std::wstring> lines_;
};

inline std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

}  // namespace TestSupport
