// Every client request against the in-process simulator over loopback TCP: the success and the
// failure paths, and what the server pushes.
#include "ZarnTestSupport.h"

#include <algorithm>
#include <atomic>
#include <map>

using namespace ardix::zarn;
using namespace ardix::zarn::test;
namespace sim = ardix::sim;

namespace {

class Operations : public SimFixture
{
protected:
    void SetUp() override
    {
        SimFixture::SetUp();
        ASSERT_EQ(signIn(client), 500);
        // The values every sign-in brings are kept apart from what the tests make the server
        // push.
        const auto objects = site().objects;
        const auto values = std::count_if(objects.begin(), objects.end(), [](const auto &o) {
            return o.data.type == int(ObjectType::Sensor) ||
                   o.data.type == int(ObjectType::Actuator);
        });
        ASSERT_TRUE(pushes.waitFor([&] {
            return pushes.sensors.size() + pushes.actuators.size() == std::size_t(values);
        }));
        std::lock_guard<std::mutex> lock(pushes.mutex);
        signInSensors = std::exchange(pushes.sensors, {});
        signInActuators = std::exchange(pushes.actuators, {});
    }
    sim::Site site() override
    {
        auto s = SimFixture::site();
        // A stream with known chunks: [1000,2000] [2000,3000] [5000,9000].
        for (auto &o : s.objects) {
            if (o.data.id == 14)
                o.chunks = {
                    {1, 14, 1000, 2000, 10}, {2, 14, 2000, 3000, 20}, {3, 14, 5000, 9000, 30}};
        }
        return s;
    }
    int done(const std::function<void(Client::Done, Client::Fail)> &request)
    {
        auto d = Done::make();
        request(doneOk(d), d->fail());
        return d->code();
    }
    NameValueMap attributes(std::int64_t id, const std::string &name, int *code = nullptr)
    {
        auto r = Outcome<NameValueMap>::make();
        client.getDynamicAttribute(id, name, r->ok(), r->fail());
        const int c = r->code();
        if (code)
            *code = c;
        return r->value.value_or(NameValueMap());
    }

    std::vector<std::pair<std::int64_t, Value>> signInSensors, signInActuators;
};

TEST_F(Operations, SignInAnswersTheUserIdOrRefusesWrongCredentials)
{
    Client other(ClientCallbacks{}, connection);
    EXPECT_EQ(signIn(other, "operator", "operator"), 500);
    EXPECT_EQ(other.userId(), 500);
    for (auto [user, password] :
         {std::pair{"operator", "wrong"}, std::pair{"nobody", "operator"}, std::pair{"", ""}}) {
        auto r = Outcome<std::int64_t>::make();
        other.signIn(user, password, r->ok(), r->fail());
        EXPECT_EQ(r->code(), HandlerError::WrongCredentials) << user;
        EXPECT_FALSE(r->error->text().empty());
    }
}

TEST_F(Operations, EveryRequestButSignInIsRefusedBeforeSignIn)
{
    Connection fresh(ConnectionCallbacks{}, context);
    ASSERT_TRUE(open(fresh));
    Client c(ClientCallbacks{}, fresh);
    std::vector<std::pair<const char *, std::function<void(Client::Fail)>>> requests = {
        {"getObjects", [&](auto f) { c.getObjects({}, f); }},
        {"getDynamicAttribute", [&](auto f) { c.getDynamicAttribute(1, "", {}, f); }},
        {"createDynamicAttribute",
         [&](auto f) { c.createDynamicAttribute(1, "x", IntValue(1), {}, f); }},
        {"setDynamicAttribute", [&](auto f) { c.setDynamicAttribute(1, "x", IntValue(1), {}, f); }},
        {"removeDynamicAttribute", [&](auto f) { c.removeDynamicAttribute(1, "x", {}, f); }},
        {"getActuatorValue", [&](auto f) { c.getActuatorValue(22, {}, f); }},
        {"setActuatorValue", [&](auto f) { c.setActuatorValue(22, BoolValue(false), {}, f); }},
        {"bindStream",
         [&](auto f) {
             c.bindStream(11, {{2, 1}}, {}, f);
         }},
        {"unbindStream", [&](auto f) { c.unbindStream(11, 2, {}, f); }},
        {"searchChunks", [&](auto f) { c.searchChunks(11, 0, 0, 1, {}, f); }},
        {"getStreamInfo", [&](auto f) { c.getStreamInfo(2, 11, {}, f); }},
        {"sendEvent", [&](auto f) { c.sendEvent(Event{}, {}, f); }},
    };
    for (auto &[name, request] : requests) {
        auto r = Outcome<bool>::make();
        request(r->fail());
        EXPECT_EQ(r->code(), HandlerError::NotSignedIn) << name;
    }
    // The server logs one line per request.
    auto lines = logLines();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string &l) {
        return l.find("getStreamInfo -> error 401: sign in first") != std::string::npos;
    }));
}

