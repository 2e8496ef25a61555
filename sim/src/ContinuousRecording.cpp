#include "ContinuousRecording.h"

#include <algorithm>

namespace ardix::sim {

ContinuousRecording::ContinuousRecording(std::int64_t streamId, std::int64_t fromMs,
                                         std::int64_t stepMs, std::int64_t bytesPerSecond,
                                         RecordingProfile profile, std::int64_t loadedAtMs)
    : streamId_(streamId)
    , fromMs_(fromMs)
    , stepMs_(std::max<std::int64_t>(stepMs, 1000))
    , bytesPerSecond_(bytesPerSecond)
    , profile_(profile)
    , offsetMs_(loadedAtMs - nowMs())
{}

std::int64_t ContinuousRecording::now() const
{
    return nowMs() + offsetMs_;
}

std::vector<zarn::StreamChunk> ContinuousRecording::chunks(std::int64_t now) const
{
    std::vector<std::pair<std::int64_t, std::int64_t>> stopped;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto &s : stops_)
            stopped.emplace_back(s.first, s.second.value_or(now));
    }
    std::vector<zarn::StreamChunk> out;
    for (std::int64_t window = fromMs_; window < now; window += stepMs_) {
        // The window up to the present, less the times recording was stopped.
        std::vector<std::pair<std::int64_t, std::int64_t>> pieces{
            {window, std::min(window + stepMs_, now)}};
        for (const auto &[stop, resume] : stopped) {
            std::vector<std::pair<std::int64_t, std::int64_t>> kept;
            for (const auto &[a, b] : pieces) {
                if (resume <= a || stop >= b) {
                    kept.emplace_back(a, b);
                    continue;
                }
                if (a < stop)
                    kept.emplace_back(a, stop);
                if (resume < b)
                    kept.emplace_back(resume, b);
            }
            pieces = std::move(kept);
        }
        for (const auto &[a, b] : pieces) {
            if (b > a)
                out.push_back({a / 1000, streamId_, a, b, bytesPerSecond_ * (b - a) / 1000});
        }
    }
    return out;
}

std::optional<zarn::StreamChunk> ContinuousRecording::chunkFrom(std::int64_t start,
                                                                std::int64_t now, bool &open) const
{
    for (const auto &c : chunks(now)) {
        if (c.start == start) {
            open = c.end == now;
            return c;
        }
    }
    return std::nullopt;
}

bool ContinuousRecording::setRecording(bool on, std::int64_t now)
{
    // A chunk begins on a whole second: a recording's name says its start to the second.
    const std::int64_t at = on ? (now + 999) / 1000 * 1000 : now;
    std::lock_guard<std::mutex> lock(mutex_);
    const bool stopped = !stops_.empty() && !stops_.back().second;
    if (on != stopped)
        return false;
    if (on)
        stops_.back().second = std::max(at, stops_.back().first);
    else
        stops_.emplace_back(at, std::nullopt);
    return true;
}

bool ContinuousRecording::recording() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return stops_.empty() || stops_.back().second.has_value();
}

} // namespace ardix::sim
