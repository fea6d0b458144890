#include "log/CorrelationId.h"

#include <windows.h>
#include <atomic>
#include <new>

namespace {

std::atomic<long> liveStorages{0};

// Fiber-local storage calls its callback when any thread ends, however the thread
// was started, which C++ thread_local destructors do not promise for threads that
// the C runtime started.
void WINAPI DestroyStorage(void* storage) { delete static_cast<CCorrelationIdStorage*>(storage); }

DWORD StorageSlot() {
    static const DWORD slot = FlsAlloc(DestroyStorage);
    return slot;
}

}  // namespace

CCorrelationIdStorage::CCorrelationIdStorage() { ++liveStorages; }
CCorrelationIdStorage::~CCorrelationIdStorage() { --liveStorages; }

long CCorrelationIdStorage::GetLiveCount() { return liveStorages.load(); }

CCorrelationId& GetThreadCorrelationId() {
    const DWORD slot = StorageSlot();
    if (slot != FLS_OUT_OF_INDEXES) {
        if (auto* storage = static_cast<CCorrelationIdStorage*>(FlsGetValue(slot))) return *storage;
        if (auto* storage = new (std::nothrow) CCorrelationIdStorage()) {
            if (FlsSetValue(slot, storage)) return *storage;
            delete storage;
        }
    }
    // No slot or no memory: the thread keeps its id in plain thread-local storage.
    static thread_local CCorrelationIdStorage ownStorage;
    return ownStorage;
}
