#include "SiteState.h"

#include "ContinuousRecording.h"

#include "zarn/HandlerError.h"

#include <algorithm>

namespace ardix::sim {

using namespace ardix::zarn;
namespace wire = ardix::zarn::wire;

namespace {

// Thrown by the argument readers and checks; becomes the request's error answer.
struct RequestError
{
    int code;
    std::string text;
};

[[noreturn]] void refuse(int code, const std::string &text)
{
    throw RequestError{code, text};
}

std::int64_t argInt(const Json &args, const char *key)
{
    std::int64_t v = 0;
    if (!wire::readInt(args, key, v))
        refuse(HandlerError::BadRequest,
               std::string("argument \"") + key + "\" must be an integer");
    return v;
}

std::string argString(const Json &args, const char *key)
{
    std::string v;
    if (!wire::readString(args, key, v))
        refuse(HandlerError::BadRequest, std::string("argument \"") + key + "\" must be a string");
    return v;
}

Value argValue(const Json &args, const char *key)
{
    auto it = args.find(key);
    auto v = it == args.end() ? std::nullopt : wire::valueFromJson(*it);
    if (!v)
        refuse(HandlerError::BadRequest, std::string("argument \"") + key + "\" must be a value");
    return *v;
}

const char *typeName(ObjectType t)
{
    switch (t) {
    case ObjectType::Device:
        return "a device";
    case ObjectType::Sensor:
        return "a sensor";
    case ObjectType::Actuator:
        return "an actuator";
    case ObjectType::Stream:
        return "a stream";
    default:
        return "of that type";
    }
}

Answer ok(std::string detail = "", Json result = Json::object())
{
    Answer a;
    a.result = std::move(result);
    a.detail = std::move(detail);
    return a;
}

std::string quoted(const std::string &s)
{
    return "\"" + clipText(s) + "\"";
}

std::size_t encodedSize(const Json &j)
{
    return wire::dump(j).size();
}

void requireFits(const Json &j, const std::string &what)
{
    if (encodedSize(j) > SiteState::kMaxPayload)
        refuse(HandlerError::BadRequest,
               what + " would exceed " + std::to_string(SiteState::kMaxPayload) + " bytes encoded");
}

[[noreturn]] void refuseMissingAttribute(std::int64_t id, const std::string &name)
{
    refuse(HandlerError::NotFound,
           "object " + std::to_string(id) + " has no attribute " + quoted(name));
}

// The answer of a write to one attribute: what was written where, for the request log.
Answer attributeWritten(std::int64_t id, const std::string &name)
{
    return ok(quoted(name) + " on " + std::to_string(id));
}

} // namespace

std::string clipText(const std::string &text, std::size_t max)
{
    if (text.size() <= max)
        return text;
    std::size_t cut = max;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xc0) == 0x80)
        --cut; // not inside a UTF-8 sequence
    return text.substr(0, cut) + "... (" + std::to_string(text.size()) + " bytes)";
}

SiteState::SiteState(Site site, Pusher &pusher)
    : site_(std::move(site))
    , pusher_(pusher)
{
    reindex();
}

void SiteState::reindex()
{
    index_.clear();
    for (std::size_t i = 0; i < site_.objects.size(); ++i)
        index_.emplace(site_.objects[i].data.id, i);
    // A door actuator drives the door sensor that shares its "layout" setting.
    doorSensor_.clear();
    for (const auto &a : site_.objects) {
        const auto layout = a.data.settings.value("layout").toString();
        if (a.data.type != static_cast<int>(ObjectType::Actuator) ||
            a.data.className != "actuator.DOOR" || layout.empty())
            continue;
        for (const auto &s : site_.objects) {
            if (s.data.type == static_cast<int>(ObjectType::Sensor) &&
                s.data.settings.value("layout").toString() == layout) {
                doorSensor_[a.data.id] = s.data.id;
                break;
            }
        }
    }
}

void SiteState::replace(Site site)
{
    for (auto &o : site.objects) {
        if (auto old = find(o.data.id)) {
            o.attributes = old->attributes;
            if (old->value)
                o.value = old->value;
        }
    }
    site_ = std::move(site);
    objectParts_.reset();
    reindex();
    for (auto it = bindings_.begin(); it != bindings_.end();)
        it = find(it->first) ? std::next(it) : bindings_.erase(it);
}

SiteObject *SiteState::find(std::int64_t id)
{
    auto it = index_.find(id);
    return it == index_.end() ? nullptr : &site_.objects[it->second];
}

