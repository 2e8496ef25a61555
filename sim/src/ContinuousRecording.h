#pragma once

#include "Site.h"

#include "zarn/StreamChunk.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace ardix::sim {

// A stream that goes on recording after the simulator started, as a real recorder does:
// back-to-back chunks of stepMs from fromMs (a chunk boundary), the one being recorded listed
// with its end at the present. Recording can be stopped and resumed (a gap): a stop closes the
// open chunk there, a resume opens one that ends on the next boundary. Times are the site's:
// the clock at load plus the time passed since, so a site loaded with a made-up "now" goes on
// from there. Thread-safe; copies of a SiteObject share one.
class ContinuousRecording
{
public:
    ContinuousRecording(std::int64_t streamId, std::int64_t fromMs, std::int64_t stepMs,
                        std::int64_t bytesPerSecond, RecordingProfile profile,
                        std::int64_t loadedAtMs);

    // The site's present, in ms since the epoch.
    std::int64_t now() const;
    // The chunks recorded from fromMs up to `now`, by start; the last one ends at `now` while
    // it is being recorded.
    std::vector<zarn::StreamChunk> chunks(std::int64_t now) const;
    // The chunk recorded from `start`, and whether it is still being recorded at `now`.
    std::optional<zarn::StreamChunk> chunkFrom(std::int64_t start, std::int64_t now,
                                               bool &open) const;
    // Stops (false) or resumes (true) recording at `now` (a resume on the next whole second);
    // false when it already was so.
    bool setRecording(bool on, std::int64_t now);
    bool recording() const;
    RecordingProfile profile() const { return profile_; }
    std::int64_t streamId() const { return streamId_; }

private:
    std::int64_t streamId_;
    std::int64_t fromMs_;
    std::int64_t stepMs_;
    std::int64_t bytesPerSecond_;
    RecordingProfile profile_;
    std::int64_t offsetMs_; // the site's clock minus the system's
    mutable std::mutex mutex_;
    // Times recording stopped, each with when it resumed (nothing: still stopped).
    std::vector<std::pair<std::int64_t, std::optional<std::int64_t>>> stops_;
};

} // namespace ardix::sim
