// Test helper: maps a logger's shared block from another process, waits for its
// event and writes what it found to a file as UTF-16: "flags code text".
//   log_shared_block_reader <mapping name> <event name> <ready event name> <result path>
#include "log/Logger.h"
#include "platform/UniqueResource.h"

#include <windows.h>
#include <cstdio>
#include <string>

using namespace PlatformHelpers;

int wmain(int argc, wchar_t** argv) {
    if (argc != 5) return 2;
    UniqueHandle mapping(OpenFileMappingW(FILE_MAP_READ, FALSE, argv[1]));
    UniqueHandle event(OpenEventW(SYNCHRONIZE, FALSE, argv[2]));
    UniqueHandle ready(OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[3]));
    if (!mapping || !event || !ready) return 3;
    UniqueMappedView view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, sizeof(LogSharedBlock)));
    if (!view) return 4;
    const auto* block = static_cast<const LogSharedBlock*>(view.get());
    SetEvent(ready.get());
    if (WaitForSingleObject(event.get(), 20000) != WAIT_OBJECT_0) return 5;

    wchar_t header[40];
    _snwprintf(header, 40, L"%08x %08x ", block->flags, block->code);
    const std::wstring result = header + std::wstring(block->text, wcsnlen(block->text, 512));
    UniqueFile file(CreateFileW(argv[4], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!file) return 6;
    DWORD written = 0;
    WriteFile(file.get(), result.data(), static_cast<DWORD>(result.size() * sizeof(wchar_t)), &written, nullptr);
    return 0;
}
