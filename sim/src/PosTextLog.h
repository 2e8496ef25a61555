#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace ardix::sim {

struct PosText
{
    std::int64_t timeMs; // ms since the epoch
    std::string text;
};

// Thread-safe record of the channel texts the simulator published, per stream id.
class PosTextLog
{
public:
    explicit PosTextLog(std::size_t maxPerStream = 10000); // oldest dropped beyond this
    void record(std::int64_t streamId, std::int64_t timeMs, std::string text);
    // Texts of one stream with from <= timeMs <= to, oldest first.
    std::vector<PosText> between(std::int64_t streamId, std::int64_t fromMs,
                                 std::int64_t toMs) const;

private:
    std::size_t maxPerStream_;
    mutable std::mutex mutex_;
    std::map<std::int64_t, std::deque<PosText>> texts_;
};

} // namespace ardix::sim
