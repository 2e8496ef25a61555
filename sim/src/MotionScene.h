#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ardix::sim {

// A rectangle in parts of the picture: 0,0 the top left corner, 1,1 the bottom right.
struct SceneRect
{
    double x = 0, y = 0, w = 0, h = 0;

    bool overlaps(const SceneRect &o) const
    {
        return x < o.x + o.w && o.x < x + w && y < o.y + o.h && o.y < y + h;
    }
};

// What crosses a camera's picture: a person hurrying through (Short, 2-3 s), a person walking
// to and fro for about a minute (Long), a small figure moving in the right-hand corner only
// (Corner, 4-12 s), a car driving slowly through (Slow, 30-45 s).
enum class CrossingKind { Short, Long, Corner, Slow };

// One object crossing a picture from startMs up to endMs (ms since the epoch). It keeps its
// size and height and moves along x: straight from x0 to x1 when periodMs is 0, else to and fro
// between x0 and x1, from x0 to x1 in the first half of each period and back in the second.
struct Crossing
{
    std::int64_t startMs = 0;
    std::int64_t endMs = 0;
    CrossingKind kind = CrossingKind::Short;
    double x0 = 0, x1 = 0, y = 0, w = 0, h = 0;
    std::int64_t periodMs = 0;
    SceneRect box; // every place it is seen, inside the picture

    // Where the object is at `ms` (its left edge may lie outside the picture); nothing outside
    // [startMs, endMs).
    std::optional<SceneRect> at(std::int64_t ms) const;
    // The first moment, in steps of 40 ms, at which the object overlaps `area`; nothing when
    // it never does.
    std::optional<std::int64_t> entersAt(const SceneRect &area) const;
};

// The motion a simulated camera sees, from (seed, stream id, time) alone: any recording of the
// stream, whatever its start and length, shows the same crossings at the same wall-clock
// times, and anyone can compute them (docs/site-file.md, "Scenes"). The same crossings drive
// the picture (filter()) and the ground truth (crossings()). Thread-safe (const).
class MotionScene
{
public:
    static constexpr std::int64_t kSlotMs = 600000; // at most one crossing in each ten minutes
    static constexpr int kOpenFromHour = 7;         // local time, as the tills
    static constexpr int kOpenUntilHour = 22;
    // Lit in the first quarter of each half second, on every recording.
    static constexpr SceneRect kBlinkingLight{0.90, 0.10, 0.02, 0.035};

    // Without crossings: the blinking light alone (a stream whose site file says
    // "crossings": false).
    MotionScene(std::uint64_t seed, std::int64_t streamId, bool crossings = true);

    // The crossings seen in [fromMs, toMs): those that overlap it, oldest first.
    std::vector<Crossing> crossings(std::int64_t fromMs, std::int64_t toMs) const;
    // The crossing of one ten-minute slot (slot n starts at n * kSlotMs), if it has one.
    std::optional<Crossing> crossingOfSlot(std::int64_t slot) const;

    // The filters that draw the crossings of a recording starting at startMs and lasting
    // durationMs on a picture of width x height at `rate` frames a second: for a
    // -filter_complex whose input is "[0:v]", ending in the label "[scene]". Also draws the
    // blinking light every picture has.
    std::string filter(std::int64_t startMs, std::int64_t durationMs, int width, int height,
                       int rate) const;

    static const char *kindName(CrossingKind kind); // "short", "long", "corner", "slow"
    static bool openAt(std::int64_t ms);            // within opening hours, local time
    static std::uint64_t mix(std::uint64_t x);      // splitmix64's finaliser
    static std::uint64_t hash(std::uint64_t a, std::uint64_t b) { return mix(a ^ mix(b)); }

private:
    std::uint64_t key_;
    bool crossings_;
};

} // namespace ardix::sim
