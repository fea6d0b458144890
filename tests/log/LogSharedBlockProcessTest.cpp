// The shared block as a monitoring process sees it.
#include "log/Logger.h"
#include "platform/UniqueResource.h"
#include "tests/log/LogTestSupport.h"

#include <gtest/gtest.h>

using namespace LogTest;
using namespace PlatformHelpers;

namespace {

std::wstring HelperPath() {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    return path.substr(0, path.rfind(L'\\') + 1) + L"log_shared_block_reader.exe";
}

TEST(LogSharedBlock, AnotherProcessReadsTextFlagsAndCode) {
    const std::wstring suffix = std::to_wstring(GetCurrentProcessId());
    const std::wstring mappingName = L"LogTestBlock" + suffix;
    const std::wstring eventName = L"LogTestBlockEvent" + suffix;
    const std::wstring readyName = L"LogTestBlockReady" + suffix;
    TempFolder folder;
    const std::wstring result = folder.File(L"seen.txt");

    UniqueHandle mapping(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                            sizeof(LogSharedBlock), mappingName.c_str()));
    UniqueHandle event(CreateEventW(nullptr, FALSE, FALSE, eventName.c_str()));
    UniqueHandle ready(CreateEventW(nullptr, TRUE, FALSE, readyName.c_str()));
    ASSERT_TRUE(mapping && event && ready);
    UniqueMappedView view(MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, sizeof(LogSharedBlock)));
    ASSERT_TRUE(view);

    std::wstring command = L"\"" + HelperPath() + L"\" " + mappingName + L" " + eventName + L" " +
                           readyName + L" \"" + result + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    ASSERT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &info))
        << GetLastError();
    UniqueHandle process(info.hProcess), thread(info.hThread);
    ASSERT_EQ(WaitForSingleObject(ready.get(), 20000), static_cast<DWORD>(WAIT_OBJECT_0));

    CLogger logger;
    logger.SetEventName(eventName);
    logger.SetSharedBlock(static_cast<LogSharedBlock*>(view.get()));
    LogMessageTo(&logger, LogLevelError | LogFlagSuppressRepeats, 0x89, 0x123, L"Cannot open %s\n", L"a.zip");

    ASSERT_EQ(WaitForSingleObject(process.get(), 20000), static_cast<DWORD>(WAIT_OBJECT_0));
    DWORD exitCode = 99;
    GetExitCodeProcess(process.get(), &exitCode);
    ASSERT_EQ(exitCode, 0u);
    EXPECT_EQ(ReadText(result), L"80000001 00000123 Cannot open a.zip\n");
}

}  // namespace