TEST_F(Operations, GetObjectsGivesTheFlatTreeWithRoot)
{
    auto r = Outcome<std::pair<std::vector<Object>, std::int64_t>>::make();
    client.getObjects(
        [r](const std::vector<Object> &o, std::int64_t root) {
            r->setValue({o, root});
        },
        r->fail());
    ASSERT_EQ(r->code(), 0);
    const auto &[objects, root] = *r->value;
    EXPECT_EQ(root, 1);
    ASSERT_EQ(objects.size(), 14u);
    std::map<std::int64_t, Object> byId;
    for (const auto &o : objects)
        byId[o.id()] = o;
    EXPECT_EQ(byId[1].children(), (std::vector<std::int64_t>{2, 3}));
    EXPECT_EQ(byId[2].children(), (std::vector<std::int64_t>{11, 12, 13, 14, 15, 16, 17}));
    EXPECT_EQ(byId[2].settings().value("posPort"), IntValue(5556));
    EXPECT_EQ(byId[2].toDevice().serialNumber(), "GW-0001");
    EXPECT_EQ(byId[22].className(), "actuator.DOOR");
    EXPECT_EQ(byId[22].parent(), 3);
    EXPECT_EQ(byId[11].settings().value("url").toString(),
              "http://127.0.0.1:9554/live/11[[?profile{EQU}main]]");
}

TEST_F(Operations, DynamicAttributesLiveForTheProcess)
{
    EXPECT_EQ(attributes(1, "").names(),
              (std::vector<std::string>{"2x2 Cameras", "3x3 Cameras and doors", "Single camera",
                                        "8x8 Cameras", "Tills"}));
    EXPECT_EQ(attributes(1, "Single camera").size(), 1u);

    EXPECT_EQ(done([&](auto ok, auto f) {
                  client.createDynamicAttribute(2, "note", StringValue("a"), ok, f);
              }),
              0);
    EXPECT_EQ(done([&](auto ok, auto f) {
                  client.createDynamicAttribute(2, "note", StringValue("b"), ok, f);
              }),
              HandlerError::Conflict);
    EXPECT_EQ(
        done([&](auto ok, auto f) { client.setDynamicAttribute(2, "note", IntValue(7), ok, f); }),
        0);
    EXPECT_EQ(attributes(2, "note").value("note"), IntValue(7));
    EXPECT_EQ(
        done([&](auto ok, auto f) { client.setDynamicAttribute(2, "absent", IntValue(7), ok, f); }),
        HandlerError::NotFound);
    EXPECT_EQ(done([&](auto ok, auto f) { client.removeDynamicAttribute(2, "note", ok, f); }), 0);
    EXPECT_EQ(done([&](auto ok, auto f) { client.removeDynamicAttribute(2, "note", ok, f); }),
              HandlerError::NotFound);
    EXPECT_EQ(
        done([&](auto ok, auto f) { client.createDynamicAttribute(2, "", IntValue(1), ok, f); }),
        HandlerError::BadRequest);
    EXPECT_EQ(
        done([&](auto ok, auto f) { client.createDynamicAttribute(999, "x", IntValue(1), ok, f); }),
        HandlerError::NotFound);

    int code = 0;
    attributes(2, "note", &code);
    EXPECT_EQ(code, HandlerError::NotFound);
    attributes(999, "", &code);
    EXPECT_EQ(code, HandlerError::NotFound);
    EXPECT_TRUE(attributes(2, "").empty());
}

