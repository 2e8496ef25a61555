// Bad input on either side of the wire closes only the connection it came on, and the server
// serves a hundred clients at once.
#include "ZarnTestSupport.h"

using namespace ardix::zarn;
using namespace ardix::zarn::test;
namespace sim = ardix::sim;

namespace {

class ServerInput : public SimFixture, public ::testing::WithParamInterface<const char *>
{};

std::string badFrame(const std::string &name)
{
    if (name == "notJson")
        return wire::encodeFrame("{\"id\":1,");
    if (name == "array")
        return wire::encodeFrame("[1,2]");
    if (name == "empty")
        return wire::encodeFrame("");
    if (name == "noOp")
        return wire::encodeFrame(R"({"id":1,"args":{}})");
    if (name == "idIsText")
        return wire::encodeFrame(R"({"id":"1","op":"getObjects","args":{}})");
    if (name == "argsNotObject")
        return wire::encodeFrame(R"({"id":1,"op":"getObjects","args":[]})");
    if (name == "invalidUtf8")
        return wire::encodeFrame("{\"id\":1,\"op\":\"\xff\xfe\",\"args\":{}}");
    if (name == "oversized")
        return std::string("\x01\x00\x00\x01", 4); // 16 MiB + 1
    return {};
}

TEST_P(ServerInput, MalformedFrameClosesOnlyThatConnection)
{
    ASSERT_EQ(signIn(client), 500);
    auto raw = RawPeer::connect(simulator->eventPort());
    auto hello = raw.readFrame();
    ASSERT_TRUE(hello);
    EXPECT_EQ((*hello)["hello"], "zarn");
    raw.sendRaw(badFrame(GetParam()));
    EXPECT_FALSE(raw.readFrame()) << "the server should close the offending connection";

    auto r = Outcome<bool>::make();
    client.getObjects([r](const std::vector<Object> &, std::int64_t) { r->setValue(true); },
                      r->fail());
    EXPECT_EQ(r->code(), 0);
    EXPECT_EQ(connection.state(), Connection::Open);
}

INSTANTIATE_TEST_SUITE_P(Frames, ServerInput,
                         ::testing::Values("notJson", "array", "empty", "noOp", "idIsText",
                                           "argsNotObject", "invalidUtf8", "oversized"));

TEST_F(SimFixture, UnknownOperationAndBadArgumentsAreAnsweredNotFatal)
{
    auto raw = RawPeer::connect(simulator->eventPort());
    ASSERT_TRUE(raw.readFrame());
    raw.sendJson({{"id", 7}, {"op", "selfDestruct"}, {"args", wire::Json::object()}});
    auto answer = raw.readFrame();
    ASSERT_TRUE(answer);
    EXPECT_EQ((*answer)["id"], 7);
    EXPECT_EQ((*answer)["error"]["code"], HandlerError::UnknownOperation);

    raw.sendJson({{"id", 8}, {"op", "signIn"}, {"args", {{"user", 5}}}});
    answer = raw.readFrame();
    ASSERT_TRUE(answer);
    EXPECT_EQ((*answer)["error"]["code"], HandlerError::BadRequest);

    raw.sendJson(
        {{"id", 9}, {"op", "signIn"}, {"args", {{"user", "operator"}, {"password", "operator"}}}});
    raw.sendJson({{"id", 10},
                  {"op", "createDynamicAttribute"},
                  {"args", {{"objectId", 1}, {"name", "x"}, {"value", {{"kind", 20}, {"v", 3}}}}}});
    answer = raw.readFrame();
    ASSERT_TRUE(answer);
    EXPECT_EQ((*answer)["result"]["userId"], 500);
    // Only behind the sign-in's answer: the value of each sensor and actuator of the site.
    int values = 0;
    while ((answer = raw.readFrame()) && answer->contains("push")) {
        EXPECT_TRUE((*answer)["push"] == "sensorValue" || (*answer)["push"] == "actuatorValue");
        ++values;
    }
    EXPECT_EQ(values, 4);
    ASSERT_TRUE(answer);
    EXPECT_EQ((*answer)["error"]["code"], HandlerError::BadRequest);
}

struct ClientInputCase
{
    const char *label;
    std::string afterRequest; // raw bytes the fake server sends once the request arrived
    int requestCode;
};

class ClientInput : public ::testing::TestWithParam<ClientInputCase>
{};

TEST_P(ClientInput, MalformedFrameFromTheServerFailsThatConnectionOnly)
{
    const auto &c = GetParam();
    FakeServer fake([&c](RawPeer &peer) {
        peer.sendJson({{"hello", "zarn"}, {"version", 1}});
        if (!peer.readFrame())
            return;
        peer.sendRaw(c.afterRequest);
        peer.readFrame(); // until the client hangs up
    });
    LibraryClient library;
    ASSERT_TRUE(library.connectTo(fake.port));
    Client &client = library.client;

    auto r = Outcome<std::vector<Object>>::make();
    client.getObjects([r](const std::vector<Object> &o, std::int64_t) { r->setValue(o); },
                      r->fail());
    EXPECT_EQ(r->code(), c.requestCode);
    Pushes &pushes = library.pushes;
    ASSERT_TRUE(pushes.waitFor([&] { return !pushes.errors.empty(); }));
    EXPECT_EQ(pushes.errors[0].code(), ConnectionError::ProtocolError);
    ASSERT_TRUE(pushes.waitFor([&] { return library.connection.state() == Connection::Closed; }));
    EXPECT_EQ(r->callCount(), 1);

    // The same context still serves other connections.
    sim::SimulatorOptions options;
    // Channel texts on a free port: the demo's 5556 belongs to the screen tests.
    options.ephemeralPosPorts = true;
    options.site = loadDemoSite();
    options.log = [](const std::string &) {};
    sim::Simulator simulator(std::move(options));
    ASSERT_TRUE(simulator.start());
    Connection other(ConnectionCallbacks{}, library.context);
    auto ok = Outcome<bool>::make();
    other.open("127.0.0.1", simulator.eventPort(), [ok] { ok->setValue(true); }, {});
    EXPECT_TRUE(ok->wait());
}

std::string frame(const std::string &body)
{
    return wire::encodeFrame(body);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, ClientInput,
    ::testing::Values(
        ClientInputCase{"notJson", frame("nonsense"), HandlerError::ConnectionLost},
        ClientInputCase{"notObject", frame("42"), HandlerError::ConnectionLost},
        ClientInputCase{"neitherAnswerNorPush", frame(R"({"x":1})"), HandlerError::ConnectionLost},
        ClientInputCase{"oversized", std::string("\xff\xff\xff\xff", 4),
                        HandlerError::ConnectionLost},
        ClientInputCase{"answerWithoutResult", frame(R"({"id":1})"), HandlerError::BadAnswer},
        ClientInputCase{"resultOfWrongShape", frame(R"({"id":1,"result":{"rootId":"1"}})"),
                        HandlerError::BadAnswer},
        ClientInputCase{"objectOfWrongShape",
                        frame(R"({"id":1,"result":{"rootId":1,"objects":[{"id":1}]}})"),
                        HandlerError::BadAnswer},
        ClientInputCase{"malformedPush", frame(R"({"push":"sensorValue","value":5})"),
                        HandlerError::ConnectionLost}),
    [](const auto &info) { return std::string(info.param.label); });

TEST_F(SimFixture, HundredClientsAtOnce)
{
    constexpr int kClients = 100;
    std::vector<Context> contexts(4);
    std::vector<Connection> connections;
    std::vector<Client> clients;
    std::vector<std::shared_ptr<Outcome<bool>>> opened;
    for (int i = 0; i < kClients; ++i) {
        connections.emplace_back(ConnectionCallbacks{}, contexts[i % contexts.size()]);
        clients.emplace_back(ClientCallbacks{}, connections.back());
        opened.push_back(Outcome<bool>::make());
        connections.back().open("127.0.0.1", simulator->eventPort(),
                                [o = opened.back()] { o->setValue(true); }, {});
    }
    for (auto &o : opened)
        ASSERT_TRUE(o->wait());
    EXPECT_EQ(simulator->connectionCount(), std::size_t(kClients + 1));

    std::vector<std::shared_ptr<Outcome<std::size_t>>> results;
    for (auto &c : clients) {
        auto r = Outcome<std::size_t>::make();
        results.push_back(r);
        Client copy = c;
        c.signIn(
            "operator", "operator",
            [copy, r](std::int64_t) mutable {
                copy.getObjects(
                    [r](const std::vector<Object> &o, std::int64_t) { r->setValue(o.size()); },
                    r->fail());
            },
            r->fail());
    }
    for (auto &r : results) {
        ASSERT_EQ(r->code(), 0);
        EXPECT_EQ(*r->value, 14u);
    }
}

TEST(ProtocolLimits, LargeObjectListsArriveInParts)
{
    sim::SimulatorOptions options;
    // Channel texts on a free port: the demo's 5556 belongs to the screen tests.
    options.ephemeralPosPorts = true;
    options.site = sim::Site::generated(2500);
    options.log = [](const std::string &) {};
    sim::Simulator simulator(std::move(options));
    ASSERT_TRUE(simulator.start());
    auto raw = RawPeer::connect(simulator.eventPort());
    ASSERT_TRUE(raw.readFrame());
    raw.sendJson(
        {{"id", 1}, {"op", "signIn"}, {"args", {{"user", "operator"}, {"password", "operator"}}}});
    ASSERT_TRUE(raw.readFrame());
    raw.sendJson({{"id", 2}, {"op", "getObjects"}, {"args", wire::Json::object()}});
    std::size_t parts = 0, objects = 0;
    for (;;) {
        auto f = raw.readFrame();
        ASSERT_TRUE(f);
        if (f->contains("part")) {
            ++parts;
            objects += (*f)["part"]["objects"].size();
            continue;
        }
        objects += (*f)["result"]["objects"].size();
        break;
    }
    EXPECT_EQ(parts, 2u);
    EXPECT_EQ(objects, 2500u);
}

} // namespace
