#include "fileutil/Delete.h"

#include <gtest/gtest.h>

#include "tests/fileutil/TestSupport.h"

using TestSupport::Exists;
using TestSupport::LogCapture;
using TestSupport::ScratchFolder;
using TestSupport::WriteBytes;

TEST(FileDeletion, RemovesAFileAndTreatsMissingOnesAsGone) {
    ScratchFolder scratch(L"del-file");
    std::wstring file = scratch / L"a.txt";
    ASSERT_TRUE(WriteBytes(file, "data"));
    LogCapture log;
    EXPECT_TRUE(DeleteFileRobust(file));
    EXPECT_FALSE(Exists(file));
    EXPECT_TRUE(DeleteFileRobust(scratch / L"missing.txt"));
    EXPECT_TRUE(DeleteFileRobust(scratch / L"missing-folder\\missing.txt"));
    EXPECT_TRUE(log.lines().empty()) << TestSupport::Narrow(log.All());
}

TEST(FileDeletion, FileHeldOpenWithoutDeleteSharingLogsTheSharingViolation) {
    ScratchFolder scratch(L"del-locked");
    std::wstring file = scratch / L"locked.bin";
    ASSERT_TRUE(WriteBytes(file, "locked"));
    HANDLE holder = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);

    LogCapture log;
    bool result = DeleteFileRobust(file);
    CloseHandle(holder);

    ASSERT_FALSE(log.lines().empty());
    const std::wstring& first = log.lines().front();
    EXPECT_EQ(first.find(L"[E 00/00000069] Failed to delete file \"" + file + L"\""), 0u)
        << TestSupport::Narrow(first);
    std::wstring sharing = GetSystemErrorText(ERROR_SHARING_VIOLATION);
    ASSERT_FALSE(sharing.empty());
    EXPECT_NE(first.find(sharing + L" [0x00000020])"), std::wstring::npos) << TestSupport::Narrow(first);
    // Neither moving nor marking can succeed while the handle lacks delete sharing.
    EXPECT_TRUE(log.Contains(L"Failed to move file \"" + file + L"\" to temp \""));
    EXPECT_TRUE(log.Contains(L"Failed to mark file for deletion \"" + file + L"\" on close"));
    // Only the restart registration decides the result.
    EXPECT_EQ(result, !log.Contains(L"on reboot"));
    DeleteFileW(file.c_str());
}

TEST(DeleteFolder, RemovesEmptyFolderAndReportsAMissingParentThroughEveryStep) {
    ScratchFolder scratch(L"del-folder");
    std::wstring folder = scratch / L"empty";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    EXPECT_TRUE(DeleteFolderRobust(folder));
    EXPECT_FALSE(Exists(folder));

    LogCapture log;
    std::wstring orphan = scratch / L"no-parent\\child";
    bool result = DeleteFolderRobust(orphan);
    EXPECT_TRUE(log.Contains(L"Failed to delete folder \"" + orphan + L"\""));
    EXPECT_TRUE(log.Contains(L"Failed to move folder \"" + orphan + L"\" to temp \""));
    // Creating with delete-on-close makes a file where the parent exists; not here.
    EXPECT_TRUE(log.Contains(L"Failed to mark folder for deletion \"" + orphan + L"\" on close"));
    EXPECT_EQ(result, !log.Contains(L"Failed to mark folder \"" + orphan + L"\" for deletion on reboot"));
    EXPECT_GE(log.lines().size(), 3u);
}

TEST(DeleteTree, RemovesNestedTreeWithReadOnlyFiles) {
    ScratchFolder scratch(L"del-tree");
    std::wstring root = scratch / L"tree";
    ASSERT_TRUE(CreateFolderPath(root + L"\\a\\b\\c", false));
    ASSERT_TRUE(WriteBytes(root + L"\\top.txt", "1"));
    ASSERT_TRUE(WriteBytes(root + L"\\a\\b\\ro.txt", "2"));
    ASSERT_TRUE(SetFileAttributesW((root + L"\\a\\b\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(CreateDirectoryW((root + L"\\empty").c_str(), nullptr));

    LogCapture log;
    EXPECT_TRUE(DeleteFolderTree(root));
    EXPECT_FALSE(Exists(root));
    EXPECT_TRUE(log.lines().empty()) << TestSupport::Narrow(log.All());
    EXPECT_TRUE(DeleteFolderTree(L""));
    EXPECT_FALSE(DeleteFolderTree(scratch / L"never-there"));
}

TEST(DeleteTree, StopsAtASubfolderThatCannotBeListed) {
    ScratchFolder scratch(L"del-unlistable");
    std::wstring root = scratch / L"tree";
    ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
    // A trailing dot is dropped from ordinary paths, so "hidden." can only be reached
    // in long form: listing it through the ordinary path fails.
    std::wstring hidden = L"\\\\?\\" + root + L"\\hidden.";
    ASSERT_TRUE(CreateDirectoryW(hidden.c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(hidden + L"\\kept.txt", "kept"));

    EXPECT_FALSE(DeleteFolderTree(root));
    EXPECT_TRUE(Exists(root));
    EXPECT_TRUE(Exists(hidden + L"\\kept.txt"));

    DeleteFileW((hidden + L"\\kept.txt").c_str());
    RemoveDirectoryW(hidden.c_str());
}