TEST_F(Operations, ValuesOfEveryKindAndUtf8TextsRoundTrip)
{
    const std::vector<Value> values = {NoneValue(),
                                       BoolValue(true),
                                       IntValue(INT64_MIN),
                                       FloatValue(-0.25),
                                       StringValue("Größe 🎥 日本\n\"q\""),
                                       DataValue({0, 1, 254, 255}),
                                       DateValue(19723),
                                       TimeValue(1),
                                       DateTimeValue(-1),
                                       TimestampValue(INT64_MAX),
                                       IdValue(42)};
    for (std::size_t i = 0; i < values.size(); ++i) {
        const auto name = "Vitrine caméra ü " + std::to_string(i);
        ASSERT_EQ(done([&](auto ok, auto f) {
                      client.createDynamicAttribute(1, name, values[i], ok, f);
                  }),
                  0);
        const auto back = attributes(1, name);
        ASSERT_EQ(back.names(), std::vector<std::string>{name});
        EXPECT_EQ(back.value(name).kind(), values[i].kind());
        EXPECT_EQ(back.value(name), values[i]) << name;
    }
}

TEST_F(Operations, SignInBringsTheValueOfEverySensorAndActuator)
{
    using Values = std::vector<std::pair<std::int64_t, Value>>;
    EXPECT_EQ(signInSensors, (Values{{21, BoolValue(true)}, {23, BoolValue(true)}}));
    EXPECT_EQ(signInActuators, (Values{{22, BoolValue(true)}, {24, BoolValue(true)}}));
    // What a value was set to is what the next sign-in brings.
    ASSERT_TRUE(simulator->setObjectValue(23, BoolValue(false)));
    Pushes later;
    Connection laterConnection(ConnectionCallbacks{}, context);
    ASSERT_TRUE(open(laterConnection));
    Client laterClient(later.clientCallbacks(), laterConnection);
    ASSERT_EQ(signIn(laterClient), 500);
    ASSERT_TRUE(later.waitFor([&] { return later.sensors.size() == 2; }));
    std::lock_guard<std::mutex> lock(later.mutex);
    EXPECT_EQ(later.sensors, (Values{{21, BoolValue(true)}, {23, BoolValue(false)}}));
}

TEST_F(Operations, DoorActuatorPushesItsValueThenItsSensorFollows)
{
    auto v = Outcome<ValuePtr>::make();
    client.getActuatorValue(22, v->ok(), v->fail());
    ASSERT_EQ(v->code(), 0);
    EXPECT_EQ(v->value->value(), BoolValue(true));

    ASSERT_EQ(done([&](auto ok, auto f) { client.setActuatorValue(22, BoolValue(false), ok, f); }),
              0);
    ASSERT_TRUE(pushes.waitFor([&] { return !pushes.sensors.empty(); }));
    std::lock_guard<std::mutex> lock(pushes.mutex);
    ASSERT_EQ(pushes.actuators.size(), 1u);
    EXPECT_EQ(pushes.actuators[0], std::make_pair(std::int64_t(22), Value(BoolValue(false))));
    EXPECT_EQ(pushes.sensors[0], std::make_pair(std::int64_t(21), Value(BoolValue(false))));
}

TEST_F(Operations, ActuatorRequestsCheckIdTypeAndKind)
{
    EXPECT_EQ(
        done([&](auto ok, auto f) { client.setActuatorValue(22, StringValue("open"), ok, f); }),
        HandlerError::WrongKind);
    EXPECT_EQ(done([&](auto ok, auto f) { client.setActuatorValue(21, BoolValue(true), ok, f); }),
              HandlerError::WrongKind);
    EXPECT_EQ(done([&](auto ok, auto f) { client.setActuatorValue(999, BoolValue(true), ok, f); }),
              HandlerError::NotFound);
    auto v = Outcome<ValuePtr>::make();
    client.getActuatorValue(11, v->ok(), v->fail());
    EXPECT_EQ(v->code(), HandlerError::WrongKind);
}

TEST_F(Operations, StreamBindingValidatesIds)
{
    EXPECT_EQ(done([&](auto ok, auto f) { client.bindStream(11, {{2, 1}, {3, 3}}, ok, f); }), 0);
    EXPECT_EQ(done([&](auto ok, auto f) { client.unbindStream(11, 3, ok, f); }), 0);
    EXPECT_EQ(done([&](auto ok, auto f) { client.unbindStream(11, 3, ok, f); }),
              HandlerError::NotFound);
    EXPECT_EQ(done([&](auto ok, auto f) {
                  client.bindStream(2, {{2, 1}}, ok, f);
              }),
              HandlerError::WrongKind);
    EXPECT_EQ(done([&](auto ok, auto f) {
                  client.bindStream(11, {{21, 1}}, ok, f);
              }),
              HandlerError::WrongKind);
    EXPECT_EQ(done([&](auto ok, auto f) {
                  client.bindStream(11, {{999, 1}}, ok, f);
              }),
              HandlerError::NotFound);
    EXPECT_EQ(done([&](auto ok, auto f) {
                  client.bindStream(11, {{2, 4}}, ok, f);
              }),
              HandlerError::BadRequest);
    EXPECT_EQ(done([&](auto ok, auto f) { client.bindStream(11, {}, ok, f); }),
              HandlerError::BadRequest);
}

