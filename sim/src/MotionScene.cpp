#include "MotionScene.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace ardix::sim {

namespace {

std::int64_t floorDiv(std::int64_t a, std::int64_t b)
{
    return a / b - ((a % b != 0 && (a < 0) != (b < 0)) ? 1 : 0);
}

// How each kind looks and moves: its size, the height of its top edge (plus 0-4 hundredths
// drawn per crossing), the path along x (left to right; drawn right to left half the time),
// the period of a to-and-fro path (0: straight), and how long it lasts (base plus 0-span ms).
struct KindRule
{
    CrossingKind kind;
    double w, h, y, x0, x1;
    std::int64_t periodMs, baseMs, spanMs;
};

// Indexed by CrossingKind; the order is documented.
constexpr KindRule kRules[] = {
    {CrossingKind::Short, 0.08, 0.40, 0.30, -0.07, 0.99, 0, 2000, 1000},
    {CrossingKind::Long, 0.08, 0.40, 0.30, 0.10, 0.82, 20000, 55000, 10000},
    {CrossingKind::Corner, 0.06, 0.25, 0.46, 0.74, 0.90, 4000, 4000, 8000},
    {CrossingKind::Slow, 0.30, 0.18, 0.52, -0.29, 0.99, 0, 30000, 15000},
};

std::string number(double value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.3f", value);
    return buffer;
}

int evenPixels(double part, int size)
{
    return std::max(2, static_cast<int>(std::lround(part * size / 2.0)) * 2);
}

} // namespace

std::optional<SceneRect> Crossing::at(std::int64_t ms) const
{
    if (ms < startMs || ms >= endMs)
        return std::nullopt;
    double along = 0;
    if (periodMs > 0) {
        const double phase = double((ms - startMs) % periodMs) / double(periodMs);
        along = 1.0 - std::fabs(2.0 * phase - 1.0);
    } else {
        along = double(ms - startMs) / double(endMs - startMs);
    }
    return SceneRect{x0 + (x1 - x0) * along, y, w, h};
}

std::optional<std::int64_t> Crossing::entersAt(const SceneRect &area) const
{
    for (std::int64_t ms = startMs; ms < endMs; ms += 40) {
        if (at(ms)->overlaps(area))
            return ms;
    }
    return std::nullopt;
}

MotionScene::MotionScene(std::uint64_t seed, std::int64_t streamId, bool crossings)
    : key_(hash(seed, static_cast<std::uint64_t>(streamId)))
    , crossings_(crossings)
{}

