// The simulated gateways' channel-text publishers: scripts sent in order as two-frame
// messages and recorded, gateways that cannot bind skipped, the record's queries, and the
// "pos" key of site files.
#include "PosTextLog.h"
#include "Simulator.h"

#include <gtest/gtest.h>
#include <zmq.hpp>

#include <chrono>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

using namespace ardix::sim;

namespace {

// A port that was free a moment ago: bound on an ephemeral port and released.
int freePort()
{
    zmq::context_t context(1);
    zmq::socket_t socket(context, zmq::socket_type::pub);
    socket.set(zmq::sockopt::linger, 0);
    socket.bind("tcp://127.0.0.1:*");
    const std::string bound = socket.get(zmq::sockopt::last_endpoint);
    return std::stoi(bound.substr(bound.rfind(':') + 1));
}

std::string siteWithGateways(int portA, int takenPort)
{
    return R"({
      "users": [ { "id": 500, "name": "operator", "password": "operator" } ],
      "objects": [
        { "id": 1, "name": "Shop", "type": 7 },
        { "id": 2, "name": "Gateway A", "type": 2, "parent": 1,
          "settings": { "address": "127.0.0.1", "posPort": )" +
           std::to_string(portA) + R"( } },
        { "id": 11, "name": "Till A", "type": 10, "parent": 2,
          "pos": { "intervalMs": 40, "texts": [ ["Receipt 1", "Tea  1.50", "TOTAL 1.50"], "Receipt 2\nTOTAL 0.99", "Receipt 3" ] } },
        { "id": 12, "name": "Door cam", "type": 10, "parent": 2 },
        { "id": 3, "name": "Gateway B", "type": 2, "parent": 1,
          "settings": { "address": "127.0.0.1", "posPort": )" +
           std::to_string(takenPort) + R"( } },
        { "id": 13, "name": "Till B", "type": 10, "parent": 3,
          "pos": { "texts": [ "never sent" ] } }
      ]
    })";
}

struct Received
{
    std::string channel;
    std::string text;
};

// Receives one two-frame message, or nothing within the timeout.
std::optional<Received> receive(zmq::socket_t &socket, std::chrono::milliseconds timeout)
{
    zmq::pollitem_t item{socket.handle(), 0, ZMQ_POLLIN, 0};
    if (zmq::poll(&item, 1, timeout) == 0)
        return std::nullopt;
    zmq::message_t channel, text;
    if (!socket.recv(channel) || !channel.more() || !socket.recv(text) || text.more())
        return std::nullopt;
    return Received{channel.to_string(), text.to_string()};
}

class Lines
{
public:
    LogFunction function()
    {
        return [this](const std::string &line) {
            std::lock_guard<std::mutex> lock(mutex_);
            lines_.push_back(line);
        };
    }
    bool containsText(const std::string &text)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto &l : lines_) {
            if (l.find(text) != std::string::npos)
                return true;
        }
        return false;
    }

private:
    std::mutex mutex_;
    std::vector<std::string> lines_;
};

} // namespace

TEST(PosPublisher, PublishesScriptsInOrderAndSkipsGatewaysThatCannotBind)
{
    zmq::context_t context(1);
    // Gateway B's port is taken by another socket.
    zmq::socket_t blocker(context, zmq::socket_type::pub);
    blocker.set(zmq::sockopt::linger, 0);
    blocker.bind("tcp://127.0.0.1:*");
    const std::string bound = blocker.get(zmq::sockopt::last_endpoint);
    const int takenPort = std::stoi(bound.substr(bound.rfind(':') + 1));

    std::string error;
    const int portA = freePort();
    auto site = Site::fromJson(siteWithGateways(portA, takenPort), nowMs(), error);
    ASSERT_TRUE(site) << error;
    EXPECT_EQ(site->objects[2].pos->texts[0], "Receipt 1\nTea  1.50\nTOTAL 1.50");

    Lines lines;
    SimulatorOptions options;
    options.site = *site;
    options.log = lines.function();
    Simulator simulator(std::move(options));
    ASSERT_TRUE(simulator.start(&error)) << error;

    const std::string endpointA = "tcp://127.0.0.1:" + std::to_string(portA);
    ASSERT_EQ(simulator.posPort(2), portA);
    EXPECT_TRUE(lines.containsText("gateway 2 publishing channel texts on " + endpointA));
    EXPECT_EQ(simulator.posPort(3), 0);
    EXPECT_TRUE(
        lines.containsText("gateway 3 cannot bind tcp://127.0.0.1:" + std::to_string(takenPort)));
    EXPECT_FALSE(simulator.publishPosText(13, "nowhere to go"));
    EXPECT_TRUE(simulator.publishPosText(12, "any stream of a bound gateway has its channel"));
    EXPECT_GT(simulator.eventPort(), 0);

    zmq::socket_t subscriber(context, zmq::socket_type::sub);
    subscriber.set(zmq::sockopt::linger, 0);
    subscriber.set(zmq::sockopt::subscribe, "11");
    subscriber.connect(endpointA);

    // Four texts in a row, in script order, starting anywhere in the script.
    const std::vector<std::string> script = site->objects[2].pos->texts;
    std::vector<std::string> got;
    while (got.size() < 4) {
        auto message = receive(subscriber, std::chrono::seconds(5));
        ASSERT_TRUE(message);
        EXPECT_EQ(message->channel, "11");
        got.push_back(message->text);
    }
    auto first = std::find(script.begin(), script.end(), got[0]);
    ASSERT_NE(first, script.end());
    for (std::size_t i = 0; i < got.size(); ++i)
        EXPECT_EQ(got[i], script[(static_cast<std::size_t>(first - script.begin()) + i) % 3]);

    // Every text sent is recorded with its time, also those sent before anyone listened.
    const auto kept = simulator.posTexts().between(11, 0, nowMs());
    ASSERT_GE(kept.size(), 4u);
    for (std::size_t i = 1; i < kept.size(); ++i)
        EXPECT_LE(kept[i - 1].timeMs, kept[i].timeMs);
    EXPECT_TRUE(simulator.posTexts().between(13, 0, nowMs()).empty());

    simulator.stop();
    // After stop the port is free again.
    zmq::socket_t again(context, zmq::socket_type::pub);
    again.set(zmq::sockopt::linger, 0);
    EXPECT_NO_THROW(again.bind(endpointA));
}

