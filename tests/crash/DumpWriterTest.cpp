#include "debug/CrashDump.h"

#include <gtest/gtest.h>
#include <process.h>

#include <string>
#include <vector>

#include "platform/UniqueResource.h"
#include "tests/fileutil/TestSupport.h"

using Debug::DumpCallback;
using Debug::DumpParams;
using PlatformHelpers::UniqueHandle;

namespace {

constexpr DWORD kWriterId = 0x1234;
constexpr DWORD kOtherId = 0x5678;

BOOL Ask(DumpParams& params, ULONG type, DWORD threadId, MINIDUMP_CALLBACK_OUTPUT* output) {
    MINIDUMP_CALLBACK_INPUT input{};
    input.CallbackType = type;
    if (type == IncludeThreadCallback)
        input.IncludeThread.ThreadId = threadId;
    else
        input.Thread.ThreadId = threadId;
    return DumpCallback(&params, &input, output);
}

// A thread running the writer; the exit code is its result.
struct WriterRun {
    UniqueHandle thread;
    DWORD id = 0;
};

WriterRun StartWriter(DumpParams* params) {
    unsigned id = 0;
    WriterRun run;
    run.thread.reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, Debug::DumpWriterThread, params, 0, &id)));
    run.id = id;
    return run;
}

DWORD FinishWriter(WriterRun& run) {
    WaitForSingleObject(run.thread.get(), INFINITE);
    DWORD code = 0;
    GetExitCodeThread(run.thread.get(), &code);
    return code;
}

// The ids in the dump's thread list, and the thread its exception record names.
struct DumpContents {
    bool valid = false;
    std::vector<DWORD> threads;
    DWORD exceptionThread = 0;
    DWORD exceptionCode = 0;
};

DumpContents ReadDump(const std::wstring& path) {
    DumpContents contents;
    const std::string data = TestSupport::ReadBytes(path);
    if (data.size() < sizeof(MINIDUMP_HEADER)) return contents;
    const auto* header = reinterpret_cast<const MINIDUMP_HEADER*>(data.data());
    if (data.compare(0, 4, "MDMP") != 0) return contents;
    for (ULONG32 i = 0; i < header->NumberOfStreams; ++i) {
        const auto* entry = reinterpret_cast<const MINIDUMP_DIRECTORY*>(data.data() + header->StreamDirectoryRva +
                                                                        i * sizeof(MINIDUMP_DIRECTORY));
        const char* stream = data.data() + entry->Location.Rva;
        if (entry->StreamType == ThreadListStream) {
            const auto* list = reinterpret_cast<const MINIDUMP_THREAD_LIST*>(stream);
            for (ULONG32 t = 0; t < list->NumberOfThreads; ++t) contents.threads.push_back(list->Threads[t].ThreadId);
            contents.valid = true;
        } else if (entry->StreamType == ExceptionStream) {
            const auto* exception = reinterpret_cast<const MINIDUMP_EXCEPTION_STREAM*>(stream);
            contents.exceptionThread = exception->ThreadId;
            contents.exceptionCode = exception->ExceptionRecord.ExceptionCode;
        }
    }
    return contents;
}

bool Contains(const std::vector<DWORD>& ids, DWORD id) {
    for (DWORD each : ids)
        if (each == id) return true;
    return false;
}

// Params as the filter fills them, for an access violation on this thread.
class DumpWriting : public ::testing::Test {
protected:
    void SetUp() override {
        RtlCaptureContext(&context_);
        record_.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
        record_.ExceptionAddress = reinterpret_cast<void*>(&RtlCaptureContext);
        params_.dumpFilePath = path_.c_str();
        params_.exceptionPointers = &pointers_;
        params_.crashedThreadId = GetCurrentThreadId();
        params_.processId = GetCurrentProcessId();
        params_.process = GetCurrentProcess();
    }

    TestSupport::ScratchFolder scratch_{L"dumpwriter"};
    std::wstring path_ = scratch_ / L"Crash 2026-12-07 19-05-33.dmp";
    CONTEXT context_{};
    EXCEPTION_RECORD record_{};
    EXCEPTION_POINTERS pointers_{&record_, &context_};
    DumpParams params_;
};

}  // namespace

