#include "log/CorrelationId.h"

#include <atomic>
#include <memory>

namespace {
std::atomic<long> liveStorages{0};
thread_local std::unique_ptr<CCorrelationIdStorage> threadStorage;
}  // namespace

CCorrelationIdStorage::CCorrelationIdStorage() { ++liveStorages; }
CCorrelationIdStorage::~CCorrelationIdStorage() { --liveStorages; }

long CCorrelationIdStorage::GetLiveCount() { return liveStorages.load(); }

CCorrelationId& GetThreadCorrelationId() {
    if (!threadStorage) threadStorage = std::make_unique<CCorrelationIdStorage>();
    return *threadStorage;
}
