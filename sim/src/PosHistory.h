#pragma once

#include "PosTextLog.h"
#include "ReceiptGenerator.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ardix::sim {

// What a stream's channel said that the publisher's record does not hold: the receipts of its
// generator, or its script replayed back in time as if it had published every intervalMs all
// along before the publisher started. Made on each query, never stored. Thread-safe (const).
class PosHistory
{
public:
    // The generator's receipts from fromMs on: up to startMs when the stream's script
    // publishes live, else (the generator publishes live) up to the time of the query.
    static PosHistory generated(std::shared_ptr<const ReceiptGenerator> generator,
                                std::int64_t fromMs, std::int64_t startMs, bool liveToo);
    // texts[n - 1] at startMs, texts[n - 2] one interval before, and so on back to fromMs;
    // live, texts[0] follows at startMs + intervalMs.
    static PosHistory replayed(std::vector<std::string> texts, int intervalMs, std::int64_t fromMs,
                               std::int64_t startMs);

    // Texts with fromMs <= time <= toMs, none after nowMs, oldest first; at most maxCount.
    std::vector<PosText> between(std::int64_t fromMs, std::int64_t toMs, std::int64_t nowMs,
                                 std::size_t maxCount) const;
    // When the publisher started: the record answers for the stream from this time on.
    std::int64_t startMs() const { return startMs_; }

private:
    PosHistory() = default;
    std::vector<PosText> replay(std::int64_t fromMs, std::int64_t toMs, std::size_t maxCount) const;

    std::shared_ptr<const ReceiptGenerator> generator_;
    bool liveToo_ = false;
    std::vector<std::string> texts_;
    std::int64_t intervalMs_ = 0;
    std::int64_t fromMs_ = 0;
    std::int64_t startMs_ = 0;
};

} // namespace ardix::sim
