#include "PosTextLog.h"

#include "PosHistory.h"

#include <algorithm>
#include <iterator>

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

void PosTextLog::setHistories(std::map<std::int64_t, std::shared_ptr<const PosHistory>> histories)
{
    std::lock_guard<std::mutex> lock(mutex_);
    histories_ = std::move(histories);
}

PosAnswer PosTextLog::answer(std::int64_t streamId, std::int64_t fromMs, std::int64_t toMs,
                             std::int64_t nowMs, std::size_t maxTexts) const
{
    std::shared_ptr<const PosHistory> history;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (auto it = histories_.find(streamId); it != histories_.end())
            history = it->second;
    }
    PosAnswer answer;
    if (fromMs > toMs)
        return answer;
    // One more than asked tells whether the range holds more; made outside the lock.
    std::vector<PosText> past;
    std::vector<PosText> recorded;
    if (history) {
        past = history->between(fromMs, toMs, nowMs, maxTexts + 1);
        recorded = between(streamId, std::max(fromMs, history->startMs()), toMs);
    } else {
        recorded = between(streamId, fromMs, toMs);
    }
    std::vector<PosText> &all = answer.texts;
    all.reserve(std::min(past.size() + recorded.size(), maxTexts + 1));
    std::merge(std::make_move_iterator(past.begin()), std::make_move_iterator(past.end()),
               std::make_move_iterator(recorded.begin()), std::make_move_iterator(recorded.end()),
               std::back_inserter(all),
               [](const PosText &a, const PosText &b) { return a.timeMs < b.timeMs; });
    if (all.size() > maxTexts) {
        answer.cut = true;
        answer.next = all[maxTexts].timeMs;
        all.resize(maxTexts);
    }
    return answer;
}

} // namespace ardix::sim