SiteObject &SiteState::requireAny(std::int64_t id)
{
    auto o = find(id);
    if (!o)
        refuse(HandlerError::NotFound, "no object " + std::to_string(id));
    return *o;
}

SiteObject &SiteState::require(std::int64_t id, ObjectType type)
{
    auto &o = requireAny(id);
    if (o.data.type != static_cast<int>(type))
        refuse(HandlerError::WrongKind,
               "object " + std::to_string(id) + " is not " + typeName(type));
    return o;
}

const std::map<std::string, SiteState::Handler> &SiteState::handlers()
{
    static const std::map<std::string, Handler> table = {
        {"signIn", &SiteState::signIn},
        {"getObjects", &SiteState::getObjects},
        {"getDynamicAttribute", &SiteState::getDynamicAttribute},
        {"createDynamicAttribute", &SiteState::createDynamicAttribute},
        {"setDynamicAttribute", &SiteState::setDynamicAttribute},
        {"removeDynamicAttribute", &SiteState::removeDynamicAttribute},
        {"getActuatorValue", &SiteState::getActuatorValue},
        {"setActuatorValue", &SiteState::setActuatorValue},
        {"bindStream", &SiteState::bindStream},
        {"unbindStream", &SiteState::unbindStream},
        {"searchChunks", &SiteState::searchChunks},
        {"getStreamInfo", &SiteState::getStreamInfo},
        {"sendEvent", &SiteState::sendEvent},
    };
    return table;
}

// Runs a handler and turns what it refused or threw into the error answer.
template <typename F> Answer SiteState::guarded(F &&handler)
{
    Answer a;
    try {
        a = handler();
    } catch (const RequestError &e) {
        a = Answer();
        a.code = e.code;
        a.text = e.text;
    } catch (const std::exception &e) {
        a = Answer();
        a.code = HandlerError::ServerError;
        a.text = e.what();
    }
    return a;
}

Answer SiteState::handle(const std::string &op, const Json &args, std::int64_t &sessionUser)
{
    return guarded([&] {
        auto it = handlers().find(op);
        if (it == handlers().end())
            refuse(HandlerError::UnknownOperation, "unknown operation " + quoted(op));
        if (op != "signIn" && sessionUser == 0)
            refuse(HandlerError::NotSignedIn, "sign in first");
        return (this->*(it->second))(args, sessionUser);
    });
}

Answer SiteState::handleEvent(PreparedEvent &&event, std::int64_t &sessionUser)
{
    return guarded([&] {
        if (sessionUser == 0)
            refuse(HandlerError::NotSignedIn, "sign in first");
        return sendPreparedEvent(std::move(event), sessionUser);
    });
}

Answer SiteState::signIn(const Json &args, std::int64_t &sessionUser)
{
    const auto name = argString(args, "user");
    const auto password = argString(args, "password");
    for (const auto &u : site_.users) {
        if (u.name == name && u.password == password) {
            sessionUser = u.id;
            return ok("user " + quoted(name) + " id " + std::to_string(u.id),
                      Json{{"userId", u.id}});
        }
    }
    refuse(HandlerError::WrongCredentials, "wrong user name or password");
}

Answer SiteState::getObjects(const Json &, std::int64_t &)
{
    Answer a =
        ok(std::to_string(site_.objects.size()) + " objects, root " + std::to_string(site_.rootId));
    if (!objectParts_)
        writeObjectParts();
    a.partTexts = objectParts_;
    a.result = Json{{"rootId", site_.rootId}, {"objects", lastObjects_}};
    return a;
}

void SiteState::writeObjectParts()
{
    // Parts of kObjectsPerPart objects, or fewer where their names are long, so that a part
    // stays far below the frame limit; the objects after the last full part go in the result.
    constexpr std::size_t kPartBytes = 1024 * 1024;
    auto parts = std::make_shared<std::vector<std::string>>();
    std::string part;
    lastObjects_ = Json::array();
    for (const auto &o : site_.objects) {
        Json object = wire::toJson(o.data);
        part += lastObjects_.empty() ? "{\"objects\":[" : ",";
        part += wire::dump(object);
        lastObjects_.push_back(std::move(object));
        if (lastObjects_.size() == kObjectsPerPart || part.size() >= kPartBytes) {
            parts->push_back(std::move(part) + "]}");
            part.clear();
            lastObjects_ = Json::array();
        }
    }
    objectParts_ = std::move(parts);
}

