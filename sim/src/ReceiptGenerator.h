#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ardix::sim {

// One till receipt: when it was printed (ms since the epoch) and its lines joined by "\n".
struct Receipt
{
    std::int64_t timeMs = 0;
    std::string text;
};

// The receipts of one shop till, made up from (seed, stream id, time) alone: the same site file
// gives the same receipts at the same times in every run, so a stream has a past of any length
// without storing it. The shop is open 07:00-22:00 local time, busiest at midday and in the
// early evening; the rules are written down in docs/site-file.md ("Receipt generator").
// Nothing is kept between calls: each range is made when asked for. Thread-safe (const).
class ReceiptGenerator
{
public:
    struct Item
    {
        const char *name;
        int cents;
    };
    static constexpr int kCatalogueSize = 60;
    // Lines are padded to this many characters (code points) between label and amount.
    static constexpr int kLineWidth = 23;

    ReceiptGenerator(std::uint64_t seed, std::int64_t streamId, std::string till);

    // Receipts printed in [fromMs, toMs), oldest first; at most maxCount of them (the oldest).
    std::vector<Receipt> between(std::int64_t fromMs, std::int64_t toMs,
                                 std::size_t maxCount = SIZE_MAX) const;
    // The first receipt printed after afterMs (not at it), looking up to two days ahead.
    std::optional<Receipt> after(std::int64_t afterMs) const;

    // The rules, for tests and the documentation.
    static std::uint64_t mix(std::uint64_t x); // splitmix64's finaliser
    static std::uint64_t hash(std::uint64_t a, std::uint64_t b) { return mix(a ^ mix(b)); }
    static int hourlyRate(int localHour); // receipts an hour per till; 0 while closed
    static const Item &catalogueItem(int index);
    static std::string money(std::int64_t cents); // "12.34", "-2.49"
    // A receipt line: label, then spaces up to kLineWidth characters (at least two), amount.
    static std::string line(const std::string &label, const std::string &amount);

private:
    // Called for each receipt printed from the local midnight before fromMs up to toMs with
    // its time, minute hash, place in its minute and number of the day; false stops.
    using Visit =
        std::function<bool(std::int64_t timeMs, std::uint64_t minuteHash, int k, int number)>;
    void scan(std::int64_t fromMs, std::int64_t toMs, const Visit &visit) const;
    std::string text(std::uint64_t minuteHash, int k, int number) const;

    std::uint64_t key_;
    std::string till_;
};

} // namespace ardix::sim