TEST(DumpCallbackDecisions, WriterThreadLeftOutOtherThreadsAndItemsKept) {
    DumpParams params;
    params.writerThreadId = kWriterId;
    MINIDUMP_CALLBACK_OUTPUT output{};
    MINIDUMP_CALLBACK_INPUT input{};
    EXPECT_FALSE(DumpCallback(&params, nullptr, &output));
    EXPECT_FALSE(DumpCallback(&params, &input, nullptr));

    // Windows asks whether to include a thread; Wine only offers each thread.
    for (ULONG type : {IncludeThreadCallback, ThreadCallback}) {
        EXPECT_FALSE(Ask(params, type, kWriterId, &output)) << type;
        EXPECT_TRUE(Ask(params, type, kOtherId, &output)) << type;
    }
    EXPECT_TRUE(Ask(params, ModuleCallback, kWriterId, &output));
    EXPECT_TRUE(Ask(params, IncludeModuleCallback, 0, &output));
}

TEST(DumpCallbackDecisions, SnapshotHandleReportedOnlyWhenFlagged) {
    DumpParams params;
    // dbghelp reads the status from the start of the output.
    MINIDUMP_CALLBACK_OUTPUT output{};
    memset(&output, 0xAB, sizeof(output));
    EXPECT_TRUE(Ask(params, IsProcessSnapshotCallback, 0, &output));
    EXPECT_EQ(*reinterpret_cast<const uint32_t*>(&output), 0xABABABABu) << "a live process handle is left alone";

    params.processHandleIsSnapshot = true;
    EXPECT_TRUE(Ask(params, IsProcessSnapshotCallback, 0, &output));
    EXPECT_EQ(*reinterpret_cast<const HRESULT*>(&output), S_FALSE);
}

TEST_F(DumpWriting, WritesTheProcessWithoutTheWriterThread) {
    WriterRun writer = StartWriter(&params_);
    ASSERT_TRUE(writer.thread);
    EXPECT_EQ(FinishWriter(writer), 1u);
    EXPECT_TRUE(params_.dumpWritten);
    EXPECT_EQ(params_.writerThreadId, writer.id);

    DumpContents dump = ReadDump(path_);
    ASSERT_TRUE(dump.valid) << "no minidump with a thread list";
    EXPECT_TRUE(Contains(dump.threads, GetCurrentThreadId()));
    EXPECT_FALSE(Contains(dump.threads, writer.id)) << "the writer thread is in the dump";
    EXPECT_EQ(dump.exceptionThread, GetCurrentThreadId());
    EXPECT_EQ(dump.exceptionCode, static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));
}

TEST_F(DumpWriting, WritersOfOneProcessTakeTurnsOnTheNamedMutex) {
    const std::wstring name = L"MiniDumpWriterLock" + std::to_wstring(GetCurrentProcessId());
    UniqueHandle held(CreateMutexW(nullptr, TRUE, name.c_str()));
    ASSERT_TRUE(held);

    WriterRun writer = StartWriter(&params_);
    ASSERT_TRUE(writer.thread);
    EXPECT_EQ(WaitForSingleObject(writer.thread.get(), 500), static_cast<DWORD>(WAIT_TIMEOUT))
        << "the writer must wait while another one holds the lock";
    EXPECT_FALSE(params_.dumpWritten);

    ReleaseMutex(held.get());
    EXPECT_EQ(FinishWriter(writer), 1u);
    EXPECT_TRUE(params_.dumpWritten);
}

TEST_F(DumpWriting, FailuresWriteNothingAndReportZero) {
    EXPECT_EQ(Debug::DumpWriterThread(nullptr), 0xFFFFFFFFu);

    const std::wstring missing = scratch_ / L"no such folder\\Crash.dmp";
    params_.dumpFilePath = missing.c_str();
    params_.dumpWritten = true;
    WriterRun writer = StartWriter(&params_);
    EXPECT_EQ(FinishWriter(writer), 0u);
    EXPECT_FALSE(params_.dumpWritten);
}
