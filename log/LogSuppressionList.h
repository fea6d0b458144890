#pragma once
// Holds back repeats of the same line for 30 minutes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CLogSuppressionList {
public:
    enum Result {
        LogNormally = 0,
        LogWithNotice = 1,  // first repeat in the window
        Drop = 2,           // later repeats in the window
    };

    static constexpr uint32_t WindowSeconds = 1800;
    static constexpr size_t MaxEntries = 100;

    // `line` is the whole line, `messageStart` where the caller's message begins
    // in it, `now` the current time in seconds. The key is the line without its
    // time stamp.
    Result Consult(const std::wstring& line, size_t messageStart, uint32_t now);
    size_t GetEntryCount() const { return entries_.size(); }

private:
    struct Entry {
        std::wstring key;
        uint32_t repeats;
        uint32_t windowStart;
    };

    static std::wstring MakeKey(const std::wstring& line, size_t messageStart);
    void Prune(uint32_t now);

    std::vector<Entry> entries_;
};
