#include "zarn/Value.h"

#include "Base64.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace ardix::zarn {

namespace {

std::int64_t parseInt(const std::string &s)
{
    std::int64_t v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return ec == std::errc() && p == s.data() + s.size() ? v : 0;
}

double parseDouble(const std::string &s)
{
    double v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return ec == std::errc() && p == s.data() + s.size() ? v : 0.0;
}

std::int64_t clampToInt64(double d)
{
    if (std::isnan(d))
        return 0;
    if (d >= 9223372036854775807.0)
        return std::numeric_limits<std::int64_t>::max();
    if (d <= -9223372036854775808.0)
        return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(d);
}

std::string formatDouble(double d)
{
    if (std::isnan(d))
        return "nan";
    if (std::isinf(d))
        return d > 0 ? "inf" : "-inf";
    char buf[32];
    auto [p, ec] = std::to_chars(buf, buf + sizeof buf, d);
    return ec == std::errc() ? std::string(buf, p) : std::string();
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b)
{
    std::int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

// a - floorDiv(a, b) * b without the product, which overflows near the ends of the range.
std::int64_t floorMod(std::int64_t a, std::int64_t b)
{
    const std::int64_t r = a % b;
    return r < 0 ? r + b : r;
}

// Gregorian date of a day number (days since 1970-01-01), after H. Hinnant's civil_from_days.
// Whole 400-year eras are split off first, so that every day number of the int64 range works
// without overflow.
void civilFromDays(std::int64_t days, std::int64_t &y, unsigned &m, unsigned &d)
{
    constexpr std::int64_t kEraDays = 146097;
    const std::int64_t eras = floorDiv(days, kEraDays);
    const std::int64_t z = floorMod(days, kEraDays) + 719468; // 0 .. 2 eras
    const std::int64_t era = z / kEraDays;
    const unsigned doe = static_cast<unsigned>(z - era * kEraDays);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<std::int64_t>(yoe) + (eras + era) * 400 + (m <= 2);
}

std::string formatDate(std::int64_t days)
{
    std::int64_t y;
    unsigned m, d;
    civilFromDays(days, y, m, d);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u", static_cast<long long>(y), m, d);
    return buf;
}

std::string formatTime(std::int64_t ms)
{
    ms = floorMod(ms, 86400000);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02lld:%02lld:%02lld.%03lld",
                  static_cast<long long>(ms / 3600000), static_cast<long long>(ms / 60000 % 60),
                  static_cast<long long>(ms / 1000 % 60), static_cast<long long>(ms % 1000));
    return buf;
}

std::string formatDateTime(std::int64_t ms)
{
    return formatDate(floorDiv(ms, 86400000)) + "T" + formatTime(ms) + "Z";
}

bool isIntegral(ValueKind k)
{
    switch (k) {
    case ValueKind::Int:
    case ValueKind::Date:
    case ValueKind::Time:
    case ValueKind::DateTime:
    case ValueKind::Timestamp:
    case ValueKind::Id:
        return true;
    default:
        return false;
    }
}

} // namespace

Value::Value()
    : kind_(static_cast<int>(ValueKind::None))
{}

Value::Value(ValueKind kind, Payload payload)
    : kind_(static_cast<int>(kind))
    , payload_(std::move(payload))
{}

Value Value::fromPayload(int kind, Payload payload)
{
    const auto k = static_cast<ValueKind>(kind);
    bool fits = false;
    switch (k) {
    case ValueKind::None:
        fits = std::holds_alternative<std::monostate>(payload);
        break;
    case ValueKind::Bool:
        fits = std::holds_alternative<bool>(payload);
        break;
    case ValueKind::Float:
        fits = std::holds_alternative<double>(payload);
        break;
    case ValueKind::String:
        fits = std::holds_alternative<std::string>(payload);
        break;
    case ValueKind::Data:
        fits = std::holds_alternative<Bytes>(payload);
        break;
    default:
        fits = isIntegral(k) && std::holds_alternative<std::int64_t>(payload);
        break;
    }
    return fits ? Value(k, std::move(payload)) : Value();
}