Answer SiteState::getDynamicAttribute(const Json &args, std::int64_t &)
{
    const auto id = argInt(args, "objectId");
    const auto name = argString(args, "name");
    auto &o = requireAny(id);
    NameValueMap out;
    if (name.empty()) {
        out = o.attributes; // fits: every write keeps the whole list under kMaxPayload
    } else if (o.attributes.contains(name)) {
        out.setValue(name, o.attributes.valuePtr(name));
    } else {
        refuseMissingAttribute(id, name);
    }
    return ok(std::to_string(out.size()) + " attributes", Json{{"attributes", wire::toJson(out)}});
}

Answer SiteState::createDynamicAttribute(const Json &args, std::int64_t &)
{
    const auto id = argInt(args, "objectId");
    const auto name = argString(args, "name");
    const auto value = argValue(args, "value");
    auto &o = requireAny(id);
    if (name.empty())
        refuse(HandlerError::BadRequest, "attribute name must not be empty");
    if (o.attributes.contains(name))
        refuse(HandlerError::Conflict,
               "object " + std::to_string(id) + " already has attribute " + quoted(name));
    requireRoomForAttribute(o, name, value);
    o.attributes.setValue(name, value);
    return attributeWritten(id, name);
}

Answer SiteState::setDynamicAttribute(const Json &args, std::int64_t &)
{
    const auto id = argInt(args, "objectId");
    const auto name = argString(args, "name");
    const auto value = argValue(args, "value");
    auto &o = requireAny(id);
    if (!o.attributes.contains(name))
        refuseMissingAttribute(id, name);
    requireRoomForAttribute(o, name, value);
    o.attributes.setValue(name, value);
    return attributeWritten(id, name);
}

void SiteState::requireRoomForAttribute(const SiteObject &o, const std::string &name,
                                        const Value &value) const
{
    // The list as it would be after the write: getDynamicAttribute(id, "") answers all of it.
    NameValueMap after = o.attributes;
    after.setValue(name, value);
    requireFits(wire::toJson(after), "the attributes of object " + std::to_string(o.data.id));
}

Answer SiteState::removeDynamicAttribute(const Json &args, std::int64_t &)
{
    const auto id = argInt(args, "objectId");
    const auto name = argString(args, "name");
    auto &o = requireAny(id);
    if (!o.attributes.remove(name))
        refuseMissingAttribute(id, name);
    return attributeWritten(id, name);
}

Answer SiteState::getActuatorValue(const Json &args, std::int64_t &)
{
    auto &o = require(argInt(args, "id"), ObjectType::Actuator);
    return ok(o.value->toString(), Json{{"value", wire::toJson(o.value.value())}});
}

Answer SiteState::setActuatorValue(const Json &args, std::int64_t &)
{
    const auto id = argInt(args, "id");
    const auto value = argValue(args, "value");
    auto &o = require(id, ObjectType::Actuator);
    requireFits(wire::toJson(value), "the value");
    if (value.kind() != o.value->kind())
        refuse(HandlerError::WrongKind, "actuator " + std::to_string(id) + " takes kind " +
                                            std::to_string(o.value->kind()) + ", not " +
                                            std::to_string(value.kind()));
    o.value = ValuePtr(value);
    pushValue("actuatorValue", id, o.value);
    auto door = doorSensor_.find(id);
    if (door != doorSensor_.end()) {
        // The door follows its lock a moment later, as a real door contact does.
        const auto sensorId = door->second;
        pusher_.after(site_.doorDelayMs, [this, sensorId, value] {
            if (auto sensor = find(sensorId))
                setSensorValue(*sensor, value);
        });
    }
    return ok(std::to_string(id) + " = " + value.toString());
}

Answer SiteState::bindStream(const Json &args, std::int64_t &)
{
    const auto streamId = argInt(args, "streamId");
    require(streamId, ObjectType::Stream);
    auto list = args.find("bindings");
    if (list == args.end() || !list->is_array() || list->empty())
        refuse(HandlerError::BadRequest, "argument \"bindings\" must be a non-empty array");
    std::vector<BindingPair> pairs;
    for (const auto &b : *list) {
        auto pair = wire::bindingFromJson(b);
        if (!pair)
            refuse(HandlerError::BadRequest, "a binding needs \"deviceId\" and \"type\"");
        require(pair->deviceId, ObjectType::Device);
        if (pair->type < 1 || pair->type > 3)
            refuse(HandlerError::BadRequest,
                   "binding type " + std::to_string(pair->type) + " is not 1, 2 or 3");
        pairs.push_back(*pair);
    }
    for (const auto &p : pairs)
        bindings_[streamId][p.deviceId] = p.type;
    return ok("stream " + std::to_string(streamId) + " to " + std::to_string(pairs.size()) +
              " devices");
}

