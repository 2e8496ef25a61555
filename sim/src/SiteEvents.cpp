#include "SiteEvents.h"

#include <algorithm>

namespace ardix::sim {

namespace {

// A flood never waits less between two batches: events due meanwhile go out together.
constexpr std::int64_t kBatchMs = 10;

} // namespace

SiteEvents::SiteEvents(SiteState &state, Pusher &pusher,
                       std::function<void(const std::string &)> log)
    : state_(state)
    , pusher_(pusher)
    , log_(std::move(log))
{}

void SiteEvents::start(const std::vector<ScheduledEvent> &schedule)
{
    ++generation_;
    for (const auto &entry : schedule)
        arm(entry, generation_, entry.firstAfterSeconds * 1000);
}

void SiteEvents::arm(const ScheduledEvent &entry, std::uint64_t generation, int delayMs)
{
    pusher_.after(delayMs, [this, entry, generation] {
        if (generation != generation_)
            return;
        const auto id = state_.raiseEvent(entry.source, entry.className, entry.fields);
        log_("scheduled event \"" + clipText(entry.className) + "\" from " +
             std::to_string(entry.source) + " id " + std::to_string(id));
        arm(entry, generation, entry.everySeconds * 1000);
    });
}

bool SiteEvents::flood(std::int64_t source, const std::string &className, int perSecond,
                       int seconds)
{
    if (!state_.hasObject(source))
        return false;
    auto f = std::make_shared<Flood>();
    f->source = source;
    f->className = className;
    f->perSecond = perSecond;
    f->total = static_cast<std::int64_t>(perSecond) * seconds;
    f->start = std::chrono::steady_clock::now();
    floodStep(f);
    return true;
}

void SiteEvents::floodStep(const std::shared_ptr<Flood> &f)
{
    using namespace std::chrono;
    // Due counts from the start, not from the last batch, so late timers do not slow the rate.
    const std::int64_t elapsed =
        duration_cast<milliseconds>(steady_clock::now() - f->start).count();
    const std::int64_t due = std::min(f->total, f->perSecond * elapsed / 1000);
    for (; f->sent < due; ++f->sent)
        state_.raiseEvent(f->source, f->className,
                          SiteState::textFields(f->className + " " + std::to_string(f->sent + 1)));
    if (f->sent == f->total) {
        log_("flood of " + std::to_string(f->total) + " \"" + clipText(f->className) +
             "\" events from " + std::to_string(f->source) + " done in " + std::to_string(elapsed) +
             " ms");
        return;
    }
    const std::int64_t nextDue = ((f->sent + 1) * 1000 + f->perSecond - 1) / f->perSecond;
    const auto wait = std::max(kBatchMs, nextDue - elapsed);
    pusher_.after(static_cast<int>(wait), [this, f] { floodStep(f); });
}

} // namespace ardix::sim
