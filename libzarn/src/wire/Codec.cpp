#include "wire/Codec.h"

#include "Base64.h"

#include <cmath>
#include <cstdint>

namespace ardix::zarn::wire {

namespace {

Json floatToJson(double d)
{
    // JSON has no NaN or infinities; they travel as text.
    if (std::isnan(d))
        return "nan";
    if (std::isinf(d))
        return d > 0 ? "inf" : "-inf";
    return d;
}

std::optional<double> floatFromJson(const Json &j)
{
    if (j.is_number())
        return j.get<double>();
    if (j.is_string()) {
        const auto &s = j.get_ref<const std::string &>();
        if (s == "nan")
            return std::nan("");
        if (s == "inf")
            return HUGE_VAL;
        if (s == "-inf")
            return -HUGE_VAL;
    }
    return std::nullopt;
}

// Integers travel as signed 64-bit numbers; an unsigned one above INT64_MAX is not one of them.
bool isJsonInt(const Json &j)
{
    return j.is_number_integer() &&
           (!j.is_number_unsigned() ||
            j.get<std::uint64_t>() <= static_cast<std::uint64_t>(INT64_MAX));
}

std::int64_t jsonInt(const Json &j)
{
    return j.is_number_unsigned() ? static_cast<std::int64_t>(j.get<std::uint64_t>())
                                  : j.get<std::int64_t>();
}

} // namespace

bool readInt(const Json &obj, const char *key, std::int64_t &out)
{
    auto it = obj.find(key);
    if (it == obj.end() || !isJsonInt(*it))
        return false;
    out = jsonInt(*it);
    return true;
}

bool readString(const Json &obj, const char *key, std::string &out)
{
    auto it = obj.find(key);
    if (it == obj.end() || !it->is_string())
        return false;
    out = it->get<std::string>();
    return true;
}

Json toJson(const Value &value)
{
    Json j = {{"kind", value.kind()}};
    const auto &p = value.payload();
    if (auto b = std::get_if<bool>(&p))
        j["v"] = *b;
    else if (auto i = std::get_if<std::int64_t>(&p))
        j["v"] = *i;
    else if (auto d = std::get_if<double>(&p))
        j["v"] = floatToJson(*d);
    else if (auto s = std::get_if<std::string>(&p))
        j["v"] = *s;
    else if (auto bytes = std::get_if<Value::Bytes>(&p))
        j["v"] = detail::base64Encode(*bytes);
    return j;
}

std::optional<Value> valueFromJson(const Json &j)
{
    std::int64_t kind = 0;
    if (!j.is_object() || !readInt(j, "kind", kind))
        return std::nullopt;
    auto v = j.find("v");
    const bool has = v != j.end();
    switch (static_cast<ValueKind>(kind)) {
    case ValueKind::None:
        return has ? std::nullopt : std::optional<Value>(Value());
    case ValueKind::Bool:
        if (has && v->is_boolean())
            return BoolValue(v->get<bool>());
        return std::nullopt;
    case ValueKind::Float:
        if (has) {
            if (auto d = floatFromJson(*v))
                return FloatValue(*d);
        }
        return std::nullopt;
    case ValueKind::String:
        if (has && v->is_string())
            return StringValue(v->get<std::string>());
        return std::nullopt;
    case ValueKind::Data:
        if (has && v->is_string()) {
            if (auto bytes = detail::base64Decode(v->get_ref<const std::string &>()))
                return DataValue(std::move(*bytes));
        }
        return std::nullopt;
    case ValueKind::Int:
    case ValueKind::Date:
    case ValueKind::Time:
    case ValueKind::DateTime:
    case ValueKind::Timestamp:
    case ValueKind::Id:
        if (has && isJsonInt(*v))
            return Value::fromPayload(static_cast<int>(kind), jsonInt(*v));
        return std::nullopt;
    }
    return std::nullopt;
}

Json toJson(const NameValueMap &map)
{
    Json arr = Json::array();
    for (const auto &[name, value] : map.entries())
        arr.push_back(Json::array({name, toJson(value.value())}));
    return arr;
}

std::optional<NameValueMap> mapFromJson(const Json &j)
{
    if (!j.is_array())
        return std::nullopt;
    NameValueMap map;
    for (const auto &pair : j) {
        if (!pair.is_array() || pair.size() != 2 || !pair[0].is_string())
            return std::nullopt;
        auto value = valueFromJson(pair[1]);
        if (!value)
            return std::nullopt;
        map.setValue(pair[0].get<std::string>(), *value);
    }
    return map;
}

Json toJson(const ObjectData &o)
{
    return Json{{"id", o.id},
                {"name", o.name},
                {"type", o.type},
                {"class", o.className},
                {"parent", o.parent},
                {"children", o.children},
                {"settings", toJson(o.settings)},
                {"serial", o.serialNumber}};
}

std::optional<ObjectData> objectFromJson(const Json &j)
{
    ObjectData o;
    std::int64_t type = 0;
    if (!j.is_object() || !readInt(j, "id", o.id) || !readString(j, "name", o.name) ||
        !readInt(j, "type", type) || !readString(j, "class", o.className) ||
        !readInt(j, "parent", o.parent) || !readString(j, "serial", o.serialNumber) ||
        type < INT32_MIN || type > INT32_MAX)
        return std::nullopt;
    o.type = static_cast<int>(type);
    auto children = j.find("children");
    if (children == j.end() || !children->is_array())
        return std::nullopt;
    o.children.reserve(children->size());
    for (const auto &c : *children) {
        if (!isJsonInt(c))
            return std::nullopt;
        o.children.push_back(jsonInt(c));
    }
    auto settings = j.find("settings");
    if (settings == j.end())
        return std::nullopt;
    auto map = mapFromJson(*settings);
    if (!map)
        return std::nullopt;
    o.settings = std::move(*map);
    return o;
}

Json toJson(const Event &e)
{
    return Json{{"class", e.className},     {"eventId", e.eventId},
                {"sourceId", e.sourceId},   {"destinationId", e.destinationId},
                {"timestamp", e.timestamp}, {"fields", toJson(e.fields)}};
}

std::optional<Event> eventFromJson(const Json &j)
{
    Event e;
    if (!j.is_object() || !readString(j, "class", e.className) ||
        !readInt(j, "eventId", e.eventId) || !readInt(j, "sourceId", e.sourceId) ||
        !readInt(j, "destinationId", e.destinationId) || !readInt(j, "timestamp", e.timestamp))
        return std::nullopt;
    auto fields = j.find("fields");
    if (fields == j.end())
        return std::nullopt;
    auto map = mapFromJson(*fields);
    if (!map)
        return std::nullopt;
    e.fields = std::move(*map);
    return e;
}

Json toJson(const StreamChunk &c)
{
    return Json{{"id", c.id},
                {"streamId", c.streamId},
                {"start", c.start},
                {"end", c.end},
                {"size", c.size}};
}

std::optional<StreamChunk> chunkFromJson(const Json &j)
{
    StreamChunk c;
    if (!j.is_object() || !readInt(j, "id", c.id) || !readInt(j, "streamId", c.streamId) ||
        !readInt(j, "start", c.start) || !readInt(j, "end", c.end) || !readInt(j, "size", c.size))
        return std::nullopt;
    return c;
}

Json toJson(const StreamInfo &i)
{
    return Json{{"deviceId", i.deviceId},
                {"streamId", i.streamId},
                {"token", i.token},
                {"address", i.address}};
}

std::optional<StreamInfo> streamInfoFromJson(const Json &j)
{
    StreamInfo i;
    if (!j.is_object() || !readInt(j, "deviceId", i.deviceId) ||
        !readInt(j, "streamId", i.streamId) || !readString(j, "token", i.token) ||
        !readString(j, "address", i.address))
        return std::nullopt;
    return i;
}

Json toJson(const BindingPair &p)
{
    return Json{{"deviceId", p.deviceId}, {"type", p.type}};
}

std::optional<BindingPair> bindingFromJson(const Json &j)
{
    BindingPair p;
    std::int64_t type = 0;
    if (!j.is_object() || !readInt(j, "deviceId", p.deviceId) || !readInt(j, "type", type) ||
        type < INT32_MIN || type > INT32_MAX)
        return std::nullopt;
    p.type = static_cast<std::int32_t>(type);
    return p;
}

std::string dump(const Json &j)
{
    return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::optional<Json> parseObject(const std::string &body)
{
    Json j = Json::parse(body, nullptr, false);
    if (j.is_discarded() || !j.is_object())
        return std::nullopt;
    return j;
}

} // namespace ardix::zarn::wire
