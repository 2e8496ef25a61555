// Hostile peers on either side of the wire: what they may cost the other side is bounded, and
// whatever they send, every frame that leaves stays within the frame limit.
#include "ZarnTestSupport.h"

#include <algorithm>
#include <fstream>

using namespace ardix::zarn;
using namespace ardix::zarn::test;
namespace sim = ardix::sim;

namespace {

constexpr std::size_t MiB = 1024 * 1024;

std::size_t residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * 4096;
}

wire::Json request(std::int64_t id, const std::string &op, wire::Json args)
{
    return {{"id", id}, {"op", op}, {"args", std::move(args)}};
}

wire::Json stringValue(std::size_t bytes)
{
    return {{"kind", StringValue::Kind}, {"v", std::string(bytes, 'x')}};
}

// A raw connection, greeted and (unless told otherwise) signed in as the operator.
RawPeer rawSession(unsigned short port, bool signIn = true)
{
    auto peer = RawPeer::connect(port);
    EXPECT_TRUE(peer.readFrame());
    if (signIn) {
        peer.sendJson(request(1, "signIn", {{"user", "operator"}, {"password", "operator"}}));
        EXPECT_TRUE(peer.readFrame());
        // Past the values a sign-in brings: they come before the next request's answer.
        peer.sendJson(request(0, "getActuatorValue", {{"id", 0}}));
        EXPECT_TRUE(peer.readAnswer());
    }
    return peer;
}

class HostileClient : public SimFixture
{
protected:
    sim::ServerLimits limits() override
    {
        sim::ServerLimits l;
        l.frameTimeout = 300ms;
        l.signInTimeout = 500ms;
        l.maxQueuedBytes = 4 * MiB;
        return l;
    }
    // Lines of the server log that contain `text`.
    std::vector<std::string> logWith(const std::string &text)
    {
        std::vector<std::string> out;
        for (const auto &l : logLines())
            if (l.find(text) != std::string::npos)
                out.push_back(l);
        return out;
    }
    bool waitForLog(const std::string &text)
    {
        const auto until = std::chrono::steady_clock::now() + kWait;
        while (logWith(text).empty()) {
            if (std::chrono::steady_clock::now() > until)
                return false;
            std::this_thread::yield();
        }
        return true;
    }
    // A round trip of the fixture's client: everything the server read before is handled.
    void roundTrip()
    {
        auto r = Outcome<bool>::make();
        client.getActuatorValue(
            22, [r](ValuePtr) { r->setValue(true); }, r->fail());
        ASSERT_EQ(r->code(), 0);
    }
};

// Without timeouts, so that nothing but the buffers' growth keeps memory down.
class PatientServer : public HostileClient
{
protected:
    sim::ServerLimits limits() override
    {
        sim::ServerLimits l;
        l.frameTimeout = 0ms;
        l.signInTimeout = 0ms;
        return l;
    }
};

TEST_F(PatientServer, HeaderOnlyFramesReserveNoMemory)
{
    ASSERT_EQ(signIn(client), 500);
    const auto before = residentBytes();
    std::vector<RawPeer> peers;
    for (int i = 0; i < 24; ++i) {
        peers.push_back(rawSession(simulator->eventPort()));
        peers.back().sendRaw(std::string("\x01\x00\x00\x00", 4)); // announces 16 MiB
    }
    roundTrip();
    roundTrip();
    // Reserving what the headers announced would take 384 MiB.
    EXPECT_LT(residentBytes() - std::min(before, residentBytes()), 64 * MiB);
}

TEST_F(HostileClient, StalledFramesAndSilentConnectionsAreClosed)
{
    ASSERT_EQ(signIn(client), 500); // signed in in time: stays
    auto half = rawSession(simulator->eventPort());
    half.sendRaw(wire::encodeFrame(std::string(100, ' ')).substr(0, 30));
    auto header = rawSession(simulator->eventPort());
    header.sendRaw(std::string("\x00\x00", 2));
    auto silent = rawSession(simulator->eventPort(), false);
    EXPECT_FALSE(half.readFrame());
    EXPECT_FALSE(header.readFrame());
    EXPECT_FALSE(silent.readFrame());
    EXPECT_EQ(logWith("closed: incomplete frame after 300 ms").size(), 2u);
    EXPECT_EQ(logWith(": no sign-in within 500 ms").size(), 1u);
    roundTrip();
}

