#pragma once

#include "SiteState.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ardix::sim {

// The events a site raises by itself: the schedule of its site file, and floods asked for on
// the control port. Runs on the event server's loop, timed with Pusher::after; not thread-safe.
class SiteEvents
{
public:
    SiteEvents(SiteState &state, Pusher &pusher, std::function<void(const std::string &)> log);

    // Follows a schedule from now on, in place of the one before (a reloaded site file).
    void start(const std::vector<ScheduledEvent> &schedule);
    // Raises perSecond events a second for `seconds`, texts "CLASS 1", "CLASS 2", ...;
    // false (nothing raised) for an unknown source.
    bool flood(std::int64_t source, const std::string &className, int perSecond, int seconds);

private:
    struct Flood
    {
        std::int64_t source = 0;
        std::string className;
        std::int64_t perSecond = 0;
        std::int64_t total = 0;
        std::int64_t sent = 0;
        std::chrono::steady_clock::time_point start;
    };

    void arm(const ScheduledEvent &entry, std::uint64_t generation, int delayMs);
    void floodStep(const std::shared_ptr<Flood> &flood);

    SiteState &state_;
    Pusher &pusher_;
    std::function<void(const std::string &)> log_;
    // Timers of an earlier schedule cannot be taken back; they see a newer generation and stop.
    std::uint64_t generation_ = 0;
};

} // namespace ardix::sim
