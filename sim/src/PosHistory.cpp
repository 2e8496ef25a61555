#include "PosHistory.h"

#include <algorithm>

namespace ardix::sim {

namespace {

std::int64_t ceilDiv(std::int64_t a, std::int64_t b)
{
    return a / b + ((a % b != 0 && (a < 0) == (b < 0)) ? 1 : 0);
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b)
{
    return a / b - ((a % b != 0 && (a < 0) != (b < 0)) ? 1 : 0);
}

} // namespace

PosHistory PosHistory::generated(std::shared_ptr<const ReceiptGenerator> generator,
                                 std::int64_t fromMs, std::int64_t startMs, bool liveToo)
{
    PosHistory h;
    h.generator_ = std::move(generator);
    h.fromMs_ = fromMs;
    h.startMs_ = startMs;
    h.liveToo_ = liveToo;
    return h;
}

PosHistory PosHistory::replayed(std::vector<std::string> texts, int intervalMs, std::int64_t fromMs,
                                std::int64_t startMs)
{
    PosHistory h;
    h.texts_ = std::move(texts);
    h.intervalMs_ = std::max(intervalMs, 1);
    h.fromMs_ = fromMs;
    h.startMs_ = startMs;
    return h;
}

std::vector<PosText> PosHistory::between(std::int64_t fromMs, std::int64_t toMs, std::int64_t nowMs,
                                         std::size_t maxCount) const
{
    const std::int64_t end = generator_ && liveToo_ ? nowMs : std::min(startMs_, nowMs);
    fromMs = std::max(fromMs, fromMs_);
    toMs = std::min(toMs, end);
    if (fromMs > toMs || maxCount == 0)
        return {};
    if (!generator_)
        return replay(fromMs, toMs, maxCount);
    std::vector<PosText> texts;
    for (auto &r : generator_->between(fromMs, toMs + 1, maxCount))
        texts.push_back({r.timeMs, std::move(r.text)});
    return texts;
}

std::vector<PosText> PosHistory::replay(std::int64_t fromMs, std::int64_t toMs,
                                        std::size_t maxCount) const
{
    std::vector<PosText> texts;
    if (texts_.empty())
        return texts;
    // Text number j (j <= 0) is at startMs + j * interval and reads texts[(j - 1) mod n].
    const std::int64_t first = ceilDiv(fromMs - startMs_, intervalMs_);
    const std::int64_t last = std::min<std::int64_t>(floorDiv(toMs - startMs_, intervalMs_), 0);
    const auto n = static_cast<std::int64_t>(texts_.size());
    for (std::int64_t j = first; j <= last && texts.size() < maxCount; ++j) {
        const std::int64_t index = ((j - 1) % n + n) % n;
        texts.push_back({startMs_ + j * intervalMs_, texts_[static_cast<std::size_t>(index)]});
    }
    return texts;
}

} // namespace ardix::sim
