#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace ardix::zarn {

// Kind codes carried by every value, on the wire as well.
enum class ValueKind : int {
    None = 10,
    Bool = 20,
    Int = 30,        // signed 64-bit integer
    Float = 40,      // double
    String = 50,     // UTF-8 text
    Data = 60,       // bytes
    Date = 70,       // days since 1970-01-01
    Time = 80,       // milliseconds since midnight
    DateTime = 90,   // milliseconds since 1970-01-01T00:00:00Z
    Timestamp = 100, // milliseconds since 1970-01-01T00:00:00Z, shown as a plain number
    Id = 110,        // object id
};

// A typed value: a kind code and its payload. Immutable once built; copy freely. The kinds are
// built through the subclasses below (BoolValue(true), StringValue("x"), ...), which add no
// data of their own, so a Value may be copied from any of them without losing anything.
//
// Conversions never fail: they give the nearest meaning or a zero value.
//  - toBool: Bool as is; numbers and ids: not zero; String: "true" or "1"; Data: not empty.
//  - toInt64: Bool 0/1; integer kinds as is; Float truncated (clamped, NaN gives 0);
//    String parsed as a whole decimal number, else 0.
//  - toInt: toInt64 cut to 32 bits (two's complement), as a plain int cast does.
//  - toDouble: numbers as is; Bool 0/1; String parsed as a whole number, else 0.
//  - toString: Bool "true"/"false"; integers, ids and timestamps decimal; Float shortest
//    round-trip form ("inf", "-inf", "nan" for the specials); Date "YYYY-MM-DD";
//    Time "HH:MM:SS.mmm"; DateTime "YYYY-MM-DDTHH:MM:SS.mmmZ"; Data base64; None "".
class Value
{
public:
    using Bytes = std::vector<std::uint8_t>;

    // A NoneValue.
    Value();

    // The kind code (20 bool, 30 int, 40 float, 50 string, see ValueKind).
    int kind() const { return kind_; }
    ValueKind valueKind() const { return static_cast<ValueKind>(kind_); }
    bool isNone() const { return kind_ == static_cast<int>(ValueKind::None); }

    bool toBool() const;
    int toInt() const;
    std::int64_t toInt64() const;
    double toDouble() const;
    std::string toString() const;
    // The bytes of a DataValue, the UTF-8 bytes of a StringValue, else empty.
    Bytes toBytes() const;

    bool operator==(const Value &other) const;
    bool operator!=(const Value &other) const { return !(*this == other); }

    // Builds a value of any kind from its code and the payload that kind carries:
    // None: nothing; Bool: bool; Float: double; String: text; Data: bytes;
    // every other kind: int64. Returns a NoneValue when the payload does not fit the kind
    // or the kind is unknown.
    using Payload = std::variant<std::monostate, bool, std::int64_t, double, std::string, Bytes>;
    static Value fromPayload(int kind, Payload payload);
    const Payload &payload() const { return payload_; }

protected:
    Value(ValueKind kind, Payload payload);

private:
    int kind_;
    Payload payload_;
};

class NoneValue : public Value
{
public:
    static constexpr int Kind = static_cast<int>(ValueKind::None);
    NoneValue() = default;
};

class BoolValue : public Value
{
public:
    static constexpr int Kind = static_cast<int>(ValueKind::Bool);
    explicit BoolValue(bool v);
};

class IntValue : public Value
{
public:
    static constexpr int Kind = static_cast<int>(ValueKind::Int);
    explicit IntValue(std::int64_t v);
};

class FloatValue : public Value
{
public:
    static constexpr int Kind = static_cast<int>(ValueKind::Float);
    explicit FloatValue(double v);
};

class StringValue : public Value
{
public:
    static constexpr int Kind = static_cast<int>(ValueKind::String);
    explicit StringValue(std::string utf8);
    explicit StringValue(const char *utf8);
};

class DataValue : public Value
{
public:
    static constexpr int Kind = static_cast<int>(ValueKind::Data);
    explicit DataValue(Bytes bytes);
};

class DateValue : public Value
{
public:
    static constexpr int Kind = static_cast<int>(ValueKind::Date);
    explicit DateValue(std::int64_t daysSinceEpoch);
};

class TimeValue : public Value
{
public:
    static constexpr int Kind = static_cast<int>(ValueKind::Time);
    explicit TimeValue(std::int64_t msSinceMidnight);
};

class DateTimeValue : public Value
{
public:
    static constexpr int Kind = static_cast<int>(ValueKind::DateTime);
    explicit DateTimeValue(std::int64_t msSinceEpoch);
};

class TimestampValue : public Value
{
public:
    static constexpr int Kind = static_cast<int>(ValueKind::Timestamp);
    explicit TimestampValue(std::int64_t msSinceEpoch);
};

class IdValue : public Value
{
public:
    static constexpr int Kind = static_cast<int>(ValueKind::Id);
    explicit IdValue(std::int64_t id);
};

} // namespace ardix::zarn