Answer SiteState::unbindStream(const Json &args, std::int64_t &)
{
    const auto streamId = argInt(args, "streamId");
    const auto deviceId = argInt(args, "deviceId");
    require(streamId, ObjectType::Stream);
    auto stream = bindings_.find(streamId);
    if (stream == bindings_.end() || stream->second.erase(deviceId) == 0)
        refuse(HandlerError::NotFound, "stream " + std::to_string(streamId) +
                                           " is not bound to device " + std::to_string(deviceId));
    return ok("stream " + std::to_string(streamId) + " from " + std::to_string(deviceId));
}

Answer SiteState::searchChunks(const Json &args, std::int64_t &)
{
    const auto streamId = argInt(args, "streamId");
    const auto searchBy = argInt(args, "searchBy");
    const auto start = argInt(args, "start");
    const auto end = argInt(args, "end");
    auto &o = require(streamId, ObjectType::Stream);
    if (searchBy != 0 && searchBy != 1)
        refuse(HandlerError::BadRequest,
               "searchBy " + std::to_string(searchBy) + " is not 0 (start) or 1 (end)");
    if (start > end)
        refuse(HandlerError::BadRequest, "start lies after end");
    std::vector<zarn::StreamChunk> found;
    const auto add = [&](const zarn::StreamChunk &c) {
        const auto t = searchBy == 0 ? c.start : c.end;
        if (t >= start && t <= end)
            found.push_back(c);
    };
    for (const auto &c : o.chunks)
        add(c);
    // What was recorded since the load, the chunk being recorded ending now; listed chunks
    // may lie among them.
    if (o.recorder) {
        for (const auto &c : o.recorder->chunks(o.recorder->now()))
            add(c);
        std::stable_sort(found.begin(), found.end(),
                         [](const auto &a, const auto &b) { return a.start < b.start; });
    }
    Json list = Json::array();
    for (const auto &c : found)
        list.push_back(wire::toJson(c));
    ++chunkSearches_[streamId];
    return ok(std::to_string(list.size()) + " chunks", Json{{"chunks", std::move(list)}});
}

std::int64_t SiteState::chunkSearches(std::int64_t streamId) const
{
    const auto it = chunkSearches_.find(streamId);
    return it == chunkSearches_.end() ? 0 : it->second;
}

bool SiteState::setRecording(std::int64_t streamId, bool on)
{
    const SiteObject *o = hasObject(streamId) ? &site_.objects[index_.at(streamId)] : nullptr;
    if (!o || !o->recorder)
        return false;
    o->recorder->setRecording(on, o->recorder->now());
    return true;
}

Answer SiteState::getStreamInfo(const Json &args, std::int64_t &)
{
    const auto deviceId = argInt(args, "deviceId");
    const auto streamId = argInt(args, "streamId");
    auto &device = require(deviceId, ObjectType::Device);
    require(streamId, ObjectType::Stream);
    StreamInfo info{deviceId, streamId,
                    "tok-" + std::to_string(streamId) + "-" + std::to_string(nextToken_++),
                    device.data.settings.value("address").toString()};
    if (info.address.empty())
        info.address = "127.0.0.1";
    return ok(info.address + " " + info.token, wire::toJson(info));
}

PreparedEvent SiteState::prepareEvent(const Json &args)
{
    PreparedEvent p;
    auto it = args.find("event");
    auto event = it == args.end() ? std::nullopt : wire::eventFromJson(*it);
    if (!event) {
        p.code = HandlerError::BadRequest;
        p.text = "argument \"event\" must be an event";
        return p;
    }
    p.fieldsText = wire::dump(wire::toJson(event->fields));
    event->fields.clear();
    p.event = std::move(*event);
    // The event as it would be written: its other members, then the fields in place of "[]".
    if (wire::dump(wire::toJson(p.event)).size() - 2 + p.fieldsText.size() > kMaxPayload) {
        p.code = HandlerError::BadRequest;
        p.text = "the event would exceed " + std::to_string(kMaxPayload) + " bytes encoded";
    }
    return p;
}

Answer SiteState::sendEvent(const Json &args, std::int64_t &sessionUser)
{
    return sendPreparedEvent(prepareEvent(args), sessionUser);
}

Answer SiteState::sendPreparedEvent(PreparedEvent &&prepared, std::int64_t sessionUser)
{
    if (prepared.code != 0)
        refuse(prepared.code, prepared.text);
    const auto dest = prepared.event.destinationId;
    const bool isUser = std::any_of(site_.users.begin(), site_.users.end(),
                                    [dest](const SiteUser &u) { return u.id == dest; });
    if (dest != 0 && !isUser && !find(dest))
        refuse(HandlerError::NotFound, "no user or object " + std::to_string(dest));
    const auto cls = prepared.event.className;
    const auto id = deliverPrepared(std::move(prepared.event), prepared.fieldsText, sessionUser);
    return ok(quoted(cls) + " to " + std::to_string(dest) + " id " + std::to_string(id),
              Json{{"eventId", id}});
}

