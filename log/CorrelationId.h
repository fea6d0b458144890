#pragma once
// A per-thread correlation id that, when set, appears in the line prefix.
#include <cstdint>

class CCorrelationId {
public:
    virtual uint32_t GetId() const = 0;
    virtual void SetId(uint32_t id) = 0;  // 0 is ignored
    virtual void ClearId() = 0;
    virtual bool HasId() const = 0;
    virtual ~CCorrelationId() = default;
};

class CCorrelationIdStorage : public CCorrelationId {
public:
    CCorrelationIdStorage();
    ~CCorrelationIdStorage() override;

    uint32_t GetId() const override { return id_; }
    void SetId(uint32_t id) override {
        if (id != 0) id_ = id;
    }
    void ClearId() override { id_ = 0; }
    bool HasId() const override { return id_ != 0; }

    // Storages alive in the process; lets a host check that ended threads
    // released theirs.
    static long GetLiveCount();

private:
    uint32_t id_ = 0;
};

// The calling thread's storage, created on first use and destroyed when the
// thread ends.
CCorrelationId& GetThreadCorrelationId();
