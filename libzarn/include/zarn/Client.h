#pragma once

#include "zarn/BindingPair.h"
#include "zarn/Connection.h"
#include "zarn/Event.h"
#include "zarn/HandlerError.h"
#include "zarn/NameValueMap.h"
#include "zarn/Object.h"
#include "zarn/StreamChunk.h"
#include "zarn/StreamInfo.h"
#include "zarn/Value.h"
#include "zarn/ValuePtr.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ardix::zarn {

struct ClientCallbacks;

namespace detail {
class ClientImpl;
class ClientOwner;
} // namespace detail

// The event-server session on a Connection: sign-in and every request, plus what the server
// pushes. Each request calls exactly one of its ok/fail functions exactly once, on the I/O
// thread and never inside the call that made it; an empty function is simply not called.
// When the connection is not open the request fails with NotConnected; when it closes or
// breaks while the request is pending, with ConnectionLost. Nothing is called any more once
// the last copy of the Client is gone, and dropping it from any thread does not block beyond
// a callback that is running at that moment (none at all from the I/O thread itself).
// Requests need not wait for one another: any number may be in flight on the connection, the
// server may answer them in any order, and a burst made back to back leaves in a few writes.
class Client
{
public:
    using Fail = std::function<void(const HandlerError &error)>;
    using Done = std::function<void()>;
    using SignInOk = std::function<void(std::int64_t userId)>;
    using ObjectsOk = std::function<void(const std::vector<Object> &objects, std::int64_t rootId)>;
    using AttributesOk = std::function<void(const NameValueMap &attributes)>;
    using ValueOk = std::function<void(ValuePtr value)>;
    using ChunksOk = std::function<void(const std::vector<StreamChunk> &chunks)>;
    using StreamInfoOk = std::function<void(const StreamInfo &info)>;
    using EventOk = std::function<void(std::int64_t eventId)>;

    // Chunk search: by the chunk's start or by its end falling in [start, end].
    enum SearchBy { ByStart = 0, ByEnd = 1 };

    // A client on a closed connection of its own; every request fails with NotConnected.
    Client();
    Client(ClientCallbacks callbacks, Connection connection);

    // Signs in; ok receives the user's id. Every other request needs a signed-in session.
    void signIn(const std::string &user, const std::string &password, SignInOk ok, Fail fail);
    // The whole object tree as a flat list, with the id of its root. A list of more than
    // kMaxObjects objects fails with HandlerError::AnswerTooLarge.
    void getObjects(ObjectsOk ok, Fail fail);
    static constexpr std::size_t kMaxObjects = 200000;
    using ObjectsPart = std::function<void(std::vector<Object> objects)>;
    using RootOk = std::function<void(std::int64_t rootId)>;
    // The same list handed over part by part as the answer arrives, so that the caller can
    // work on the first parts while the later ones are on their way: `part` runs for each part
    // in order (the last one included), then `ok` with the root's id, or `fail` after any
    // number of parts. Same limit as getObjects.
    void getObjectsInParts(ObjectsPart part, RootOk ok, Fail fail);
    // The dynamic attribute `name` of an object; name "" gives all of them.
    void getDynamicAttribute(std::int64_t objectId, const std::string &name, AttributesOk ok,
                             Fail fail);
    // Creates an attribute; fails with Conflict when it exists.
    void createDynamicAttribute(std::int64_t objectId, const std::string &name, const Value &value,
                                Done ok, Fail fail);
    // Replaces an attribute's value; fails with NotFound when it does not exist.
    void setDynamicAttribute(std::int64_t objectId, const std::string &name, const Value &value,
                             Done ok, Fail fail);
    void removeDynamicAttribute(std::int64_t objectId, const std::string &name, Done ok, Fail fail);
    // Current value of an actuator.
    void getActuatorValue(std::int64_t actuatorId, ValueOk ok, Fail fail);
    // Commands an actuator; the value must have the actuator's kind (WrongKind otherwise).
    // The new value then arrives as an actuator push.
    void setActuatorValue(std::int64_t actuatorId, const Value &value, Done ok, Fail fail);
    // Binds a stream to devices (BindingPair::type 1 proxy, 2 storage, 3 both).
    void bindStream(std::int64_t streamId, const std::vector<BindingPair> &bindings, Done ok,
                    Fail fail);
    void unbindStream(std::int64_t streamId, std::int64_t deviceId, Done ok, Fail fail);
    // Recorded chunks of a stream whose start (searchBy 0) or end (searchBy 1) lies in
    // [start, end], milliseconds since the epoch, ordered by start.
    void searchChunks(std::int64_t streamId, int searchBy, std::int64_t start, std::int64_t end,
                      ChunksOk ok, Fail fail);
    // The gateway that serves a stream: token and address.
    void getStreamInfo(std::int64_t deviceId, std::int64_t streamId, StreamInfoOk ok, Fail fail);
    // Sends an event; ok receives the id the server gave it.
    void sendEvent(const Event &event, EventOk ok, Fail fail);

    Connection connection() const;
    // Id of the signed-in user, 0 before sign-in.
    std::int64_t userId() const;

private:
    std::shared_ptr<detail::ClientOwner> d_;
};

// What the server pushes to a signed-in client, in this order.
struct ClientCallbacks
{
    // The object tree changed; fetch it again with getObjects.
    std::function<void()> objectsChanged;
    // An event addressed to this client's user.
    std::function<void(const Event &event)> event;
    // An event addressed to everyone (destination id 0).
    std::function<void(const Event &event)> broadcastEvent;
    // A sensor reported a new value.
    std::function<void(std::int64_t sensorId, ValuePtr value)> sensorValue;
    // An actuator took a new value.
    std::function<void(std::int64_t actuatorId, ValuePtr value)> actuatorValue;
};

} // namespace ardix::zarn
