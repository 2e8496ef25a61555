#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace ardix::sim {

struct PosText
{
    std::int64_t timeMs; // ms since the epoch
    std::string text;
};

class PosHistory;

// What "pos-data" answers for a stream and a range: its texts, oldest first, and whether the
// range held more (then `next` is the time of the first text left out).
struct PosAnswer
{
    std::vector<PosText> texts;
    bool cut = false;
    std::int64_t next = 0;
};

// Thread-safe record of the channel texts the simulator published, per stream id, and of each
// stream's history (what it said before the publisher started, or all of a generator's
// receipts).
class PosTextLog
{
public:
    explicit PosTextLog(std::size_t maxPerStream = 10000); // oldest dropped beyond this
    void record(std::int64_t streamId, std::int64_t timeMs, std::string text);
    // Texts of one stream with from <= timeMs <= to, oldest first.
    std::vector<PosText> between(std::int64_t streamId, std::int64_t fromMs,
                                 std::int64_t toMs) const;

    // Replaces every stream's history (the publisher's start).
    void setHistories(std::map<std::int64_t, std::shared_ptr<const PosHistory>> histories);
    // A stream's history and record together for from <= time <= to, none after nowMs, oldest
    // first, at most maxTexts of them (the oldest). The record answers from the
    // history's start on, so what was published before a reload is not answered twice.
    PosAnswer answer(std::int64_t streamId, std::int64_t fromMs, std::int64_t toMs,
                     std::int64_t nowMs, std::size_t maxTexts) const;

private:
    std::size_t maxPerStream_;
    mutable std::mutex mutex_;
    std::map<std::int64_t, std::deque<PosText>> texts_;
    std::map<std::int64_t, std::shared_ptr<const PosHistory>> histories_;
};

} // namespace ardix::sim
