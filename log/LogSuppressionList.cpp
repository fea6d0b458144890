#include "log/LogSuppressionList.h"

#include <algorithm>

std::wstring CLogSuppressionList::MakeKey(const std::wstring& line, size_t messageStart) {
    const size_t bracket = line.find(L']');
    if (bracket == std::wstring::npos || bracket > messageStart) return {};
    std::wstring key = line.substr(0, bracket + 1);
    if (messageStart < line.size()) key.append(line, messageStart, std::wstring::npos);
    return key;
}

CLogSuppressionList::Result CLogSuppressionList::Consult(const std::wstring& line,
                                                         size_t messageStart, uint32_t now) {
    std::wstring key = MakeKey(line, messageStart);
    if (key.empty()) return LogNormally;

    auto found = std::find_if(entries_.begin(), entries_.end(),
                              [&](const Entry& entry) { return entry.key == key; });
    if (found == entries_.end()) {
        entries_.push_back(Entry{std::move(key), 0, now});
        Prune(now);
        return LogNormally;
    }
    // Times are compared in 64 bits so that a window never wraps around.
    if (now < uint64_t{found->windowStart} + WindowSeconds) {
        ++found->repeats;
        return found->repeats == 1 ? LogWithNotice : Drop;
    }
    found->windowStart = now;
    found->repeats = 0;
    Prune(now);
    return LogNormally;
}

void CLogSuppressionList::Prune(uint32_t now) {
    entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                  [&](const Entry& entry) {
                                      return uint64_t{entry.windowStart} + WindowSeconds < now;
                                  }),
                   entries_.end());
    if (entries_.size() > MaxEntries) {
        auto oldest = std::min_element(entries_.begin(), entries_.end(),
                                       [](const Entry& a, const Entry& b) {
                                           return a.windowStart < b.windowStart;
                                       });
        entries_.erase(oldest);
    }
}