TEST_F(Operations, SearchChunksByStartOrByEnd)
{
    struct Case
    {
        int by;
        std::int64_t start, end;
        std::vector<std::int64_t> ids;
        int code;
    };
    for (const auto &c : std::vector<Case>{{0, 1000, 2000, {1, 2}, 0},
                                           {1, 1000, 2000, {1}, 0},
                                           {1, 3000, 9000, {2, 3}, 0},
                                           {0, 9001, 20000, {}, 0},
                                           {2, 0, 1, {}, HandlerError::BadRequest},
                                           {0, 5, 1, {}, HandlerError::BadRequest}}) {
        auto r = Outcome<std::vector<StreamChunk>>::make();
        client.searchChunks(14, c.by, c.start, c.end, r->ok(), r->fail());
        ASSERT_EQ(r->code(), c.code) << c.by << " " << c.start;
        std::vector<std::int64_t> ids;
        for (const auto &chunk : r->value.value_or(std::vector<StreamChunk>())) {
            ids.push_back(chunk.id);
            EXPECT_EQ(chunk.streamId, 14);
        }
        EXPECT_EQ(ids, c.ids) << c.by << " " << c.start;
    }
    auto unknown = Outcome<std::vector<StreamChunk>>::make();
    client.searchChunks(999, 0, 0, 1, unknown->ok(), unknown->fail());
    EXPECT_EQ(unknown->code(), HandlerError::NotFound);
}

TEST_F(Operations, DemoRecordingsCoverTheLastHours)
{
    auto r = Outcome<std::vector<StreamChunk>>::make();
    client.searchChunks(11, 0, 1, sim::nowMs(), r->ok(), r->fail());
    ASSERT_EQ(r->code(), 0);
    // Six hours of ten-minute chunks, and one more when a boundary passed since the load (or
    // the chunk being recorded, when the answer came within the millisecond asked).
    ASSERT_GE(r->value->size(), 36u);
    ASSERT_LE(r->value->size(), 37u);
    EXPECT_GT(r->value->front().start, sim::nowMs() - 7 * 3600000);
    EXPECT_EQ(r->value->front().end - r->value->front().start, 600000);
}

TEST_F(Operations, StreamInfoNamesTheGateway)
{
    auto r = Outcome<StreamInfo>::make();
    client.getStreamInfo(2, 12, r->ok(), r->fail());
    ASSERT_EQ(r->code(), 0);
    EXPECT_EQ(r->value->deviceId, 2);
    EXPECT_EQ(r->value->streamId, 12);
    EXPECT_EQ(r->value->address, "127.0.0.1");
    EXPECT_FALSE(r->value->token.empty());
    for (auto [device, stream] : {std::pair{12, 2}, std::pair{2, 21}, std::pair{2, 999}}) {
        auto bad = Outcome<StreamInfo>::make();
        client.getStreamInfo(device, stream, bad->ok(), bad->fail());
        EXPECT_NE(bad->code(), 0);
    }
}

