#pragma once

#include "zarn/BindingPair.h"
#include "zarn/Event.h"
#include "zarn/NameValueMap.h"
#include "zarn/Object.h"
#include "zarn/StreamChunk.h"
#include "zarn/StreamInfo.h"
#include "zarn/Value.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>

// JSON forms of the library's types as they travel in frames (see docs/zarn-protocol.md).
// Every reader returns nothing for a value of the wrong shape instead of throwing.
namespace ardix::zarn::wire {

using Json = nlohmann::json;

constexpr int kProtocolVersion = 1;

Json toJson(const Value &value);
std::optional<Value> valueFromJson(const Json &j);

// [[name, value], ...], order kept.
Json toJson(const NameValueMap &map);
std::optional<NameValueMap> mapFromJson(const Json &j);

Json toJson(const ObjectData &object);
std::optional<ObjectData> objectFromJson(const Json &j);

Json toJson(const Event &event);
std::optional<Event> eventFromJson(const Json &j);

Json toJson(const StreamChunk &chunk);
std::optional<StreamChunk> chunkFromJson(const Json &j);

Json toJson(const StreamInfo &info);
std::optional<StreamInfo> streamInfoFromJson(const Json &j);

Json toJson(const BindingPair &pair);
std::optional<BindingPair> bindingFromJson(const Json &j);

// Field readers: false when the key is missing or holds the wrong JSON type.
bool readInt(const Json &obj, const char *key, std::int64_t &out);
bool readString(const Json &obj, const char *key, std::string &out);

// Serialises without throwing: invalid UTF-8 in texts is replaced, not rejected.
std::string dump(const Json &j);
// Parses one frame body; nothing unless it is a JSON object.
std::optional<Json> parseObject(const std::string &body);

} // namespace ardix::zarn::wire
