// Values, name/value maps and errors, and their wire form.
#include "wire/Codec.h"
#include "zarn/zarn.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace ardix::zarn;

namespace {

struct KindCase
{
    const char *label;
    Value value;
    int kind;
    bool asBool;
    std::int64_t asInt64;
    double asDouble;
    std::string asText;
};

class ValueKinds : public ::testing::TestWithParam<KindCase>
{};

TEST_P(ValueKinds, ConvertsAndRoundTripsWithItsKindCode)
{
    const auto &c = GetParam();
    EXPECT_EQ(c.value.kind(), c.kind);
    EXPECT_EQ(c.value.toBool(), c.asBool);
    EXPECT_EQ(c.value.toInt64(), c.asInt64);
    EXPECT_DOUBLE_EQ(c.value.toDouble(), c.asDouble);
    EXPECT_EQ(c.value.toString(), c.asText);

    const auto back = wire::valueFromJson(wire::Json::parse(wire::dump(wire::toJson(c.value))));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->kind(), c.kind);
    EXPECT_EQ(*back, c.value);
}

INSTANTIATE_TEST_SUITE_P(
    AllKinds, ValueKinds,
    ::testing::Values(
        KindCase{"none", NoneValue(), 10, false, 0, 0.0, ""},
        KindCase{"boolTrue", BoolValue(true), 20, true, 1, 1.0, "true"},
        KindCase{"boolFalse", BoolValue(false), 20, false, 0, 0.0, "false"},
        KindCase{"int", IntValue(-9007199254740993), 30, true, -9007199254740993,
                 -9007199254740992.0, "-9007199254740993"},
        KindCase{"float", FloatValue(1.5), 40, true, 1, 1.5, "1.5"},
        KindCase{"floatShortest", FloatValue(0.1), 40, true, 0, 0.1, "0.1"},
        KindCase{"floatInf", FloatValue(-HUGE_VAL), 40, true, INT64_MIN, -HUGE_VAL, "-inf"},
        KindCase{"stringNumber", StringValue("42"), 50, false, 42, 42.0, "42"},
        KindCase{"stringUtf8", StringValue("Größe 🎥 日本"), 50, false, 0, 0.0, "Größe 🎥 日本"},
        KindCase{"stringTrue", StringValue("true"), 50, true, 0, 0.0, "true"},
        KindCase{"data", DataValue({0x00, 0xff, 0x10, 0x80}), 60, true, 0, 0.0, "AP8QgA=="},
        KindCase{"dataEmpty", DataValue({}), 60, false, 0, 0.0, ""},
        KindCase{"date", DateValue(19723), 70, true, 19723, 19723.0, "2024-01-01"},
        KindCase{"datePreEpoch", DateValue(-1), 70, true, -1, -1.0, "1969-12-31"},
        KindCase{"time", TimeValue(45296789), 80, true, 45296789, 45296789.0, "12:34:56.789"},
        KindCase{"dateTime", DateTimeValue(1704112496789), 90, true, 1704112496789, 1704112496789.0,
                 "2024-01-01T12:34:56.789Z"},
        KindCase{"timestamp", TimestampValue(1704112496789), 100, true, 1704112496789,
                 1704112496789.0, "1704112496789"},
        KindCase{"id", IdValue(77), 110, true, 77, 77.0, "77"},
        KindCase{"dateMax", DateValue(INT64_MAX), 70, true, INT64_MAX, 9223372036854775807.0,
                 "25252734927768524-07-27"},
        KindCase{"dateMin", DateValue(INT64_MIN), 70, true, INT64_MIN, -9223372036854775807.0 - 1,
                 "-25252734927764585-06-07"},
        KindCase{"timeMin", TimeValue(INT64_MIN), 80, true, INT64_MIN, -9223372036854775807.0 - 1,
                 "16:47:04.192"},
        KindCase{"dateTimeMax", DateTimeValue(INT64_MAX), 90, true, INT64_MAX,
                 9223372036854775807.0, "292278994-08-17T07:12:55.807Z"},
        KindCase{"dateTimeMin", DateTimeValue(INT64_MIN), 90, true, INT64_MIN,
                 -9223372036854775807.0 - 1, "-292275055-05-16T16:47:04.192Z"}),
    [](const auto &info) { return std::string(info.param.label); });

TEST(Value, IntConversionKeepsTheLow32Bits)
{
    EXPECT_EQ(IntValue(4294967297).toInt(), 1);
    EXPECT_EQ(IntValue(4294967295).toInt(), -1);
    EXPECT_EQ(IntValue(-5).toInt(), -5);
}

TEST(Value, NanSurvivesTheWireAndEqualsItself)
{
    const FloatValue nan(std::nan(""));
    EXPECT_EQ(nan.toString(), "nan");
    EXPECT_EQ(nan.toInt64(), 0);
    auto back = wire::valueFromJson(wire::toJson(nan));
    ASSERT_TRUE(back);
    EXPECT_TRUE(std::isnan(back->toDouble()));
    EXPECT_EQ(*back, nan);
}

TEST(Value, FromPayloadRefusesAPayloadOfTheWrongShape)
{
    EXPECT_EQ(Value::fromPayload(20, std::int64_t(1)).kind(), NoneValue::Kind);
    EXPECT_EQ(Value::fromPayload(15, std::int64_t(1)).kind(), NoneValue::Kind);
    EXPECT_EQ(Value::fromPayload(110, std::int64_t(9)), IdValue(9));
}

