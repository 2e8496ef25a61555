// Many requests in flight on one connection: answers in any order reach their own request, and
// every request still ends exactly once when the connection breaks or its Client goes.
#include "ZarnTestSupport.h"

#include <atomic>

using namespace ardix::zarn;
using namespace ardix::zarn::test;

namespace {

constexpr std::int64_t kObject = 2; // a camera of the demo site

// The outcomes of a burst of requests by request index, and the order in which they came.
class Burst : public std::enable_shared_from_this<Burst>
{
public:
    explicit Burst(std::size_t n)
        : calls_(n, 0)
        , codes_(n, -1)
        , values_(n)
    {}

    Client::AttributesOk ok(std::size_t i, const std::string &name)
    {
        auto self = shared_from_this();
        return [self, i, name](const NameValueMap &m) { self->record(i, 0, m.value(name)); };
    }
    Client::Fail fail(std::size_t i)
    {
        auto self = shared_from_this();
        return [self, i](const HandlerError &e) { self->record(i, e.code(), {}); };
    }
    bool waitForAll()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, kWait * 3,
                                 [&] { return arrivals_.size() >= calls_.size(); });
    }
    // Each request had exactly one outcome, and its code was one of `codes`.
    void expectEachOnce(const std::vector<int> &codes)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        EXPECT_EQ(arrivals_.size(), calls_.size());
        for (std::size_t i = 0; i < calls_.size(); ++i) {
            ASSERT_EQ(calls_[i], 1) << "request " << i;
            ASSERT_NE(std::find(codes.begin(), codes.end(), codes_[i]), codes.end())
                << "request " << i << " ended with " << codes_[i];
        }
    }
    std::vector<int> codes() { return locked(codes_); }
    std::vector<Value> values() { return locked(values_); }
    std::vector<std::size_t> arrivals() { return locked(arrivals_); }

private:
    void record(std::size_t i, int code, Value value)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++calls_[i];
        codes_[i] = code;
        values_[i] = std::move(value);
        arrivals_.push_back(i);
        changed_.notify_all();
    }
    template <typename T> T locked(const T &t)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return t;
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<int> calls_;
    std::vector<int> codes_;
    std::vector<Value> values_;
    std::vector<std::size_t> arrivals_;
};

class Pipelining : public SimFixture
{
protected:
    void SetUp() override
    {
        SimFixture::SetUp();
        ASSERT_EQ(signIn(client), 500);
    }
    // A round trip that orders after every answer to requests sent before it.
    void roundTrip()
    {
        auto r = Outcome<std::int64_t>::make();
        client.signIn("operator", "operator", r->ok(), r->fail());
        ASSERT_EQ(r->code(), 0);
    }
    // n requests back to back, none waiting for another; attribute i is named "a<i>".
    std::shared_ptr<Burst> issue(Client &c, std::size_t n)
    {
        auto burst = std::make_shared<Burst>(n);
        for (std::size_t i = 0; i < n; ++i) {
            const auto name = "a" + std::to_string(i);
            c.getDynamicAttribute(kObject, name, burst->ok(i, name), burst->fail(i));
        }
        return burst;
    }
};

TEST_F(Pipelining, AnswersInReverseOrderReachTheirOwnRequests)
{
    // Every other attribute exists, so that successes and failures interleave.
    constexpr std::size_t n = 2000;
    std::vector<std::shared_ptr<Done>> created;
    for (std::size_t i = 0; i < n; i += 2) {
        created.push_back(Done::make());
        client.createDynamicAttribute(kObject, "a" + std::to_string(i), IntValue(int(i)),
                                      doneOk(created.back()), created.back()->fail());
    }
    for (auto &c : created)
        ASSERT_EQ(c->code(), 0);

    simulator->setHoldRequests(true);
    auto burst = issue(client, n);
    ASSERT_TRUE(simulator->waitForHeldRequests(n, kWait * 3));
    simulator->answerHeldNewestFirst();
    ASSERT_TRUE(burst->waitForAll());
    simulator->setHoldRequests(false);
    roundTrip();

    burst->expectEachOnce({0, HandlerError::NotFound});
    const auto codes = burst->codes();
    const auto values = burst->values();
    for (std::size_t i = 0; i < n; ++i) {
        ASSERT_EQ(codes[i], i % 2 ? HandlerError::NotFound : 0) << "request " << i;
        if (i % 2 == 0) {
            ASSERT_EQ(values[i], IntValue(int(i))) << "request " << i;
        }
    }
    const auto arrivals = burst->arrivals();
    EXPECT_EQ(arrivals.front(), n - 1); // the newest request was answered first
    EXPECT_EQ(arrivals.back(), 0u);
}

TEST_F(Pipelining, BreakingWithThousandsInFlightFailsEachOnce)
{
    struct Case
    {
        const char *label;
        std::function<void()> breakIt;
    };
    const std::vector<Case> cases = {
        {"server drops", [&] { simulator->closeAllConnections(); }},
        {"client closes", [&] { connection.close(); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        simulator->setHoldRequests(true);
        constexpr std::size_t n = 5000;
        auto burst = issue(client, n);
        // Broken while some are parked at the server and others still on their way.
        ASSERT_TRUE(simulator->waitForHeldRequests(100, kWait));
        c.breakIt();
        ASSERT_TRUE(burst->waitForAll());
        simulator->setHoldRequests(false);
        ASSERT_TRUE(pushes.waitFor([&] { return connection.state() == Connection::Closed; }));
        ASSERT_TRUE(open(connection));
        roundTrip();
        burst->expectEachOnce({HandlerError::ConnectionLost, HandlerError::NotConnected});
    }
}

TEST_F(Pipelining, NothingRunsOnceTheClientIsGone)
{
    for (const bool wholeStack : {false, true}) {
        SCOPED_TRACE(wholeStack ? "context, connection and client dropped" : "client dropped");
        std::atomic<bool> gone{false};
        std::atomic<int> calls{0};
        std::atomic<int> afterGone{0};
        auto count = [&] {
            ++calls;
            if (gone)
                ++afterGone;
        };
        {
            Context ownContext;
            Connection own(ConnectionCallbacks{}, ownContext);
            if (wholeStack) {
                ASSERT_TRUE(open(own));
            }
            Client busy(ClientCallbacks{}, wholeStack ? own : connection);
            if (wholeStack) {
                ASSERT_EQ(signIn(busy), 500);
            }
            for (int i = 0; i < 5000; ++i)
                busy.getDynamicAttribute(
                    kObject, "", [&](const NameValueMap &) { count(); },
                    [&](const HandlerError &) { count(); });
            const auto until = std::chrono::steady_clock::now() + kWait;
            while (calls.load() < 5 && std::chrono::steady_clock::now() < until)
                std::this_thread::yield(); // until answers are flowing
            ASSERT_GE(calls.load(), 5);
        } // dropped here, possibly while a callback runs on the I/O thread
        gone = true;
        roundTrip(); // on the fixture's connection, after every answer to `busy`
        EXPECT_EQ(afterGone.load(), 0);
    }
}

} // namespace
