#include "PosTextLog.h"

#include <algorithm>

namespace ardix::sim {

PosTextLog::PosTextLog(std::size_t maxPerStream)
    : maxPerStream_(maxPerStream)
{}

void PosTextLog::record(std::int64_t streamId, std::int64_t timeMs, std::string text)
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto &texts = texts_[streamId];
    // Kept in time order, also when a text arrives with an earlier time than the last.
    const auto at = std::upper_bound(texts.begin(), texts.end(), timeMs,
                                     [](std::int64_t t, const PosText &p) { return t < p.timeMs; });
    texts.insert(at, PosText{timeMs, std::move(text)});
    while (texts.size() > maxPerStream_)
        texts.pop_front();
}

std::vector<PosText> PosTextLog::between(std::int64_t streamId, std::int64_t fromMs,
                                         std::int64_t toMs) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<PosText> found;
    auto it = texts_.find(streamId);
    if (it == texts_.end())
        return found;
    for (const auto &p : it->second) {
        if (p.timeMs >= fromMs && p.timeMs <= toMs)
            found.push_back(p);
    }
    return found;
}

} // namespace ardix::sim