TEST_F(HostileClient, ReaderThatFallsBehindIsDropped)
{
    ASSERT_EQ(signIn(client), 500);
    auto stalled = rawSession(simulator->eventPort()); // never reads again
    Event e;
    e.className = "flood";
    e.fields.setValue("blob", StringValue(std::string(MiB / 2, 'b')));
    for (int i = 0; i < 64 && logWith("peer fell behind").empty(); ++i) {
        auto r = Outcome<std::int64_t>::make();
        client.sendEvent(e, r->ok(), r->fail());
        ASSERT_EQ(r->code(), 0);
    }
    ASSERT_TRUE(waitForLog("closed: peer fell behind: over 4194304 bytes waiting to be written"));
    EXPECT_EQ(connection.state(), Connection::Open);
    roundTrip();
}

TEST_F(PatientServer, AnswersNeverOutgrowAFrameAndLogsStayShort)
{
    auto raw = rawSession(simulator->eventPort());
    // An unknown operation named with 15 MiB: the answer names only its start.
    raw.sendJson(request(2, std::string(15 * MiB, 'o'), wire::Json::object()));
    auto answer = raw.readFrame();
    ASSERT_TRUE(answer);
    EXPECT_EQ((*answer)["error"]["code"], HandlerError::UnknownOperation);
    EXPECT_LT((*answer)["error"]["text"].get<std::string>().size(), 400u);

    // Two 9 MiB attributes on object 1 would make the full list 18 MiB: the second is refused.
    raw.sendJson(request(3, "createDynamicAttribute",
                         {{"objectId", 1}, {"name", "a"}, {"value", stringValue(9 * MiB)}}));
    raw.sendJson(request(4, "createDynamicAttribute",
                         {{"objectId", 1}, {"name", "b"}, {"value", stringValue(9 * MiB)}}));
    answer = raw.readFrame();
    ASSERT_TRUE(answer && answer->contains("result"));
    answer = raw.readFrame();
    ASSERT_TRUE(answer);
    EXPECT_EQ((*answer)["error"]["code"], HandlerError::BadRequest);

    // A console that signs in afterwards still gets the whole list.
    ASSERT_EQ(signIn(client), 500);
    auto attrs = Outcome<NameValueMap>::make();
    client.getDynamicAttribute(1, "", attrs->ok(), attrs->fail());
    ASSERT_EQ(attrs->code(), 0);
    EXPECT_EQ(attrs->value->value("a").toString().size(), 9 * MiB);

    // A client-chosen name of 1 MiB is logged by its first few hundred characters only.
    raw.sendJson(
        request(5, "removeDynamicAttribute", {{"objectId", 1}, {"name", std::string(MiB, 'n')}}));
    ASSERT_TRUE(raw.readFrame());
    for (const auto &line : logLines())
        EXPECT_LT(line.size(), 1000u) << line.substr(0, 100);
}

// A large event is decoded on the server's helper thread: other clients are answered while it
// is, and every signed-in client still gets it whole.
TEST_F(PatientServer, LargeEventLeavesOtherClientsServed)
{
    constexpr int kFields = 100000; // about 3.5 MiB: a second or more of decoding
    ASSERT_EQ(signIn(client), 500);
    auto sender = rawSession(simulator->eventPort());
    wire::Json fields = wire::Json::array();
    for (int i = 0; i < kFields; ++i)
        fields.push_back({"f" + std::to_string(i), {{"kind", IntValue::Kind}, {"v", i}}});
    fields.push_back({"f7", {{"kind", IntValue::Kind}, {"v", -7}}});
    sender.sendJson(request(9, "sendEvent",
                            {{"event",
                              {{"class", "big \"fields\":[]"},
                               {"eventId", 0},
                               {"sourceId", 0},
                               {"destinationId", 0},
                               {"timestamp", 0},
                               {"fields", std::move(fields)}}}}));
    ASSERT_TRUE(waitForLog("bytes apart"));
    roundTrip();
    EXPECT_TRUE(logWith("sendEvent -> ok").empty()) << "answered only after the large event";

    auto answer = sender.readFrame(); // the sender is signed in too: its push comes first
    while (answer && answer->contains("push"))
        answer = sender.readFrame();
    ASSERT_TRUE(answer && answer->contains("result")) << answer.value_or(wire::Json()).dump();
    ASSERT_TRUE(pushes.waitFor([&] { return !pushes.broadcasts.empty(); }));
    std::lock_guard<std::mutex> lock(pushes.mutex);
    const auto &event = pushes.broadcasts.front();
    EXPECT_EQ(event.className, "big \"fields\":[]");
    EXPECT_EQ(event.eventId, (*answer)["result"]["eventId"].get<std::int64_t>());
    EXPECT_EQ(event.sourceId, 500);
    ASSERT_EQ(event.fields.size(), std::size_t(kFields));
    EXPECT_EQ(event.fields.value("f7").toInt64(), -7);
    EXPECT_EQ(event.fields.names().back(), "f" + std::to_string(kFields - 1));
}