bool Value::toBool() const
{
    if (auto b = std::get_if<bool>(&payload_))
        return *b;
    if (auto i = std::get_if<std::int64_t>(&payload_))
        return *i != 0;
    if (auto d = std::get_if<double>(&payload_))
        return *d != 0.0;
    if (auto s = std::get_if<std::string>(&payload_))
        return *s == "true" || *s == "1";
    if (auto b = std::get_if<Bytes>(&payload_))
        return !b->empty();
    return false;
}

std::int64_t Value::toInt64() const
{
    if (auto b = std::get_if<bool>(&payload_))
        return *b ? 1 : 0;
    if (auto i = std::get_if<std::int64_t>(&payload_))
        return *i;
    if (auto d = std::get_if<double>(&payload_))
        return clampToInt64(*d);
    if (auto s = std::get_if<std::string>(&payload_))
        return parseInt(*s);
    return 0;
}

int Value::toInt() const
{
    // Cut to the low 32 bits, as a plain cast of the 64-bit value does.
    return static_cast<int>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(toInt64())));
}

double Value::toDouble() const
{
    if (auto b = std::get_if<bool>(&payload_))
        return *b ? 1.0 : 0.0;
    if (auto i = std::get_if<std::int64_t>(&payload_))
        return static_cast<double>(*i);
    if (auto d = std::get_if<double>(&payload_))
        return *d;
    if (auto s = std::get_if<std::string>(&payload_))
        return parseDouble(*s);
    return 0.0;
}

std::string Value::toString() const
{
    switch (valueKind()) {
    case ValueKind::Bool:
        return std::get<bool>(payload_) ? "true" : "false";
    case ValueKind::Float:
        return formatDouble(std::get<double>(payload_));
    case ValueKind::String:
        return std::get<std::string>(payload_);
    case ValueKind::Data:
        return detail::base64Encode(std::get<Bytes>(payload_));
    case ValueKind::Date:
        return formatDate(std::get<std::int64_t>(payload_));
    case ValueKind::Time:
        return formatTime(std::get<std::int64_t>(payload_));
    case ValueKind::DateTime:
        return formatDateTime(std::get<std::int64_t>(payload_));
    case ValueKind::Int:
    case ValueKind::Timestamp:
    case ValueKind::Id:
        return std::to_string(std::get<std::int64_t>(payload_));
    default:
        return std::string();
    }
}

Value::Bytes Value::toBytes() const
{
    if (auto b = std::get_if<Bytes>(&payload_))
        return *b;
    if (auto s = std::get_if<std::string>(&payload_))
        return Bytes(s->begin(), s->end());
    return Bytes();
}

bool Value::operator==(const Value &other) const
{
    if (kind_ != other.kind_)
        return false;
    // NaN equals NaN here, so a value compares equal to its own round trip.
    auto a = std::get_if<double>(&payload_);
    auto b = std::get_if<double>(&other.payload_);
    if (a && b && std::isnan(*a) && std::isnan(*b))
        return true;
    return payload_ == other.payload_;
}

BoolValue::BoolValue(bool v)
    : Value(ValueKind::Bool, v)
{}
IntValue::IntValue(std::int64_t v)
    : Value(ValueKind::Int, v)
{}
FloatValue::FloatValue(double v)
    : Value(ValueKind::Float, v)
{}
StringValue::StringValue(std::string utf8)
    : Value(ValueKind::String, std::move(utf8))
{}
StringValue::StringValue(const char *utf8)
    : Value(ValueKind::String, std::string(utf8 ? utf8 : ""))
{}
DataValue::DataValue(Bytes bytes)
    : Value(ValueKind::Data, std::move(bytes))
{}
DateValue::DateValue(std::int64_t days)
    : Value(ValueKind::Date, days)
{}
TimeValue::TimeValue(std::int64_t ms)
    : Value(ValueKind::Time, ms)
{}
DateTimeValue::DateTimeValue(std::int64_t ms)
    : Value(ValueKind::DateTime, ms)
{}
TimestampValue::TimestampValue(std::int64_t ms)
    : Value(ValueKind::Timestamp, ms)
{}
IdValue::IdValue(std::int64_t id)
    : Value(ValueKind::Id, id)
{}

} // namespace ardix::zarn