TEST(PosPublisher, DemoCashierCameraPublishesReceiptsOnItsStreamId)
{
    std::string error;
    auto site = Site::fromFile(ZARN_DEMO_SITE, nowMs(), error);
    ASSERT_TRUE(site) << error;
    SimulatorOptions options;
    options.site = *site;
    options.log = [](const std::string &) {};
    options.ephemeralPosPorts = true;
    Simulator simulator(std::move(options));
    ASSERT_TRUE(simulator.start(&error)) << error;
    const unsigned short port = simulator.posPort(2);
    ASSERT_GT(port, 0);

    zmq::context_t context(1);
    zmq::socket_t subscriber(context, zmq::socket_type::sub);
    subscriber.set(zmq::sockopt::linger, 0);
    subscriber.set(zmq::sockopt::subscribe, "12");
    subscriber.connect("tcp://127.0.0.1:" + std::to_string(port));
    // A text published now reaches the subscriber once its filter has arrived.
    std::optional<Received> message;
    while (!message) {
        ASSERT_TRUE(simulator.publishPosText(12, "Till 1  test receipt\nTOTAL 0.00"));
        message = receive(subscriber, std::chrono::milliseconds(200));
    }
    EXPECT_EQ(message->channel, "12");
    EXPECT_EQ(message->text, "Till 1  test receipt\nTOTAL 0.00");
    // Then the script's own receipts follow.
    do {
        message = receive(subscriber, std::chrono::seconds(8));
        ASSERT_TRUE(message);
    } while (message->text == "Till 1  test receipt\nTOTAL 0.00");
    EXPECT_EQ(message->text.rfind("Till 1  receipt", 0), 0u) << message->text;
    EXPECT_NE(message->text.find("\nTOTAL "), std::string::npos);
}

TEST(PosTextLog, AnswersInclusiveRangesOldestFirstAndDropsTheOldest)
{
    PosTextLog log(3);
    log.record(12, 1000, "a");
    log.record(12, 3000, "c");
    log.record(12, 2000, "b"); // out of order: kept in time order
    log.record(14, 2000, "other stream");
    auto texts = [&](std::int64_t id, std::int64_t from, std::int64_t to) {
        std::vector<std::string> result;
        for (const auto &t : log.between(id, from, to))
            result.push_back(t.text);
        return result;
    };
    EXPECT_EQ(texts(12, 1000, 3000), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(texts(12, 1001, 2999), (std::vector<std::string>{"b"}));
    EXPECT_EQ(texts(12, 3000, 1000), std::vector<std::string>{});
    EXPECT_EQ(texts(13, 0, 5000), std::vector<std::string>{});
    log.record(12, 4000, "d");
    EXPECT_EQ(texts(12, 0, 5000), (std::vector<std::string>{"b", "c", "d"}));
    EXPECT_EQ(log.between(12, 4000, 4000).front().timeMs, 4000);

    // Writers and readers on several threads at once.
    PosTextLog shared;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&shared, t] {
            for (int i = 0; i < 500; ++i) {
                shared.record(t % 2, i, "x");
                shared.between(t % 2, 0, i);
            }
        });
    }
    for (auto &t : threads)
        t.join();
    EXPECT_EQ(shared.between(0, 0, 1000).size(), 1000u);
}

TEST(PosScriptSite, RefusesBadScripts)
{
    const std::vector<std::pair<std::string, std::string>> rows = {
        {R"({ "texts": [] })", "non-empty array"},
        {R"({ "intervalMs": 0, "texts": ["a"] })", "intervalMs"},
        {R"({ "intervalMs": "3000", "texts": ["a"] })", "must be an integer"},
        {R"({ "texts": [ 5 ] })", "string or an array of strings"},
        {R"({ "texts": [ ["a", 1] ] })", "string or an array of strings"},
        {R"("Receipt")", "must be an object"},
        {R"({ "generator": 5 })", "\"generator\" must be an object"},
        {R"({ "generator": { "historyDays": 8 } })", "historyDays\" must be from 0 to 7"},
        {R"({ "generator": { "seed": "1" } })", "must be an integer"},
        {R"({ "generator": { "till": 1 } })", "must be a string"},
        {R"({ "generator": {}, "texts": [] })", "non-empty array"},
    };
    for (const auto &[pos, message] : rows) {
        const std::string doc = R"({ "objects": [ { "id": 1, "type": 7 },
            { "id": 12, "type": 10, "parent": 1, "pos": )" +
                                pos + " } ] }";
        std::string error;
        EXPECT_FALSE(Site::fromJson(doc, nowMs(), error)) << pos;
        EXPECT_NE(error.find(message), std::string::npos) << pos << ": " << error;
    }
    std::string error;
    EXPECT_FALSE(Site::fromJson(
        R"({ "objects": [ { "id": 1, "type": 7, "pos": { "texts": ["a"] } } ] })", nowMs(), error));
    EXPECT_NE(error.find("only streams"), std::string::npos) << error;
}