// The same decode must serve a huge list: linear, in order, the last value of a name wins.
TEST(LargeMaps, EventWithFourHundredThousandFieldsDecodes)
{
    constexpr int kFields = 400000; // quadratic decoding would take minutes
    wire::Json fields = wire::Json::array();
    for (int i = 0; i < kFields; ++i)
        fields.push_back({"f" + std::to_string(i), {{"kind", IntValue::Kind}, {"v", i}}});
    fields.push_back({"f7", {{"kind", IntValue::Kind}, {"v", -7}}});
    auto map = wire::mapFromJson(fields);
    ASSERT_TRUE(map);
    ASSERT_EQ(map->size(), std::size_t(kFields));
    EXPECT_EQ(map->value("f7").toInt64(), -7);
    EXPECT_EQ(map->names()[kFields - 1], "f" + std::to_string(kFields - 1));
    EXPECT_EQ(map->value("f123456").toInt64(), 123456);
    EXPECT_TRUE(map->remove("f0"));
    EXPECT_EQ(map->value("f1").toInt64(), 1);
    EXPECT_FALSE(map->contains("f0"));
}

// A server that keeps sending parts: the request fails at the cap, the connection stays.
TEST(HostileServer, ObjectListOverTheCapFailsTheRequestOnly)
{
    FakeServer fake([](RawPeer &peer) {
        peer.sendJson({{"hello", "zarn"}, {"version", 1}});
        auto req = peer.readFrame();
        if (!req)
            return;
        wire::Json objects = wire::Json::array();
        for (int i = 0; i < 1000; ++i)
            objects.push_back({{"id", i},
                               {"name", ""},
                               {"type", 2},
                               {"class", ""},
                               {"parent", 0},
                               {"children", wire::Json::array()},
                               {"settings", wire::Json::array()},
                               {"serial", ""}});
        const auto part =
            wire::encodeFrame(wire::dump({{"id", (*req)["id"]}, {"part", {{"objects", objects}}}}));
        for (std::size_t i = 0; i <= Client::kMaxObjects / 1000; ++i)
            peer.sendRaw(part);
        peer.sendJson({{"id", (*req)["id"]}, {"result", {{"rootId", 0}, {"objects", objects}}}});
        req = peer.readFrame();
        if (req)
            peer.sendJson({{"id", (*req)["id"]},
                           {"result", {{"value", {{"kind", BoolValue::Kind}, {"v", true}}}}}});
        peer.readFrame(); // until the client hangs up
    });
    LibraryClient library;
    ASSERT_TRUE(library.connectTo(fake.port));
    Client &client = library.client;

    auto r = Outcome<std::size_t>::make();
    client.getObjects([r](const std::vector<Object> &o, std::int64_t) { r->setValue(o.size()); },
                      r->fail());
    ASSERT_TRUE(r->wait(60s)); // 200 000 objects take a while under the sanitizers
    EXPECT_EQ(r->code(), HandlerError::AnswerTooLarge);
    auto next = Outcome<bool>::make();
    client.getActuatorValue(
        22, [next](ValuePtr v) { next->setValue(v->toBool()); }, next->fail());
    ASSERT_TRUE(next->wait(60s)); // after the rest of the list was read and dropped
    EXPECT_EQ(next->code(), 0);
    EXPECT_EQ(library.connection.state(), Connection::Open);
    EXPECT_TRUE(library.pushes.errors.empty());
}

} // namespace
