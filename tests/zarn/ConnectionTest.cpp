// Opening, closing and breaking connections, and the delivery guarantees around them: one
// ok/fail per request, nothing after the owner is gone, no deadlock on destruction.
#include "ZarnTestSupport.h"

#include <atomic>

using namespace ardix::zarn;
using namespace ardix::zarn::test;
namespace sim = ardix::sim;

namespace {

std::shared_ptr<Outcome<bool>> openAsync(Connection &c, const std::string &host, int port)
{
    auto r = Outcome<bool>::make();
    c.open(
        host, port, [r] { r->setValue(true); },
        [r](const ConnectionError &e) { r->setError(HandlerError(e.code(), e.text())); });
    return r;
}

unsigned short closedPort()
{
    asio::io_context io;
    asio::ip::tcp::acceptor a(io, {asio::ip::make_address("127.0.0.1"), 0});
    return a.local_endpoint().port(); // closed again when the acceptor goes
}

TEST(ConnectionOpen, FailsWithinBoundsForUnreachablePeers)
{
    struct Case
    {
        const char *label;
        std::string host;
        int port;
        std::vector<int> codes;
    };
    // A peer that accepts but never greets, and one that speaks another protocol.
    FakeServer silent([](RawPeer &peer) { peer.readFrame(); });
    FakeServer http([](RawPeer &peer) {
        peer.sendRaw("HTTP/1.1 400 Bad Request\r\n\r\n");
        peer.readFrame();
    });
    const std::vector<Case> cases = {
        {"refused", "127.0.0.1", closedPort(), {ConnectionError::Refused}},
        {"unresolvable",
         "no-such-host.invalid",
         12240,
         {ConnectionError::HostNotFound, ConnectionError::Timeout}},
        {"silent", "127.0.0.1", silent.port, {ConnectionError::Timeout}},
        {"otherProtocol", "127.0.0.1", http.port, {ConnectionError::ProtocolError}},
        {"emptyHost", "", 12240, {ConnectionError::InvalidArgument}},
        {"portZero", "127.0.0.1", 0, {ConnectionError::InvalidArgument}},
        {"portTooLarge", "127.0.0.1", 70000, {ConnectionError::InvalidArgument}},
    };
    Context context;
    for (const auto &c : cases) {
        Pushes pushes;
        Connection connection(pushes.connectionCallbacks(), context);
        connection.setOpenTimeout(std::chrono::milliseconds(500));
        const auto started = std::chrono::steady_clock::now();
        auto r = openAsync(connection, c.host, c.port);
        ASSERT_TRUE(r->wait(std::chrono::seconds(6))) << c.label;
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(6)) << c.label;
        ASSERT_TRUE(r->error) << c.label;
        EXPECT_NE(std::find(c.codes.begin(), c.codes.end(), r->error->code()), c.codes.end())
            << c.label << ": " << r->error->code() << " " << r->error->text();
        EXPECT_FALSE(r->error->text().empty());
        EXPECT_EQ(connection.state(), Connection::Closed) << c.label;
    }
}

TEST(ConnectionOpen, DefaultTimeoutBoundsASilentPort)
{
    FakeServer silent([](RawPeer &peer) { peer.readFrame(); });
    Connection connection(ConnectionCallbacks{}, Context());
    const auto started = std::chrono::steady_clock::now();
    auto r = openAsync(connection, "127.0.0.1", silent.port);
    ASSERT_TRUE(r->wait(std::chrono::seconds(8)));
    EXPECT_EQ(r->error->code(), ConnectionError::Timeout);
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_GE(took, std::chrono::milliseconds(4900));
    EXPECT_LT(took, std::chrono::milliseconds(6500));
}

class ConnectionLife : public SimFixture
{};

TEST_F(ConnectionLife, OpenReportsStatesAndRefusesASecondOpen)
{
    {
        std::lock_guard<std::mutex> lock(pushes.mutex);
        EXPECT_EQ(pushes.states, (std::vector<std::pair<int, int>>{{1, 0}, {2, 1}}));
    }
    auto again = openAsync(connection, "127.0.0.1", simulator->eventPort());
    EXPECT_EQ(again->code(), ConnectionError::AlreadyOpen);
    EXPECT_EQ(connection.state(), Connection::Open);

    connection.close();
    ASSERT_TRUE(pushes.waitFor([&] { return pushes.states.size() == 4; }));
    {
        std::lock_guard<std::mutex> lock(pushes.mutex);
        EXPECT_EQ(pushes.states[2], std::make_pair(3, 2));
        EXPECT_EQ(pushes.states[3], std::make_pair(0, 3));
        EXPECT_TRUE(pushes.errors.empty()); // closing on purpose is no fault
    }
    // A closed connection fails requests at once and may be opened again.
    auto r = Outcome<std::int64_t>::make();
    client.signIn("operator", "operator", r->ok(), r->fail());
    EXPECT_EQ(r->code(), HandlerError::NotConnected);
    ASSERT_TRUE(open(connection));
    EXPECT_EQ(signIn(client), 500);
}