TEST(Value, WireFormOfTheWrongShapeIsRefused)
{
    for (const char *text :
         {R"({"kind":20,"v":1})", R"({"kind":30,"v":1.5})", R"({"kind":15,"v":1})",
          R"({"kind":50})", R"({"kind":10,"v":null})", R"({"kind":60,"v":"@@@@"})",
          R"({"kind":60,"v":"abc"})", R"({"v":true})", R"([20,true])", R"({"kind":"20","v":true})"})
        EXPECT_FALSE(wire::valueFromJson(wire::Json::parse(text))) << text;
}

TEST(Value, NumbersBeyondSignedSixtyFourBitsAndTypesBeyondIntAreRefused)
{
    EXPECT_FALSE(wire::valueFromJson(wire::Json::parse(R"({"kind":110,"v":9223372036854775808})")));
    EXPECT_TRUE(wire::valueFromJson(wire::Json::parse(R"({"kind":110,"v":9223372036854775807})")));
    std::int64_t id = 0;
    EXPECT_FALSE(wire::readInt(wire::Json::parse(R"({"id":18446744073709551615})"), "id", id));
    const auto object = [](const char *type) {
        return wire::Json::parse(
            std::string(R"({"id":1,"name":"","type":)") + type +
            R"(,"class":"","parent":0,"children":[],"settings":[],"serial":""})");
    };
    EXPECT_EQ(wire::objectFromJson(object("2"))->type, 2);
    EXPECT_FALSE(wire::objectFromJson(object("4294967298")));
    EXPECT_FALSE(wire::objectFromJson(object("-2147483649")));
}

TEST(ValuePtr, EmptyHandleReadsAsNone)
{
    ValuePtr empty;
    EXPECT_TRUE(empty.isNull());
    EXPECT_EQ(empty.value().kind(), NoneValue::Kind);
    EXPECT_EQ(empty->toString(), "");
    ValuePtr copy = ValuePtr(StringValue("x"));
    ValuePtr other = copy;
    EXPECT_EQ(&copy.value(), &other.value()); // copies share one value
}

TEST(NameValueMap, KeepsInsertionOrderAndReplacesInPlace)
{
    NameValueMap m;
    m.setValue("b", IntValue(1));
    m.setValue("a", IntValue(2));
    m.setValue("b", StringValue("three"));
    EXPECT_EQ(m.names(), (std::vector<std::string>{"b", "a"}));
    EXPECT_EQ(m.value("b"), StringValue("three"));
    EXPECT_TRUE(m.contains("a"));
    EXPECT_FALSE(m.contains("c"));
    EXPECT_EQ(m.value("c").kind(), NoneValue::Kind);

    NameValueMap copy = m;
    copy.setValue("a", BoolValue(true));
    EXPECT_EQ(m.value("a"), IntValue(2));
    EXPECT_TRUE(copy.remove("b"));
    EXPECT_FALSE(copy.remove("b"));
    EXPECT_EQ(copy.names(), (std::vector<std::string>{"a"}));

    auto back = wire::mapFromJson(wire::toJson(m));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, m);
}

TEST(NameValueMap, EmptyHandleIsStoredAsNone)
{
    NameValueMap m;
    m.setValue("field", ValuePtr());
    EXPECT_TRUE(m.contains("field"));
    EXPECT_EQ(m.value("field").kind(), NoneValue::Kind);
}

TEST(HandlerError, DescriptionIsTextLineBreakAndCode)
{
    EXPECT_EQ(HandlerError(404, "no object 7").description(), "no object 7\nCode: 404");
    EXPECT_EQ(HandlerError(1001, "").description(), "Code: 1001");
}

TEST(Object, DefaultIsInvalidAndViewsFollowTheType)
{
    Object none;
    EXPECT_FALSE(none.isValid());
    EXPECT_EQ(none.id(), 0);
    EXPECT_TRUE(none.children().empty());
    EXPECT_FALSE(none.toStream().isValid());

    ObjectData d;
    d.id = 11;
    d.type = static_cast<int>(ObjectType::Stream);
    d.serialNumber = "CAM-11";
    Object stream(d);
    EXPECT_TRUE(stream.isValid());
    EXPECT_EQ(stream.toStream().serialNumber(), "CAM-11");
    EXPECT_FALSE(stream.toDevice().isValid());
    EXPECT_EQ(stream.toDevice().serialNumber(), "");

    auto back = wire::objectFromJson(wire::toJson(d));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->serialNumber, "CAM-11");
}

TEST(Logger, PassesOnlyLinesAtOrAboveItsLevel)
{
    std::vector<std::string> lines;
    Logger logger([&](const std::string &t, LogLevel) { lines.push_back(t); }, LogLevel::Warning);
    logger.log(LogLevel::Info, "quiet");
    logger.log(LogLevel::Error, "loud");
    Logger all([&](const std::string &t, LogLevel) { lines.push_back(t); }, 0);
    all.log(LogLevel::Debug, "debug");
    Logger throwing([](const std::string &, LogLevel) { throw 1; }, 0);
    throwing.log(LogLevel::Error, "dropped");
    EXPECT_EQ(lines, (std::vector<std::string>{"loud", "debug"}));
}

} // namespace
