// Package choice, download folder and installer request, without network or shell.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "dialog/Download.h"
#include "dialog/InstallerLaunch.h"

namespace {

const std::wstring kBase = std::wstring(L"https://") + kDownloadHost + L"/vtc/v20/";

TEST(ChoosePackageUrl, PicksTheRowForKindAndMachine) {
    struct Row {
        PackageKind kind;
        bool arm64, wow64;
        const wchar_t* file;
    } rows[] = {
        {PackageKind::Full, false, false, L"VTCClient.msi"},
        {PackageKind::Full, false, true, L"VTCClient-x64.msi"},
        {PackageKind::Full, true, false, L"VTCClient-ARM64.msi"},
        // An x86 process on ARM64 Windows sees both flags: ARM64 wins.
        {PackageKind::Full, true, true, L"VTCClient-ARM64.msi"},
        {PackageKind::Basic, false, false, L"VTCClient_Basic.exe"},
        {PackageKind::Basic, false, true, L"VTCClient_Basic-x64.exe"},
        {PackageKind::Basic, true, true, L"VTCClient_Basic-ARM64.exe"},
        // Any kind other than Full gets the executable installer.
        {PackageKind::None, false, true, L"VTCClient_Basic-x64.exe"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(kBase + row.file, ChoosePackageUrl(row.kind, row.arm64, row.wow64)) << row.file;
}

TEST(MakeLocalPackagePath, TakesTheNameAfterTheLastSlash) {
    EXPECT_EQ(L"C:\\dl\\VTCClient.msi", MakeLocalPackagePath(L"C:\\dl", kBase + L"VTCClient.msi"));
    EXPECT_EQ(L"\\VTCClient.msi", MakeLocalPackagePath(L"", kBase + L"VTCClient.msi"));
    EXPECT_EQ(L"C:\\dl\\noslash", MakeLocalPackagePath(L"C:\\dl", L"noslash"));
}

struct FakeFolders {
    bool hasDownloads = true;
    bool hasDocuments = true;
    bool canCreate = true;
    std::vector<std::wstring> created;

    DownloadFolderQueries Queries() {
        DownloadFolderQueries queries;
        queries.downloadsFolder = [this](std::wstring& path) {
            if (hasDownloads) path = L"C:\\users\\u\\Downloads";
            return hasDownloads;
        };
        queries.documentsFolder = [this](std::wstring& path) {
            if (hasDocuments) path = L"C:/users/u/Documents";
            return hasDocuments;
        };
        queries.createFolder = [this](const std::wstring& path) {
            created.push_back(path);
            return canCreate;
        };
        return queries;
    }
};

TEST(GetDownloadFolder, UsesTheKnownFolderFirst) {
    FakeFolders folders;
    EXPECT_EQ(L"C:\\users\\u\\Downloads", GetDownloadFolder(folders.Queries()));
    EXPECT_TRUE(folders.created.empty());
}

TEST(GetDownloadFolder, FallsBackToDocumentsDownloadsAndCreatesIt) {
    FakeFolders folders;
    folders.hasDownloads = false;
    EXPECT_EQ(L"C:/users/u/Documents\\downloads", GetDownloadFolder(folders.Queries()));
    ASSERT_EQ(1u, folders.created.size());
    EXPECT_EQ(L"C:\\users\\u\\Documents\\downloads", folders.created[0]);

    folders.canCreate = false;
    EXPECT_EQ(L"", GetDownloadFolder(folders.Queries()));
    folders.hasDocuments = false;
    EXPECT_EQ(L"", GetDownloadFolder(folders.Queries()));
}

TEST(GetDownloadFolder, FallBackCreatesARealFolder) {
    wchar_t temp[MAX_PATH];
    ASSERT_NE(0u, GetTempPathW(MAX_PATH, temp));
    const std::wstring documents = std::wstring(temp) + L"tarnwick download test " +
                                   std::to_wstring(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryW(documents.c_str(), nullptr));
    DownloadFolderQueries queries = SystemDownloadFolderQueries();
    queries.downloadsFolder = [](std::wstring&) { return false; };
    queries.documentsFolder = [&](std::wstring& path) { path = documents; return true; };

    const std::wstring folder = GetDownloadFolder(queries);
    EXPECT_EQ(documents + L"\\downloads", folder);
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
    // A second run finds the folder there and still succeeds.
    EXPECT_EQ(folder, GetDownloadFolder(queries));
    RemoveDirectoryW(folder.c_str());
    RemoveDirectoryW(documents.c_str());
}

TEST(ProgressPacer, SendsTheFirstPositionThenAtMostOneEachInterval) {
    ProgressPacer pacer;
    EXPECT_TRUE(pacer.IsDue(1000));
    EXPECT_FALSE(pacer.IsDue(1000));
    EXPECT_FALSE(pacer.IsDue(1000 + ProgressPacer::kIntervalMs - 1));
    EXPECT_TRUE(pacer.IsDue(1000 + ProgressPacer::kIntervalMs));
    EXPECT_FALSE(pacer.IsDue(1000 + ProgressPacer::kIntervalMs + 1));
    EXPECT_TRUE(pacer.IsDue(5000)) << "a stalled download sends its next position at once";
    ProgressPacer atZero;
    EXPECT_TRUE(atZero.IsDue(0)) << "the first position goes out even at tick 0";
}

TEST(BuildInstallerRequest, OpensPackagesAndRunsMsiexecForArguments) {
    DownloaderOptions options;
    const std::wstring path = L"C:\\My Downloads\\VTCClient-x64.msi";

    InstallerRequest open = BuildInstallerRequest(PackageKind::Full, options, path);
    EXPECT_EQ(L"open", open.verb);
    EXPECT_EQ(path, open.file);
    EXPECT_EQ(L"", open.parameters);
    EXPECT_EQ(0u, open.mask);

    options.msiArgs = L"/qn REBOOT=ReallySuppress";
    InstallerRequest runas = BuildInstallerRequest(PackageKind::Full, options, path);
    EXPECT_EQ(L"runas", runas.verb);
    EXPECT_EQ(L"msiexec.exe", runas.file);
    EXPECT_EQ(L"/i \"C:\\My Downloads\\VTCClient-x64.msi\" /qn REBOOT=ReallySuppress", runas.parameters);

    // The Basic installer never gets the Windows Installer's arguments.
    InstallerRequest basic = BuildInstallerRequest(PackageKind::Basic, options, L"C:\\d\\b.exe");
    EXPECT_EQ(L"open", basic.verb);
    EXPECT_EQ(L"C:\\d\\b.exe", basic.file);
    EXPECT_EQ(L"", basic.parameters);
}

TEST(BuildInstallerRequest, UnattendedRunsSuppressShellDialogsOnly) {
    DownloaderOptions options;
    options.passive = 1;
    EXPECT_EQ(static_cast<ULONG>(SEE_MASK_FLAG_NO_UI), BuildInstallerRequest(PackageKind::Full, options, L"p").mask);
    options.passive = 0;
    options.silent = 1;
    InstallerRequest request = BuildInstallerRequest(PackageKind::Full, options, L"p");
    EXPECT_EQ(static_cast<ULONG>(SEE_MASK_FLAG_NO_UI), request.mask);
    // No installer switch of the program's own.
    EXPECT_EQ(L"", request.parameters);
}

}  // namespace
