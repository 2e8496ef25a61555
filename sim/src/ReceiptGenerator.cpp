#include "ReceiptGenerator.h"

#include <array>
#include <cstdio>
#include <ctime>

namespace ardix::sim {

namespace {

constexpr std::int64_t kMinuteMs = 60000;
constexpr std::int64_t kDayMs = 24 * 3600000LL;

// Receipts an hour per till from 07:00 to 21:59 local time: a morning rush, a midday peak and
// an early-evening one. About 715 a day.
constexpr std::array<int, 24> kRates = {0,  0,  0,  0,  0,  0,  0,  30, 30, 35, 40, 55,
                                        70, 65, 45, 40, 45, 60, 70, 55, 45, 30, 0,  0};

// Indexed by the documented catalogue numbers: keep the order.
constexpr std::array<ReceiptGenerator::Item, ReceiptGenerator::kCatalogueSize> kCatalogue = {{
    {"Milk 1 l", 119},
    {"Bread", 249},
    {"Apples 1 kg", 299},
    {"Coffee 500 g", 579},
    {"Sugar 1 kg", 129},
    {"Crème fraîche", 149},
    {"Butter 250 g", 235},
    {"Eggs x10", 310},
    {"Orange juice", 220},
    {"Newspaper", 250},
    {"Bananas 1 kg", 189},
    {"Tomatoes 500 g", 199},
    {"Potatoes 2 kg", 279},
    {"Onions 1 kg", 149},
    {"Carrots 1 kg", 119},
    {"Rice 1 kg", 229},
    {"Pasta 500 g", 139},
    {"Olive oil", 749},
    {"Flour 1 kg", 99},
    {"Salt", 59},
    {"Tea 20 bags", 199},
    {"Chocolate", 159},
    {"Yoghurt", 69},
    {"Cheddar 200 g", 289},
    {"Gruyère 200 g", 429},
    {"Ham 150 g", 259},
    {"Chicken 1 kg", 899},
    {"Minced beef", 549},
    {"Salmon 200 g", 699},
    {"Pâté 125 g", 219},
    {"Croissant", 95},
    {"Baguette", 129},
    {"Crêpes x6", 249},
    {"Muesli", 349},
    {"Honey", 429},
    {"Jam", 239},
    {"Peanut butter", 299},
    {"Crisps", 149},
    {"Jalapeño crisps", 179},
    {"Biscuits", 129},
    {"Ice cream", 399},
    {"Frozen peas", 159},
    {"Pizza", 349},
    {"Water 6-pack", 299},
    {"Cola 1.5 l", 189},
    {"Beer 6 pack", 599},
    {"Red wine", 799},
    {"Rosé wine", 699},
    {"Soap", 119},
    {"Shampoo", 349},
    {"Toothpaste", 229},
    {"Toilet paper x8", 449},
    {"Kitchen roll", 259},
    {"Washing-up liquid", 189},
    {"Batteries AA x4", 499},
    {"Light bulb", 399},
    {"Café au lait", 180},
    {"Flowers", 599},
    {"Birthday card", 250},
    {"Carrier bag", 20},
}};

std::int64_t floorDiv(std::int64_t a, std::int64_t b)
{
    return a / b - ((a % b != 0 && (a < 0) != (b < 0)) ? 1 : 0);
}

std::tm localTime(std::int64_t ms)
{
    const std::time_t seconds = static_cast<std::time_t>(floorDiv(ms, 1000));
    std::tm local{};
    localtime_r(&seconds, &local);
    return local;
}

std::size_t codePoints(const std::string &text)
{
    std::size_t n = 0;
    for (unsigned char c : text)
        n += (c & 0xc0) != 0x80;
    return n;
}

// How many receipts start in a minute: each of three 16-bit slices of its hash starts one when
// below rate * 65536 / 180, so a minute averages rate / 60.
int receiptsInMinute(std::uint64_t minuteHash, int rate)
{
    const std::uint64_t threshold = static_cast<std::uint64_t>(rate) * 65536 / 180;
    int n = 0;
    for (int j = 0; j < 3; ++j)
        n += ((minuteHash >> (16 * j)) & 0xffff) < threshold;
    return n;
}

struct Line
{
    std::string label;
    std::int64_t cents;
};

Line itemLine(std::uint64_t receiptHash, int i)
{
    const std::uint64_t h = ReceiptGenerator::hash(receiptHash, static_cast<std::uint64_t>(i));
    const auto &item = ReceiptGenerator::catalogueItem(static_cast<int>(h % 60));
    const int quantity = (h >> 8) % 5 == 0 ? 2 + static_cast<int>((h >> 16) % 3) : 1;
    if (quantity == 1)
        return {item.name, item.cents};
    return {std::to_string(quantity) + " x " + item.name,
            static_cast<std::int64_t>(quantity) * item.cents};
}

std::string payment(std::uint64_t receiptHash, std::int64_t total)
{
    if ((receiptHash >> 24) % 3 != 0)
        return "CARD";
    if (total < 0)
        return "CASH " + ReceiptGenerator::money(total);
    std::int64_t tendered = 0;
    for (std::int64_t note : {500, 1000, 2000, 5000, 10000}) {
        if (note >= total) {
            tendered = note;
            break;
        }
    }
    if (tendered == 0)
        tendered = (total + 4999) / 5000 * 5000;
    return "CASH " + ReceiptGenerator::money(tendered) + " / CHANGE " +
           ReceiptGenerator::money(tendered - total);
}

} // namespace

ReceiptGenerator::ReceiptGenerator(std::uint64_t seed, std::int64_t streamId, std::string till)
    : key_(hash(seed, static_cast<std::uint64_t>(streamId)))
    , till_(std::move(till))
{}

std::uint64_t ReceiptGenerator::mix(std::uint64_t x)
{
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

int ReceiptGenerator::hourlyRate(int localHour)
{
    return localHour >= 0 && localHour < 24 ? kRates[static_cast<std::size_t>(localHour)] : 0;
}

const ReceiptGenerator::Item &ReceiptGenerator::catalogueItem(int index)
{
    return kCatalogue.at(static_cast<std::size_t>(index));
}

std::string ReceiptGenerator::money(std::int64_t cents)
{
    const std::int64_t magnitude = cents < 0 ? -cents : cents;
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%s%lld.%02lld", cents < 0 ? "-" : "",
                  static_cast<long long>(magnitude / 100), static_cast<long long>(magnitude % 100));
    return buffer;
}

std::string ReceiptGenerator::line(const std::string &label, const std::string &amount)
{
    const std::size_t used = codePoints(label) + codePoints(amount);
    const std::size_t spaces = used + 2 <= kLineWidth ? kLineWidth - used : 2;
    return label + std::string(spaces, ' ') + amount;
}

void ReceiptGenerator::scan(std::int64_t fromMs, std::int64_t toMs, const Visit &visit) const
{
    if (fromMs >= toMs)
        return;
    // Numbers count from the first receipt of the local day: start at its midnight (any time
    // of the closed night would do, which keeps days that change the clock simple).
    const std::tm first = localTime(fromMs);
    std::int64_t minute = floorDiv(fromMs, kMinuteMs) - (first.tm_hour * 60 + first.tm_min);
    const std::int64_t last = floorDiv(toMs - 1, kMinuteMs);
    int day = -1;
    int number = 0;
    for (; minute <= last; ++minute) {
        const std::tm local = localTime(minute * kMinuteMs);
        if (local.tm_year * 400 + local.tm_yday != day) {
            day = local.tm_year * 400 + local.tm_yday;
            number = 0;
        }
        const int rate = hourlyRate(local.tm_hour);
        if (rate == 0)
            continue;
        const std::uint64_t h = hash(key_, static_cast<std::uint64_t>(minute));
        const int n = receiptsInMinute(h, rate);
        const auto second = static_cast<std::int64_t>((h >> 48) % 20);
        for (int k = 0; k < n; ++k) {
            const std::int64_t time = minute * kMinuteMs + (second + 20 * k) * 1000;
            ++number;
            if (time >= fromMs && time < toMs && !visit(time, h, k, number))
                return;
        }
    }
}

std::vector<Receipt> ReceiptGenerator::between(std::int64_t fromMs, std::int64_t toMs,
                                               std::size_t maxCount) const
{
    std::vector<Receipt> receipts;
    if (maxCount == 0)
        return receipts;
    scan(fromMs, toMs, [&](std::int64_t time, std::uint64_t h, int k, int number) {
        receipts.push_back({time, text(h, k, number)});
        return receipts.size() < maxCount;
    });
    return receipts;
}

std::optional<Receipt> ReceiptGenerator::after(std::int64_t afterMs) const
{
    std::optional<Receipt> found;
    scan(afterMs + 1, afterMs + 1 + 2 * kDayMs,
         [&](std::int64_t time, std::uint64_t h, int k, int number) {
             found = Receipt{time, text(h, k, number)};
             return false;
         });
    return found;
}

std::string ReceiptGenerator::text(std::uint64_t minuteHash, int k, int number) const
{
    const std::uint64_t r = hash(minuteHash, static_cast<std::uint64_t>(k));
    char header[32];
    std::snprintf(header, sizeof header, "  receipt %04d", number);
    std::string out = till_ + header;
    const auto kind = r % 100;
    if (kind < 2)
        return out + "\nNO SALE";
    if (kind < 5) {
        const Line item = itemLine(r, 1);
        return out + "\nREFUND\n" + line(item.label, money(-item.cents)) + "\n" +
               line("TOTAL", money(-item.cents)) + "\n" + payment(r, -item.cents);
    }
    const int count = 1 + static_cast<int>((r >> 8) % 6);
    const bool voided = count >= 2 && (r >> 16) % 10 == 0;
    std::int64_t total = 0;
    for (int i = 1; i <= count; ++i) {
        const Line item = itemLine(r, i);
        out += "\n" + line(item.label, money(item.cents));
        if (voided && i == count)
            out += "\n" + line("VOID " + item.label, money(-item.cents));
        else
            total += item.cents;
    }
    return out + "\n" + line("TOTAL", money(total)) + "\n" + payment(r, total);
}

} // namespace ardix::sim