TEST_F(ConnectionLife, PendingRequestsFailOnceWhenTheServerDropsTheConnection)
{
    ASSERT_EQ(signIn(client), 500);
    simulator->setHoldRequests(true);
    std::vector<std::shared_ptr<Outcome<bool>>> pending;
    for (int i = 0; i < 3; ++i) {
        pending.push_back(Outcome<bool>::make());
        client.getObjects(
            [p = pending.back()](const std::vector<Object> &, std::int64_t) { p->setValue(true); },
            pending.back()->fail());
    }
    ASSERT_TRUE(simulator->waitForHeldRequests(3, kWait));
    simulator->closeAllConnections();
    for (auto &p : pending) {
        EXPECT_EQ(p->code(), HandlerError::ConnectionLost);
        EXPECT_EQ(p->callCount(), 1);
    }
    ASSERT_TRUE(pushes.waitFor([&] { return !pushes.errors.empty(); }));
    EXPECT_EQ(pushes.errors[0].code(), ConnectionError::ClosedByPeer);
    ASSERT_TRUE(pushes.waitFor([&] { return connection.state() == Connection::Closed; }));
    EXPECT_EQ(client.userId(), 0);
    simulator->setHoldRequests(false);
    // Nothing arrives twice later on: a fresh round trip orders after any stray call.
    ASSERT_TRUE(open(connection));
    EXPECT_EQ(signIn(client), 500);
    for (auto &p : pending)
        EXPECT_EQ(p->callCount(), 1);
}

TEST_F(ConnectionLife, ClosingFailsPendingRequests)
{
    ASSERT_EQ(signIn(client), 500);
    simulator->setHoldRequests(true);
    auto r = Outcome<ValuePtr>::make();
    client.getActuatorValue(22, r->ok(), r->fail());
    ASSERT_TRUE(simulator->waitForHeldRequests(1, kWait));
    connection.close();
    EXPECT_EQ(r->code(), HandlerError::ConnectionLost);
}

TEST_F(ConnectionLife, UnansweredRequestTimesOutAndTheLateAnswerIsDropped)
{
    ASSERT_EQ(signIn(client), 500);
    connection.setRequestTimeout(std::chrono::milliseconds(200));
    simulator->setHoldRequests(true);
    auto r = Outcome<ValuePtr>::make();
    client.getActuatorValue(22, r->ok(), r->fail());
    EXPECT_EQ(r->code(), HandlerError::Timeout);
    simulator->setHoldRequests(false); // the answer now arrives for a request nobody waits for
    EXPECT_EQ(signIn(client), 500);
    EXPECT_EQ(r->callCount(), 1);
    EXPECT_EQ(connection.state(), Connection::Open);
}

TEST_F(ConnectionLife, ClientDroppedInsideItsCallbackHearsNothingMore)
{
    ASSERT_EQ(signIn(client), 500);
    auto holder = std::make_shared<Client>(pushes.clientCallbacks(), connection);
    auto first = Outcome<std::int64_t>::make();
    auto second = Outcome<std::int64_t>::make();
    holder->signIn(
        "operator", "operator",
        [first, holder](std::int64_t id) mutable {
            first->setValue(id);
            *holder = Client(); // drops the last handle of the signing-in client, on the I/O thread
        },
        first->fail());
    holder->signIn("operator", "operator", second->ok(), second->fail());
    holder.reset();
    ASSERT_EQ(first->code(), 0);
    EXPECT_EQ(signIn(client), 500); // orders after the second answer
    EXPECT_EQ(second->callCount(), 0);
}

TEST_F(ConnectionLife, DroppingTheClientFromAnotherThreadStopsCallbacks)
{
    ASSERT_EQ(signIn(client), 500);
    std::atomic<int> calls{0};
    std::atomic<bool> dropped{false};
    std::atomic<int> afterDrop{0};
    {
        Client busy(ClientCallbacks{}, connection);
        for (int i = 0; i < 200; ++i) {
            busy.signIn("operator", "operator",
                        [&](std::int64_t) {
                            ++calls;
                            if (dropped)
                                ++afterDrop;
                        },
                        {});
        }
        while (calls.load() < 5) // wait until callbacks are flowing
            std::this_thread::yield();
    } // destroyed here, possibly while a callback runs on the I/O thread
    dropped = true;
    EXPECT_EQ(signIn(client), 500);
    EXPECT_EQ(afterDrop.load(), 0);
    EXPECT_LT(calls.load(), 201);
}

TEST_F(ConnectionLife, WholeStackDroppedInsideACallbackDoesNotDeadlock)
{
    struct Stack
    {
        Context context;
        Connection connection;
        Client client;
    };
    auto stack = std::make_shared<Stack>();
    stack->connection = Connection(ConnectionCallbacks{}, stack->context);
    stack->client = Client(ClientCallbacks{}, stack->connection);
    ASSERT_TRUE(open(stack->connection));
    auto done = Outcome<bool>::make();
    auto holder = std::make_shared<std::shared_ptr<Stack>>(stack);
    stack->client.signIn(
        "operator", "operator",
        [holder, done](std::int64_t) {
            holder->reset(); // context, connection and client all go, on their own I/O thread
            done->setValue(true);
        },
        {});
    stack.reset();
    ASSERT_TRUE(done->wait());
}

TEST_F(ConnectionLife, DroppingEverythingWhileOpeningReturnsPromptly)
{
    FakeServer silent([](RawPeer &peer) { peer.readFrame(); });
    auto r = Outcome<bool>::make();
    const auto started = std::chrono::steady_clock::now();
    {
        Context ctx;
        Connection c(ConnectionCallbacks{}, ctx);
        c.open(
            "127.0.0.1", silent.port, [r] { r->setValue(true); },
            [r](const ConnectionError &e) { r->setError(HandlerError(e.code(), e.text())); });
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    EXPECT_EQ(r->callCount(), 0);
}

} // namespace
