#include "fileutil/PathUtils.h"

#include <gtest/gtest.h>

#include "tests/fileutil/TestSupport.h"

using TestSupport::Exists;
using TestSupport::IsFolder;
using TestSupport::ScratchFolder;

TEST(PathText, CombinePathJoinsWithExactlyOneBackslash) {
    EXPECT_EQ(CombinePath(L"C:\\a\\", L"\\b"), L"C:\\a\\b");
    EXPECT_EQ(CombinePath(L"C:\\a\\", L"b"), L"C:\\a\\b");
    EXPECT_EQ(CombinePath(L"C:\\a", L"\\b"), L"C:\\a\\b");
    EXPECT_EQ(CombinePath(L"C:\\a", L"b"), L"C:\\a\\b");
    EXPECT_EQ(CombinePath(L"", L"b"), L"b");
    EXPECT_EQ(CombinePath(L"C:\\a", L""), L"C:\\a");
    // Only one leading backslash of the name is dropped.
    EXPECT_EQ(CombinePath(L"C:\\a\\", L"\\\\b"), L"C:\\a\\\\b");
}

TEST(PathText, ExtensionAndFolderParts) {
    EXPECT_EQ(GetExtension(L"C:\\x.y\\file"), L"");
    EXPECT_EQ(GetExtension(L"C:/x.y/file"), L"");
    EXPECT_EQ(GetExtension(L"file.tar.gz"), L".gz");
    EXPECT_EQ(GetExtension(L"C:\\dir\\Setup.EXE"), L".EXE");
    EXPECT_EQ(GetExtension(L"noext"), L"");
    EXPECT_EQ(RemoveExtension(L"C:\\t\\Branding.zip"), L"C:\\t\\Branding");
    EXPECT_EQ(RemoveExtension(L"C:\\x.y\\file"), L"C:\\x.y\\file");
    EXPECT_EQ(GetFolderPart(L"C:\\a\\b.exe"), L"C:\\a\\");
    EXPECT_EQ(GetFolderPart(L"C:\\a/b.exe"), L"C:\\a/");
    EXPECT_EQ(GetFolderPart(L"b.exe"), L"");
    EXPECT_TRUE(IsDotEntry(L"."));
    EXPECT_TRUE(IsDotEntry(L".."));
    EXPECT_FALSE(IsDotEntry(L"..."));
    EXPECT_FALSE(IsDotEntry(L".a"));
}

namespace {
struct RootCase {
    const wchar_t* path;
    bool hasRoot;
    size_t rest;
};
}  // namespace

TEST(PathText, FindPathRootForms) {
    const RootCase cases[] = {
        {L"C:\\a\\b", true, 3},
        {L"C:a", true, 2},
        {L"c:", true, 2},
        {L"\\a\\b", true, 1},
        {L"a\\b", false, 0},
        {L"", false, 0},
        {L"\\\\server\\share\\x", true, 15},
        {L"\\\\server\\share", true, 14},
        {L"\\\\server", true, 8},
        {L"\\\\\\x", false, 0},
        {L"\\\\?\\C:\\x", true, 7},
        {L"\\\\?\\server\\share\\x", true, 17},
        {L"\\\\?\\UNC\\server\\share\\x", true, 21},
        {L"\\\\?x", false, 0},
        {L"1:\\x", false, 0},
    };
    for (const RootCase& c : cases) {
        size_t rest = 99;
        EXPECT_EQ(FindPathRoot(c.path, &rest), c.hasRoot) << TestSupport::Narrow(c.path);
        EXPECT_EQ(rest, c.rest) << TestSupport::Narrow(c.path);
    }
}

TEST(FolderPath, CreatesParentsOnlyOrTheWholePath) {
    ScratchFolder scratch(L"mkpath");
    std::wstring c = scratch / L"a\\b\\c";
    ASSERT_TRUE(CreateFolderPath(c, true));
    EXPECT_TRUE(IsFolder(scratch / L"a\\b"));
    EXPECT_FALSE(Exists(c));

    ASSERT_TRUE(CreateFolderPath(c, false));
    EXPECT_TRUE(IsFolder(c));
    EXPECT_TRUE(CreateFolderPath(c, false)) << "existing folders count as created";

    std::wstring trailing = scratch / L"d\\e\\";
    EXPECT_TRUE(CreateFolderPath(trailing, true));
    EXPECT_TRUE(IsFolder(scratch / L"d\\e"));

    std::wstring longForm = L"\\\\?\\" + (scratch / L"f\\g");
    EXPECT_TRUE(CreateFolderPath(longForm, false));
    EXPECT_TRUE(IsFolder(scratch / L"f\\g"));
}

TEST(FolderPath, FailsWhenAComponentIsAFile) {
    ScratchFolder scratch(L"mkpath-file");
    ASSERT_TRUE(TestSupport::WriteBytes(scratch / L"blocker", "x"));
    EXPECT_FALSE(CreateFolderPath(scratch / L"blocker\\sub\\leaf", false));
    EXPECT_FALSE(CreateFolderPath(scratch / L"blocker", false));
}

class CopyTree : public ::testing::Test {
protected:
    void SetUp() override {
        source_ = scratch_ / L"src";
        ASSERT_TRUE(CreateFolderPath(source_ + L"\\sub\\deeper", false));
        ASSERT_TRUE(TestSupport::WriteBytes(source_ + L"\\Brand.ini", "[brand]"));
        ASSERT_TRUE(TestSupport::WriteBytes(source_ + L"\\Setup.exe", "MZ"));
        ASSERT_TRUE(TestSupport::WriteBytes(source_ + L"\\Upper.EXE", "MZ"));
        ASSERT_TRUE(TestSupport::WriteBytes(source_ + L"\\sub\\logo.png", "png"));
        ASSERT_TRUE(TestSupport::WriteBytes(source_ + L"\\sub\\tool.exe", "MZ"));
        ASSERT_TRUE(TestSupport::WriteBytes(source_ + L"\\sub\\deeper\\a.txt", "deep"));
    }
    ScratchFolder scratch_{L"copytree"};
    std::wstring source_;
};

TEST_F(CopyTree, CopiesEverythingButExcludedExtensions) {
    std::wstring destination = scratch_ / L"dst";
    ASSERT_TRUE(CopyFolderTree(source_, destination, {L".exe"}));
    std::vector<std::wstring> expected = {L"Brand.ini", L"Upper.EXE", L"sub\\", L"sub\\deeper\\",
                                          L"sub\\deeper\\a.txt", L"sub\\logo.png"};
    EXPECT_EQ(TestSupport::ListTree(destination), expected);
    EXPECT_EQ(TestSupport::ReadBytes(destination + L"\\sub\\deeper\\a.txt"), "deep");
}

TEST_F(CopyTree, RefusesAnExistingDestinationOrMissingSource) {
    std::wstring destination = scratch_ / L"dst";
    ASSERT_TRUE(CreateDirectoryW(destination.c_str(), nullptr));
    EXPECT_FALSE(CopyFolderTree(source_, destination, {}));
    EXPECT_TRUE(TestSupport::ListTree(destination).empty());

    EXPECT_FALSE(CopyFolderTree(scratch_ / L"missing", scratch_ / L"dst2", {}));
    EXPECT_FALSE(Exists(scratch_ / L"dst2"));
    EXPECT_TRUE(CopyFolderTree(L"", destination, {}));
}
