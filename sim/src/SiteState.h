#pragma once

#include "Site.h"
#include "wire/Codec.h"
#include "wire/FramedSocket.h"
#include "zarn/Event.h"
#include "zarn/Value.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace ardix::sim {

using Json = zarn::wire::Json;

// Client-controlled text as logs and error texts show it: at most `max` bytes (cut at a
// character boundary), then how long the whole was.
std::string clipText(const std::string &text, std::size_t max = 200);

// The outcome of one request: either a result (possibly preceded by parts) or an error.
struct Answer
{
    // Parts already written as JSON text, sent before `parts`.
    std::shared_ptr<const std::vector<std::string>> partTexts;
    std::vector<Json> parts;
    Json result = Json::object();
    int code = 0; // 0: ok
    std::string text;
    std::string detail; // what the log line says about the result
};

// An event request decoded and checked without the site: for a large event the costly part
// (decoding the fields and writing them as they travel), which the server can do away from its
// I/O thread. A refusal found on the way is kept for the answer.
struct PreparedEvent
{
    zarn::Event event;      // its fields are dropped once written to fieldsText
    std::string fieldsText; // the fields as the push carries them
    int code = 0;           // 0: nothing refused
    std::string text;
};

// How the state reaches the connected clients; implemented by the server.
class Pusher
{
public:
    virtual ~Pusher() = default;
    virtual void pushToSignedIn(const Json &push) = 0;
    virtual void pushToUser(std::int64_t userId, const Json &push) = 0;
    // A push already written as its frame body; onlyUser 0 sends it to every signed-in client.
    virtual void pushEncoded(std::int64_t onlyUser, const std::string &body) = 0;
    virtual void after(int ms, std::function<void()> fn) = 0;
};

// The event server's behaviour over a Site: every request and what it pushes. Not thread-safe;
// the server calls it on its one I/O thread.
class SiteState
{
public:
    SiteState(Site site, Pusher &pusher);

    // Takes a new site; dynamic attributes and values of objects that remain are kept.
    void replace(Site site);
    // Handles one request of a session; sessionUser is the session's signed-in user (0: none)
    // and is updated by signIn.
    Answer handle(const std::string &op, const Json &args, std::int64_t &sessionUser);
    // Decodes and checks the arguments of sendEvent; touches no state, so any thread may call
    // it. handleEvent then answers the request as handle("sendEvent", ...) would.
    static PreparedEvent prepareEvent(const Json &args);
    Answer handleEvent(PreparedEvent &&event, std::int64_t &sessionUser);

    // Sets a sensor's or actuator's value and pushes it; false for an unknown id.
    bool setObjectValue(std::int64_t id, const zarn::Value &value);
    // The pushes a client gets right after signing in: the current value of every sensor and
    // actuator, so that it need not wait for a change to know them.
    std::vector<Json> valuePushes() const;
    // Delivers an event as if a client had sent it; returns its id.
    std::int64_t deliverEvent(zarn::Event event, std::int64_t senderUser);
    // Raises a site event (docs/zarn-protocol.md, "Site events"): one event id, addressed to
    // each user of the site in turn; fieldsJson is the compact JSON object it carries.
    std::int64_t raiseEvent(std::int64_t sourceId, const std::string &className,
                            const std::string &fieldsJson);
    // The compact JSON object of a site event that carries only its text.
    static std::string textFields(const std::string &text);
    bool hasObject(std::int64_t id) const { return index_.count(id) > 0; }
    const std::vector<ScheduledEvent> &schedule() const { return site_.events; }

    std::size_t objectCount() const { return site_.objects.size(); }
    // How many chunk searches of a stream were answered since the start (0 for any other id).
    std::int64_t chunkSearches(std::int64_t streamId) const;
    // Stops (false) or resumes (true) the recording of a stream that goes on recording (a
    // gap); false when the stream has no such recording.
    bool setRecording(std::int64_t streamId, bool on);
    static const std::size_t kObjectsPerPart = 1000;
    // The most an object's attributes, an event or a value may take encoded: what is left of
    // a frame after the answer or push around it.
    static const std::size_t kMaxPayload = zarn::wire::kMaxFrameSize - 64 * 1024;

private:
    using Handler = Answer (SiteState::*)(const Json &args, std::int64_t &sessionUser);
    template <typename F> static Answer guarded(F &&handler);
    static const std::map<std::string, Handler> &handlers();

    void reindex();
    SiteObject *find(std::int64_t id);
    SiteObject &require(std::int64_t id, zarn::ObjectType type);
    SiteObject &requireAny(std::int64_t id);

    Answer signIn(const Json &args, std::int64_t &sessionUser);
    Answer getObjects(const Json &args, std::int64_t &sessionUser);
    void writeObjectParts();
    Answer getDynamicAttribute(const Json &args, std::int64_t &sessionUser);
    Answer createDynamicAttribute(const Json &args, std::int64_t &sessionUser);
    Answer setDynamicAttribute(const Json &args, std::int64_t &sessionUser);
    Answer removeDynamicAttribute(const Json &args, std::int64_t &sessionUser);
    Answer getActuatorValue(const Json &args, std::int64_t &sessionUser);
    Answer setActuatorValue(const Json &args, std::int64_t &sessionUser);
    Answer bindStream(const Json &args, std::int64_t &sessionUser);
    Answer unbindStream(const Json &args, std::int64_t &sessionUser);
    Answer searchChunks(const Json &args, std::int64_t &sessionUser);
    Answer getStreamInfo(const Json &args, std::int64_t &sessionUser);
    Answer sendEvent(const Json &args, std::int64_t &sessionUser);
    Answer sendPreparedEvent(PreparedEvent &&prepared, std::int64_t sessionUser);
    std::int64_t deliverPrepared(zarn::Event event, const std::string &fieldsText,
                                 std::int64_t senderUser);

    void requireRoomForAttribute(const SiteObject &o, const std::string &name,
                                 const zarn::Value &value) const;
    void setSensorValue(SiteObject &sensor, const zarn::Value &value);
    void pushValue(const char *kind, std::int64_t id, const zarn::ValuePtr &value);
    static Json valuePush(const char *kind, std::int64_t id, const zarn::Value &value);

    Site site_;
    // The object list as getObjects sends it, written once per site: a site of 100 000
    // objects takes longer to write than the client takes to read it.
    std::shared_ptr<const std::vector<std::string>> objectParts_;
    Json lastObjects_;
    Pusher &pusher_;
    std::unordered_map<std::int64_t, std::size_t> index_;
    std::unordered_map<std::int64_t, std::int64_t> doorSensor_;    // door actuator -> its sensor
    std::map<std::int64_t, std::map<std::int64_t, int>> bindings_; // stream -> device -> type
    std::map<std::int64_t, std::int64_t> chunkSearches_;           // stream -> searches answered
    std::int64_t nextEventId_ = 1;
    std::int64_t nextToken_ = 1;
};

} // namespace ardix::sim