std::uint64_t MotionScene::mix(std::uint64_t x)
{
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

const char *MotionScene::kindName(CrossingKind kind)
{
    switch (kind) {
    case CrossingKind::Short:
        return "short";
    case CrossingKind::Long:
        return "long";
    case CrossingKind::Corner:
        return "corner";
    case CrossingKind::Slow:
        return "slow";
    }
    return "?";
}

bool MotionScene::openAt(std::int64_t ms)
{
    const std::time_t seconds = static_cast<std::time_t>(floorDiv(ms, 1000));
    std::tm local{};
    localtime_r(&seconds, &local);
    return local.tm_hour >= kOpenFromHour && local.tm_hour < kOpenUntilHour;
}

std::optional<Crossing> MotionScene::crossingOfSlot(std::int64_t slot) const
{
    const std::uint64_t slotHash = hash(key_, static_cast<std::uint64_t>(slot));
    const auto draw = [slotHash](std::uint64_t i) { return hash(slotHash, i); };
    const std::int64_t slotStart = slot * kSlotMs;
    if (!crossings_)
        return std::nullopt;
    // Every slot of the opening hours has a crossing, one in four of the night's.
    if (!openAt(slotStart) && draw(0) % 4 != 0)
        return std::nullopt;
    // Kinds take turns, so that any six slots in a row (an hour) hold every kind.
    const KindRule &rule = kRules[(static_cast<std::uint64_t>(slot) + key_ % 4) % 4];
    const std::int64_t duration =
        rule.baseMs + static_cast<std::int64_t>(draw(1) % std::uint64_t(rule.spanMs + 1));
    const std::uint64_t room = std::uint64_t(kSlotMs - 10000 - duration + 1);
    Crossing c;
    c.kind = rule.kind;
    c.startMs = slotStart + 5000 + static_cast<std::int64_t>(draw(2) % room);
    c.endMs = c.startMs + duration;
    const bool leftward = (draw(3) & 1) != 0;
    c.x0 = leftward ? rule.x1 : rule.x0;
    c.x1 = leftward ? rule.x0 : rule.x1;
    c.y = rule.y + double(draw(4) % 5) / 100.0;
    c.w = rule.w;
    c.h = rule.h;
    c.periodMs = rule.periodMs;
    const double left = std::max(0.0, std::min(rule.x0, rule.x1));
    const double right = std::min(1.0, std::max(rule.x0, rule.x1) + rule.w);
    c.box = SceneRect{left, c.y, right - left, c.h};
    return c;
}

std::vector<Crossing> MotionScene::crossings(std::int64_t fromMs, std::int64_t toMs) const
{
    std::vector<Crossing> found;
    if (toMs <= fromMs)
        return found;
    // A crossing stays inside its slot, so only the slots of the range can hold one.
    for (std::int64_t slot = floorDiv(fromMs, kSlotMs); slot <= floorDiv(toMs - 1, kSlotMs);
         ++slot) {
        auto c = crossingOfSlot(slot);
        if (c && c->endMs > fromMs && c->startMs < toMs)
            found.push_back(*c);
    }
    return found;
}

std::string MotionScene::filter(std::int64_t startMs, std::int64_t durationMs, int width,
                                int height, int rate) const
{
    std::string graph;
    std::string last = "0:v";
    int n = 0;
    for (const Crossing &c : crossings(startMs, startMs + durationMs)) {
        const int w = evenPixels(c.w, width), h = evenPixels(c.h, height);
        // Seconds from the recording's start, as the filters' t counts them.
        const std::string from = number(double(c.startMs - startMs) / 1000.0);
        const std::string to = number(double(c.endMs - startMs) / 1000.0);
        const std::string x0 = number(c.x0 * width), dx = number((c.x1 - c.x0) * width);
        std::string along;
        if (c.periodMs > 0) {
            const std::string period = number(double(c.periodMs) / 1000.0);
            along = "(1-abs(2*mod(t-" + from + "," + period + ")/" + period + "-1))";
        } else {
            along = "(t-" + from + ")/" + number(double(c.endMs - c.startMs) / 1000.0);
        }
        // A dark figure with a light middle: seen on every bar of the test card.
        const std::string object = "o" + std::to_string(n);
        const std::string next = "s" + std::to_string(n);
        graph += "color=c=black:s=" + std::to_string(w) + "x" + std::to_string(h) +
                 ":r=" + std::to_string(rate) + ":d=" + number(double(durationMs) / 1000.0 + 1) +
                 ",drawbox=x=iw/4:y=ih/4:w=iw/2:h=ih/2:color=white:t=fill[" + object + "];[" +
                 last + "][" + object + "]overlay=x='" + x0 + "+" + dx + "*" + along +
                 "':y=" + std::to_string(static_cast<int>(std::lround(c.y * height))) +
                 ":enable='gte(t," + from + ")*lt(t," + to + ")':eof_action=pass[" + next + "];";
        last = next;
        ++n;
    }
    // A small light that blinks twice a second: motion nobody wants to find.
    const SceneRect &light = kBlinkingLight;
    graph += "[" + last + "]drawbox=x=" + std::to_string(std::lround(light.x * width)) +
             ":y=" + std::to_string(std::lround(light.y * height)) +
             ":w=" + std::to_string(evenPixels(light.w, width)) +
             ":h=" + std::to_string(evenPixels(light.h, height)) +
             ":color=white:t=fill:enable='lt(mod(t,0.5),0.25)'[scene]";
    return graph;
}

} // namespace ardix::sim
