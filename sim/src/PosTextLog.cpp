#include "PosTextLog.h"

#include <algorithm>

namespace ardix::sim {

PosTextLog::PosTextLog(std::size_t maxPerStream)
    : maxPerStream_(maxPerStream)
{}

void PosTextLog::record(std::int64_t streamId, std::int64_t timeMs, std::string text)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (maxPerStream_ == 0)
        return;
    auto &texts = texts_[streamId];
    // Kept in time order even if a caller's clock steps back: the query relies on it.
    auto at = std::upper_bound(texts.begin(), texts.end(), timeMs,
                               [](std::int64_t t, const PosText &p) { return t < p.timeMs; });
    texts.insert(at, PosText{timeMs, std::move(text)});
    while (texts.size() > maxPerStream_)
        texts.pop_front();
}

std::vector<PosText> PosTextLog::between(std::int64_t streamId, std::int64_t fromMs,
                                         std::int64_t toMs) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<PosText> result;
    auto it = texts_.find(streamId);
    if (it == texts_.end() || fromMs > toMs)
        return result;
    const auto &texts = it->second;
    auto first = std::lower_bound(texts.begin(), texts.end(), fromMs,
                                  [](const PosText &p, std::int64_t t) { return p.timeMs < t; });
    auto last = std::upper_bound(texts.begin(), texts.end(), toMs,
                                 [](std::int64_t t, const PosText &p) { return t < p.timeMs; });
    result.assign(first, last);
    return result;
}

} // namespace ardix::sim