std::int64_t SiteState::deliverEvent(Event event, std::int64_t senderUser)
{
    const auto fieldsText = wire::dump(wire::toJson(event.fields));
    event.fields.clear();
    return deliverPrepared(std::move(event), fieldsText, senderUser);
}

std::int64_t SiteState::deliverPrepared(Event event, const std::string &fieldsText,
                                        std::int64_t senderUser)
{
    event.eventId = nextEventId_++;
    if (event.sourceId == 0)
        event.sourceId = senderUser;
    if (event.timestamp == 0)
        event.timestamp = nowMs();
    const bool broadcast = event.destinationId == 0;
    Json push{{"push", "event"}, {"event", wire::toJson(event)}, {"broadcast", broadcast}};
    // Written with the fields already written (on the preparing thread, for a large event):
    // keys are written sorted, so the event's "fields" is the first one, and every quote
    // inside the class name before it is escaped, so nothing else reads "fields":[].
    auto body = wire::dump(push);
    static const std::string slot = "\"fields\":[]";
    const auto at = body.find(slot);
    if (at != std::string::npos)
        body.replace(at + slot.size() - 2, 2, fieldsText);
    pusher_.pushEncoded(broadcast ? 0 : event.destinationId, body);
    return event.eventId;
}

bool SiteState::setObjectValue(std::int64_t id, const Value &value)
{
    auto o = find(id);
    if (!o || (o->data.type != static_cast<int>(ObjectType::Sensor) &&
               o->data.type != static_cast<int>(ObjectType::Actuator)))
        return false;
    if (o->data.type == static_cast<int>(ObjectType::Sensor)) {
        setSensorValue(*o, value);
        return true;
    }
    o->value = ValuePtr(value);
    pushValue("actuatorValue", id, o->value);
    return true;
}

void SiteState::setSensorValue(SiteObject &sensor, const Value &value)
{
    const bool changed = !sensor.value || !(*sensor.value == value);
    sensor.value = ValuePtr(value);
    pushValue("sensorValue", sensor.data.id, sensor.value);
    const bool door = sensor.data.className == "sensor.DOOR" ||
                      std::any_of(doorSensor_.begin(), doorSensor_.end(),
                                  [&](const auto &pair) { return pair.second == sensor.data.id; });
    if (!changed || !door || value.kind() != BoolValue::Kind)
        return;
    // In the demo true is closed and locked.
    if (value.toBool())
        raiseEvent(sensor.data.id, "door.CLOSED", textFields("door closed"));
    else
        raiseEvent(sensor.data.id, "door.OPENED", textFields("door opened"));
}

std::string SiteState::textFields(const std::string &text)
{
    return wire::dump(Json{{"text", text}});
}

std::int64_t SiteState::raiseEvent(std::int64_t sourceId, const std::string &className,
                                   const std::string &fieldsJson)
{
    Event event;
    event.eventId = nextEventId_++;
    event.sourceId = sourceId;
    event.className = className;
    event.timestamp = nowMs();
    event.fields.setValue("fields", StringValue(fieldsJson));
    for (const auto &user : site_.users) {
        event.destinationId = user.id;
        pusher_.pushToUser(
            user.id, Json{{"push", "event"}, {"event", wire::toJson(event)}, {"broadcast", false}});
    }
    return event.eventId;
}

std::vector<Json> SiteState::valuePushes() const
{
    std::vector<Json> pushes;
    for (const auto &o : site_.objects) {
        if (!o.value)
            continue;
        if (o.data.type == static_cast<int>(ObjectType::Sensor))
            pushes.push_back(valuePush("sensorValue", o.data.id, *o.value));
        else if (o.data.type == static_cast<int>(ObjectType::Actuator))
            pushes.push_back(valuePush("actuatorValue", o.data.id, *o.value));
    }
    return pushes;
}

void SiteState::pushValue(const char *kind, std::int64_t id, const ValuePtr &value)
{
    pusher_.pushToSignedIn(valuePush(kind, id, *value));
}

Json SiteState::valuePush(const char *kind, std::int64_t id, const Value &value)
{
    return Json{{"push", kind}, {"objectId", id}, {"value", wire::toJson(value)}};
}

} // namespace ardix::sim