TEST_F(Operations, EventsGetIdsAndReachTheirAddressee)
{
    Event toMe;
    toMe.className = "ctrl.PING";
    toMe.destinationId = 500;
    toMe.fields.setValue("fields", StringValue(R"({"text":"héllo"})"));
    auto id1 = Outcome<std::int64_t>::make();
    client.sendEvent(toMe, id1->ok(), id1->fail());
    ASSERT_EQ(id1->code(), 0);

    Event toAll = toMe;
    toAll.destinationId = 0;
    auto id2 = Outcome<std::int64_t>::make();
    client.sendEvent(toAll, id2->ok(), id2->fail());
    ASSERT_EQ(id2->code(), 0);
    EXPECT_GT(*id2->value, *id1->value);

    Event toDoor = toMe;
    toDoor.destinationId = 22;
    auto id3 = Outcome<std::int64_t>::make();
    client.sendEvent(toDoor, id3->ok(), id3->fail());
    EXPECT_EQ(id3->code(), 0);
    Event toNobody = toMe;
    toNobody.destinationId = 123456;
    auto id4 = Outcome<std::int64_t>::make();
    client.sendEvent(toNobody, id4->ok(), id4->fail());
    EXPECT_EQ(id4->code(), HandlerError::NotFound);

    ASSERT_TRUE(
        pushes.waitFor([&] { return !pushes.events.empty() && !pushes.broadcasts.empty(); }));
    std::lock_guard<std::mutex> lock(pushes.mutex);
    ASSERT_EQ(pushes.events.size(), 1u);
    const auto &e = pushes.events[0];
    EXPECT_EQ(e.eventId, *id1->value);
    EXPECT_EQ(e.sourceId, 500);
    EXPECT_EQ(e.className, "ctrl.PING");
    EXPECT_GT(e.timestamp, 0);
    EXPECT_EQ(e.fields.value("fields").toString(), R"({"text":"héllo"})");
    EXPECT_EQ(pushes.broadcasts[0].eventId, *id2->value);
}

TEST_F(Operations, ServerPushesReachOnlySignedInClients)
{
    Connection quietConnection(ConnectionCallbacks{}, context);
    ASSERT_TRUE(open(quietConnection));
    Pushes quiet;
    Client signedOut(quiet.clientCallbacks(), quietConnection);

    ASSERT_TRUE(simulator->setObjectValue(21, BoolValue(false)));
    EXPECT_FALSE(simulator->setObjectValue(11, BoolValue(false)));
    simulator->notifyObjectsChanged();
    Event note;
    note.className = "site.NOTE";
    note.destinationId = 500;
    simulator->sendEvent(note);
    // The door sensor's change raises "door opened" before the note.
    ASSERT_TRUE(pushes.waitFor([&] {
        return pushes.objectsChanged == 1 && pushes.sensors.size() == 1 &&
               pushes.events.size() == 2;
    }));
    // A round trip on the signed-out connection orders it after the pushes above.
    auto sync = Outcome<std::vector<Object>>::make();
    signedOut.getObjects([sync](const std::vector<Object> &o, std::int64_t) { sync->setValue(o); },
                         sync->fail());
    EXPECT_EQ(sync->code(), HandlerError::NotSignedIn);
    std::lock_guard<std::mutex> lock(quiet.mutex);
    EXPECT_EQ(quiet.objectsChanged, 0);
    EXPECT_TRUE(quiet.sensors.empty());
    EXPECT_TRUE(quiet.events.empty());
}

TEST_F(Operations, ReplacingTheSiteAnnouncesTheChangeAndKeepsAttributes)
{
    ASSERT_EQ(done([&](auto ok, auto f) {
                  client.createDynamicAttribute(2, "kept", IntValue(1), ok, f);
              }),
              0);
    auto fresh = site();
    sim::SiteObject extra;
    extra.data = {99, "Niño camera", 10, "stream.VIDEO", 2, {}, {}, "CAM-99"};
    fresh.objects.push_back(extra);
    fresh.objects[1].data.children.push_back(99);
    simulator->replaceSite(fresh);
    ASSERT_TRUE(pushes.waitFor([&] { return pushes.objectsChanged == 1; }));

    auto r = Outcome<std::vector<Object>>::make();
    client.getObjects([r](const std::vector<Object> &o, std::int64_t) { r->setValue(o); },
                      r->fail());
    ASSERT_EQ(r->code(), 0);
    ASSERT_EQ(r->value->size(), 15u);
    EXPECT_EQ(r->value->back().name(), "Niño camera");
    EXPECT_EQ(attributes(2, "kept").value("kept"), IntValue(1));
}

TEST_F(Operations, CallbacksRunOnTheIoThreadNeverInTheCall)
{
    // A callback run inside the call would run on the calling thread; the answer itself may
    // well arrive before the call has returned, so only the thread tells.
    auto r = Outcome<std::int64_t>::make();
    const auto caller = std::this_thread::get_id();
    client.signIn(
        "operator", "operator",
        [r, caller](std::int64_t id) {
            EXPECT_NE(std::this_thread::get_id(), caller) << "ok ran inside the call";
            r->setValue(id);
        },
        r->fail());
    ASSERT_EQ(r->code(), 0);
    EXPECT_NE(r->thread, std::this_thread::get_id());
    EXPECT_EQ(r->thread, context.ioThreadId());
}

} // namespace
