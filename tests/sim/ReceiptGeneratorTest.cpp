// The till receipts a stream's "pos" generator makes up: the same inputs give the same receipts
// whatever range is asked, the documented rules give the times, a shop week looks like one
// (closed at night, busier at noon than at 08:00, totals and change that add up, voids, refunds
// and drawer openings), and the site file's generator defaults. Runs in a time zone with summer
// time (see CMakeLists.txt) over a week that changes the clock.
#include "ReceiptGenerator.h"
#include "Site.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <map>
#include <sstream>

using namespace ardix::sim;

namespace {

// Sunday 25 October 2026 01:00 UTC, when central Europe goes back from summer time.
constexpr std::int64_t kClockChange = 1792890000000;
constexpr std::int64_t kHour = 3600000;
constexpr std::int64_t kDay = 24 * kHour;
constexpr std::int64_t kWeekStart = kClockChange - 3 * kDay;
constexpr std::int64_t kWeekEnd = kWeekStart + 7 * kDay;

std::tm local(std::int64_t ms)
{
    const std::time_t t = static_cast<std::time_t>(ms / 1000);
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}

std::vector<std::string> lines(const std::string &text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

// "12.34" or "-2.49" as cents; false for anything else.
bool cents(const std::string &text, std::int64_t &value)
{
    const bool negative = !text.empty() && text[0] == '-';
    const std::string digits = negative ? text.substr(1) : text;
    const auto dot = digits.find('.');
    if (dot == std::string::npos || dot == 0 || digits.size() != dot + 3 ||
        digits.find_first_not_of("0123456789.") != std::string::npos)
        return false;
    value = std::stoll(digits.substr(0, dot)) * 100 + std::stoll(digits.substr(dot + 1));
    value = negative ? -value : value;
    return true;
}

std::string lastWord(const std::string &line)
{
    return line.substr(line.rfind(' ') + 1);
}

// Checks one receipt's arithmetic (item and void lines add up to the total, cash change is
// tendered less total) and answers its kind: "NO SALE", "REFUND", "VOID" or "SALE".
std::string checkReceipt(const std::string &text)
{
    const auto ls = lines(text);
    if (ls.size() == 2 && ls[1] == "NO SALE")
        return "NO SALE";
    const bool refund = ls.size() > 1 && ls[1] == "REFUND";
    std::int64_t sum = 0, amount = 0, total = 0, tendered = 0, change = 0;
    bool voided = false;
    std::size_t i = refund ? 2 : 1;
    for (; i < ls.size() && ls[i].rfind("TOTAL ", 0) != 0; ++i) {
        EXPECT_TRUE(cents(lastWord(ls[i]), amount)) << ls[i];
        voided = voided || ls[i].rfind("VOID ", 0) == 0;
        sum += amount;
    }
    if (i + 2 != ls.size() || !cents(lastWord(ls[i]), total)) {
        ADD_FAILURE() << text;
        return "";
    }
    EXPECT_EQ(sum, total) << text;
    EXPECT_EQ(refund, total < 0) << text;
    const std::string &pay = ls[i + 1];
    char given[16] = {}, back[16] = {};
    if (std::sscanf(pay.c_str(), "CASH %15s / CHANGE %15s", given, back) == 2) {
        EXPECT_TRUE(cents(given, tendered) && cents(back, change)) << pay;
        EXPECT_EQ(tendered - total, change) << text;
    } else {
        EXPECT_TRUE(pay == "CARD" || (refund && pay == "CASH " + lastWord(ls[i]))) << text;
    }
    return refund ? "REFUND" : voided ? "VOID" : "SALE";
}

// splitmix64, written out again from the documentation.
std::uint64_t documentedMix(std::uint64_t z)
{
    z += 0x9e3779b97f4a7c15ULL;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

} // namespace

TEST(ReceiptGenerator, SameInputsGiveTheSameReceiptsWhateverRangeIsAsked)
{
    const ReceiptGenerator till(1, 12, "Till 1");
    const auto day = till.between(kWeekStart, kWeekStart + kDay);
    ASSERT_GT(day.size(), 500u);
    const auto again = ReceiptGenerator(1, 12, "Till 1").between(kWeekStart, kWeekStart + kDay);
    ASSERT_EQ(again.size(), day.size());
    for (std::size_t i = 0; i < day.size(); ++i) {
        EXPECT_EQ(again[i].timeMs, day[i].timeMs);
        EXPECT_EQ(again[i].text, day[i].text);
    }
    // A part asked alone is the same part of the whole: numbers count from the day's first.
    const std::int64_t from = day[100].timeMs, to = day[200].timeMs;
    const auto part = till.between(from, to);
    ASSERT_EQ(part.size(), 100u);
    EXPECT_EQ(part.front().text, day[100].text);
    EXPECT_EQ(part.back().text, day[199].text);
    EXPECT_EQ(till.between(from, from + kDay, 5).size(), 5u);
    ASSERT_TRUE(till.after(from));
    EXPECT_EQ(till.after(from)->text, day[101].text);
    EXPECT_EQ(till.after(from - 1)->timeMs, from);

    for (const ReceiptGenerator &other :
         {ReceiptGenerator(2, 12, "Till 1"), ReceiptGenerator(1, 15, "Till 1")}) {
        const auto theirs = other.between(kWeekStart, kWeekStart + kDay);
        std::size_t same = 0;
        for (std::size_t i = 0; i < std::min(theirs.size(), day.size()); ++i)
            same += theirs[i].timeMs == day[i].timeMs;
        EXPECT_LT(same, day.size() / 10);
    }
}

TEST(ReceiptGenerator, TimesAndNumbersFollowTheDocumentedRules)
{
    const std::uint64_t seed = 42;
    const std::int64_t stream = 16;
    const ReceiptGenerator till(seed, stream, "Till 3");
    const std::uint64_t key = documentedMix(seed ^ documentedMix(stream));
    std::vector<std::int64_t> expected;
    for (std::int64_t minute = kWeekStart / 60000; minute < (kWeekStart + kDay) / 60000; ++minute) {
        const int rate = ReceiptGenerator::hourlyRate(local(minute * 60000).tm_hour);
        const std::uint64_t h = documentedMix(key ^ documentedMix(minute));
        int n = 0;
        for (int j = 0; j < 3; ++j)
            n += ((h >> (16 * j)) & 0xffff) < std::uint64_t(rate) * 65536 / 180;
        for (int k = 0; k < n; ++k)
            expected.push_back(minute * 60000 + (std::int64_t((h >> 48) % 20) + 20 * k) * 1000);
    }
    const auto receipts = till.between(kWeekStart, kWeekStart + kDay);
    ASSERT_EQ(receipts.size(), expected.size());
    for (std::size_t i = 0; i < receipts.size(); ++i) {
        EXPECT_EQ(receipts[i].timeMs, expected[i]) << i;
        char header[64];
        std::snprintf(header, sizeof header, "Till 3  receipt %04d\n", static_cast<int>(i + 1));
        EXPECT_EQ(receipts[i].text.rfind(header, 0), 0u) << receipts[i].text;
    }
    EXPECT_EQ(ReceiptGenerator::line("Crème fraîche", "1.49"), "Crème fraîche      1.49");
    EXPECT_EQ(ReceiptGenerator::line("TOTAL", "-12.34"), "TOTAL            -12.34");
    EXPECT_EQ(ReceiptGenerator::line("3 x Washing-up liquid", "5.67"),
              "3 x Washing-up liquid  5.67");
}

TEST(ReceiptGenerator, AWeekOfFourTillsLooksLikeAShop)
{
    std::map<std::string, int> kinds;
    std::map<int, int> byHour;
    std::size_t all = 0;
    bool accents = false;
    const auto started = std::chrono::steady_clock::now();
    std::vector<std::vector<Receipt>> tills;
    for (std::int64_t stream : {12, 15, 16, 17})
        tills.push_back(ReceiptGenerator(1, stream, "Till").between(kWeekStart, kWeekEnd));
    const auto took = std::chrono::steady_clock::now() - started;
    std::cout << "4 tills x 7 days: "
              << tills[0].size() + tills[1].size() + tills[2].size() + tills[3].size()
              << " receipts in "
              << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms\n";
    for (const auto &receipts : tills) {
        std::map<int, int> perDay;
        for (std::size_t i = 0; i < receipts.size(); ++i) {
            const Receipt &r = receipts[i];
            if (i > 0) {
                EXPECT_LT(receipts[i - 1].timeMs, r.timeMs);
            }
            const std::tm tm = local(r.timeMs);
            EXPECT_GE(tm.tm_hour, 7) << r.text;
            EXPECT_LT(tm.tm_hour, 22) << r.text;
            ++byHour[tm.tm_hour];
            ++perDay[tm.tm_yday];
            ++kinds[checkReceipt(r.text)];
            accents = accents || r.text.find("è") != std::string::npos;
            ++all;
        }
        EXPECT_EQ(perDay.size(), 7u);
        for (const auto &[day, count] : perDay) {
            EXPECT_GT(count, 600) << day;
            EXPECT_LT(count, 850) << day;
        }
    }
    EXPECT_GT(all, 18000u);
    EXPECT_LT(all, 22000u);
    EXPECT_GT(byHour[12], byHour[8] * 3 / 2);
    EXPECT_GT(byHour[18], byHour[15]);
    EXPECT_GT(kinds["VOID"], 100);
    EXPECT_GT(kinds["REFUND"], 100);
    EXPECT_GT(kinds["NO SALE"], 100);
    EXPECT_EQ(kinds[""], 0);
    EXPECT_TRUE(accents);
}
