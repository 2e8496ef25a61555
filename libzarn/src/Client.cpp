#include "ClientImpl.h"

#include "wire/Codec.h"

#include <algorithm>

namespace ardix::zarn {

namespace detail {

void ClientImpl::objectsChanged()
{
    gate_->run([&] {
        if (callbacks_.objectsChanged)
            callbacks_.objectsChanged();
    });
}

void ClientImpl::event(const Event &e, bool broadcast)
{
    gate_->run([&] {
        auto &fn = broadcast ? callbacks_.broadcastEvent : callbacks_.event;
        if (fn)
            fn(e);
    });
}

void ClientImpl::sensorValue(std::int64_t id, const ValuePtr &value)
{
    gate_->run([&] {
        if (callbacks_.sensorValue)
            callbacks_.sensorValue(id, value);
    });
}

void ClientImpl::actuatorValue(std::int64_t id, const ValuePtr &value)
{
    gate_->run([&] {
        if (callbacks_.actuatorValue)
            callbacks_.actuatorValue(id, value);
    });
}

} // namespace detail

namespace {

using wire::Json;

// Builds the pending entry of one request: `decode` reads the result and calls the user's ok
// function through the gate; it returns false when the result has the wrong shape.
template <typename Decode>
detail::PendingRequest makeRequest(const std::shared_ptr<detail::Gate> &gate, Decode decode,
                                   Client::Fail fail)
{
    detail::PendingRequest r;
    r.onResult = [gate, decode = std::move(decode)](const Json &result) {
        return decode(result, *gate);
    };
    r.onError = [gate, fail = std::move(fail)](const HandlerError &e) {
        gate->run([&] {
            if (fail)
                fail(e);
        });
    };
    return r;
}

// For requests whose result carries nothing.
detail::PendingRequest doneRequest(const std::shared_ptr<detail::Gate> &gate, Client::Done ok,
                                   Client::Fail fail)
{
    return makeRequest(
        gate,
        [ok = std::move(ok)](const Json &result, detail::Gate &g) {
            if (!result.is_object())
                return false;
            g.run([&] {
                if (ok)
                    ok();
            });
            return true;
        },
        std::move(fail));
}

} // namespace

Client::Client()
    : Client(ClientCallbacks{}, Connection())
{}

Client::Client(ClientCallbacks callbacks, Connection connection)
    : d_(std::make_shared<detail::ClientOwner>(std::move(callbacks), std::move(connection)))
{}

Connection Client::connection() const
{
    return d_->connection;
}

std::int64_t Client::userId() const
{
    return d_->impl->userId();
}

void Client::signIn(const std::string &user, const std::string &password, SignInOk ok, Fail fail)
{
    std::weak_ptr<detail::ClientImpl> weak = d_->impl;
    auto decode = [weak, ok = std::move(ok)](const Json &result, detail::Gate &g) {
        std::int64_t id = 0;
        if (!result.is_object() || !wire::readInt(result, "userId", id))
            return false;
        if (auto impl = weak.lock())
            impl->setUserId(id);
        g.run([&] {
            if (ok)
                ok(id);
        });
        return true;
    };
    d_->impl->connection().request(
        "signIn", Json{{"user", user}, {"password", password}},
        makeRequest(d_->impl->gate(), std::move(decode), std::move(fail)));
}

namespace {

// Decodes one part of the object list into `objects`; false for a malformed part. Throws
// AnswerTooLarge once the parts so far hold more than kMaxObjects objects.
bool decodeObjects(const Json &part, std::size_t &total, std::vector<Object> &objects)
{
    auto list = part.find("objects");
    if (!part.is_object() || list == part.end() || !list->is_array())
        return false;
    if (list->size() > Client::kMaxObjects - std::min(total, Client::kMaxObjects))
        throw HandlerError(HandlerError::AnswerTooLarge, "the object list exceeds " +
                                                             std::to_string(Client::kMaxObjects) +
                                                             " objects");
    total += list->size();
    objects.reserve(objects.size() + list->size());
    for (const auto &o : *list) {
        auto data = wire::objectFromJson(o);
        if (!data)
            return false;
        objects.emplace_back(std::move(*data));
    }
    return true;
}

} // namespace

void Client::getObjects(ObjectsOk ok, Fail fail)
{
    // The list may come in several parts before the final answer.
    auto objects = std::make_shared<std::vector<Object>>();
    auto total = std::make_shared<std::size_t>(0);
    auto append = [objects, total](const Json &part) {
        return decodeObjects(part, *total, *objects);
    };
    auto decode = [objects, append, ok = std::move(ok)](const Json &result, detail::Gate &g) {
        std::int64_t root = 0;
        if (!append(result) || !wire::readInt(result, "rootId", root))
            return false;
        g.run([&] {
            if (ok)
                ok(*objects, root);
        });
        return true;
    };
    auto request = makeRequest(d_->impl->gate(), std::move(decode), std::move(fail));
    request.onPart = append;
    d_->impl->connection().request("getObjects", Json::object(), std::move(request));
}

void Client::getObjectsInParts(ObjectsPart part, RootOk ok, Fail fail)
{
    auto total = std::make_shared<std::size_t>(0);
    auto deliver = [gate = d_->impl->gate(), total, part = std::move(part)](const Json &answer) {
        std::vector<Object> objects;
        if (!decodeObjects(answer, *total, objects))
            return false;
        gate->run([&] {
            if (part)
                part(std::move(objects));
        });
        return true;
    };
    auto decode = [deliver, ok = std::move(ok)](const Json &result, detail::Gate &g) {
        std::int64_t root = 0;
        if (!wire::readInt(result, "rootId", root) || !deliver(result))
            return false;
        g.run([&] {
            if (ok)
                ok(root);
        });
        return true;
    };
    auto request = makeRequest(d_->impl->gate(), std::move(decode), std::move(fail));
    request.onPart = deliver;
    d_->impl->connection().request("getObjects", Json::object(), std::move(request));
}

void Client::getDynamicAttribute(std::int64_t objectId, const std::string &name, AttributesOk ok,
                                 Fail fail)
{
    auto decode = [ok = std::move(ok)](const Json &result, detail::Gate &g) {
        auto attrs = result.is_object() && result.contains("attributes")
                         ? wire::mapFromJson(result["attributes"])
                         : std::nullopt;
        if (!attrs)
            return false;
        g.run([&] {
            if (ok)
                ok(*attrs);
        });
        return true;
    };
    d_->impl->connection().request(
        "getDynamicAttribute", Json{{"objectId", objectId}, {"name", name}},
        makeRequest(d_->impl->gate(), std::move(decode), std::move(fail)));
}

void Client::createDynamicAttribute(std::int64_t objectId, const std::string &name,
                                    const Value &value, Done ok, Fail fail)
{
    d_->impl->connection().request(
        "createDynamicAttribute",
        Json{{"objectId", objectId}, {"name", name}, {"value", wire::toJson(value)}},
        doneRequest(d_->impl->gate(), std::move(ok), std::move(fail)));
}

void Client::setDynamicAttribute(std::int64_t objectId, const std::string &name, const Value &value,
                                 Done ok, Fail fail)
{
    d_->impl->connection().request(
        "setDynamicAttribute",
        Json{{"objectId", objectId}, {"name", name}, {"value", wire::toJson(value)}},
        doneRequest(d_->impl->gate(), std::move(ok), std::move(fail)));
}

void Client::removeDynamicAttribute(std::int64_t objectId, const std::string &name, Done ok,
                                    Fail fail)
{
    d_->impl->connection().request("removeDynamicAttribute",
                                   Json{{"objectId", objectId}, {"name", name}},
                                   doneRequest(d_->impl->gate(), std::move(ok), std::move(fail)));
}

void Client::getActuatorValue(std::int64_t actuatorId, ValueOk ok, Fail fail)
{
    auto decode = [ok = std::move(ok)](const Json &result, detail::Gate &g) {
        auto value = result.is_object() && result.contains("value")
                         ? wire::valueFromJson(result["value"])
                         : std::nullopt;
        if (!value)
            return false;
        ValuePtr ptr(*value);
        g.run([&] {
            if (ok)
                ok(ptr);
        });
        return true;
    };
    d_->impl->connection().request(
        "getActuatorValue", Json{{"id", actuatorId}},
        makeRequest(d_->impl->gate(), std::move(decode), std::move(fail)));
}

void Client::setActuatorValue(std::int64_t actuatorId, const Value &value, Done ok, Fail fail)
{
    d_->impl->connection().request("setActuatorValue",
                                   Json{{"id", actuatorId}, {"value", wire::toJson(value)}},
                                   doneRequest(d_->impl->gate(), std::move(ok), std::move(fail)));
}

void Client::bindStream(std::int64_t streamId, const std::vector<BindingPair> &bindings, Done ok,
                        Fail fail)
{
    Json list = Json::array();
    for (const auto &b : bindings)
        list.push_back(wire::toJson(b));
    d_->impl->connection().request("bindStream",
                                   Json{{"streamId", streamId}, {"bindings", std::move(list)}},
                                   doneRequest(d_->impl->gate(), std::move(ok), std::move(fail)));
}

void Client::unbindStream(std::int64_t streamId, std::int64_t deviceId, Done ok, Fail fail)
{
    d_->impl->connection().request("unbindStream",
                                   Json{{"streamId", streamId}, {"deviceId", deviceId}},
                                   doneRequest(d_->impl->gate(), std::move(ok), std::move(fail)));
}

void Client::searchChunks(std::int64_t streamId, int searchBy, std::int64_t start, std::int64_t end,
                          ChunksOk ok, Fail fail)
{
    auto decode = [ok = std::move(ok)](const Json &result, detail::Gate &g) {
        auto list = result.is_object() ? result.find("chunks") : result.end();
        if (!result.is_object() || list == result.end() || !list->is_array())
            return false;
        std::vector<StreamChunk> chunks;
        chunks.reserve(list->size());
        for (const auto &c : *list) {
            auto chunk = wire::chunkFromJson(c);
            if (!chunk)
                return false;
            chunks.push_back(*chunk);
        }
        g.run([&] {
            if (ok)
                ok(chunks);
        });
        return true;
    };
    d_->impl->connection().request(
        "searchChunks",
        Json{{"streamId", streamId}, {"searchBy", searchBy}, {"start", start}, {"end", end}},
        makeRequest(d_->impl->gate(), std::move(decode), std::move(fail)));
}

void Client::getStreamInfo(std::int64_t deviceId, std::int64_t streamId, StreamInfoOk ok, Fail fail)
{
    auto decode = [ok = std::move(ok)](const Json &result, detail::Gate &g) {
        auto info = wire::streamInfoFromJson(result);
        if (!info)
            return false;
        g.run([&] {
            if (ok)
                ok(*info);
        });
        return true;
    };
    d_->impl->connection().request(
        "getStreamInfo", Json{{"deviceId", deviceId}, {"streamId", streamId}},
        makeRequest(d_->impl->gate(), std::move(decode), std::move(fail)));
}

void Client::sendEvent(const Event &event, EventOk ok, Fail fail)
{
    auto decode = [ok = std::move(ok)](const Json &result, detail::Gate &g) {
        std::int64_t id = 0;
        if (!result.is_object() || !wire::readInt(result, "eventId", id))
            return false;
        g.run([&] {
            if (ok)
                ok(id);
        });
        return true;
    };
    d_->impl->connection().request(
        "sendEvent", Json{{"event", wire::toJson(event)}},
        makeRequest(d_->impl->gate(), std::move(decode), std::move(fail)));
}

} // namespace ardix::zarn
