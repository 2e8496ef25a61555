// "pos-data" answers a stream's past and what it publishes live alike, over real HTTP from the
// in-process simulator: an hour of a generator's past is exactly the generator's receipts, a
// script's history runs on into its live texts without a gap, a generator's receipt goes out
// live at its time and is answered once beside a text published by hand, and a range too large
// is cut at the oldest 20 000.
#include "ReceiptGenerator.h"
#include "Simulator.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>
#include <zmq.hpp>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <thread>

using namespace ardix::sim;

namespace {

constexpr std::int64_t kHour = 3600000;

// Stream 11 publishes a generator's receipts; 12 a script of three texts every 50 ms; 13 (on a
// gateway that publishes nothing live) a script every 10 ms with an hour of history.
const char *const kSite = R"({
  "users": [ { "id": 500, "name": "operator", "password": "operator" } ],
  "objects": [
    { "id": 1, "name": "Shop", "type": 7 },
    { "id": 2, "name": "Gateway", "type": 2, "class": "device.GATEWAY", "parent": 1,
      "settings": { "address": "127.0.0.1" } },
    { "id": 11, "name": "Till 2", "type": 10, "parent": 2,
      "pos": { "generator": { "seed": 7, "historyDays": 2, "till": "Till 2" } } },
    { "id": 12, "name": "Till 3", "type": 10, "parent": 2, "recording": { "hours": 1 },
      "pos": { "intervalMs": 50, "texts": [ "A", "B", "C" ] } },
    { "id": 3, "name": "Quiet gateway", "type": 2, "class": "device.GATEWAY", "parent": 1,
      "settings": { "address": "127.0.0.1", "posPort": 0 } },
    { "id": 13, "name": "Busy till", "type": 10, "parent": 3, "recording": { "hours": 1 },
      "pos": { "intervalMs": 10, "texts": [ "x", "y" ] } }
  ]
})";

class PosHistoryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string error;
        auto site = Site::fromJson(kSite, nowMs(), error);
        ASSERT_TRUE(site) << error;
        SimulatorOptions options;
        options.site = std::move(*site);
        options.log = [](const std::string &) {};
        options.ephemeralPosPorts = true;
        simulator = std::make_unique<Simulator>(std::move(options));
        ASSERT_TRUE(simulator->start(&error)) << error;
    }

    // The answer's JSON, or null when the request fails.
    nlohmann::json posData(std::int64_t gateway, std::int64_t stream, std::int64_t from,
                           std::int64_t to)
    {
        httplib::Client http("127.0.0.1", simulator->gatewayHttpPort(gateway));
        http.set_read_timeout(60, 0);
        const std::string path = "/pos-data?strmId=" + std::to_string(stream) +
                                 "&from=" + std::to_string(from) + "&to=" + std::to_string(to);
        auto answer = http.Get(path.c_str());
        EXPECT_TRUE(answer) << path;
        if (!answer)
            return nullptr;
        EXPECT_EQ(answer->status, 200) << path;
        return nlohmann::json::parse(answer->body, nullptr, false);
    }

    std::unique_ptr<Simulator> simulator;
};

// Polls until the condition holds or a minute has passed.
template <typename F> bool eventually(F condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

} // namespace

TEST_F(PosHistoryTest, AScriptsHistoryRunsOnIntoItsLiveTextsWithoutAGap)
{
    ASSERT_TRUE(
        eventually([&] { return simulator->posTexts().between(12, 0, nowMs()).size() >= 4; }));
    const auto live = simulator->posTexts().between(12, 0, nowMs());
    const auto answer = posData(2, 12, live.front().timeMs - 1000, nowMs());
    ASSERT_TRUE(answer.is_object());
    const auto &arr = answer["arr"];
    ASSERT_GE(arr.size(), live.size() + 15);
    const std::string order = "ABC";
    std::size_t historyCount = 0;
    for (std::size_t i = 0; i < arr.size(); ++i) {
        const std::string text = arr[i]["text"];
        historyCount += arr[i]["time"].get<std::int64_t>() < live.front().timeMs;
        if (i == 0)
            continue;
        const std::string previous = arr[i - 1]["text"];
        EXPECT_EQ(order.find(text), (order.find(previous) + 1) % 3) << "at " << i;
        // the replayed past keeps the script's interval to the millisecond
        if (arr[i]["time"].get<std::int64_t>() < live.front().timeMs) {
            EXPECT_EQ(arr[i]["time"].get<std::int64_t>() - arr[i - 1]["time"].get<std::int64_t>(),
                      50);
        }
    }
    EXPECT_GE(historyCount, 15u);
    EXPECT_GE(arr.size() - historyCount, live.size());
    // The live texts begin the script: the history ends on its last text.
    EXPECT_EQ(live.front().text, "A");
}

TEST_F(PosHistoryTest, ARangeOfMoreThan20000TextsIsCutAtTheOldest)
{
    const std::int64_t to = nowMs() - 1000;
    const std::int64_t from = to - 40 * 60000;
    const auto answer = posData(3, 13, from, to);
    ASSERT_TRUE(answer.is_object());
    const auto &arr = answer["arr"];
    ASSERT_EQ(arr.size(), 20000u);
    EXPECT_EQ(answer["cut"], true);
    const std::int64_t first = arr.front()["time"];
    EXPECT_GE(first, from);
    EXPECT_LT(first, from + 10);
    EXPECT_EQ(arr.back()["time"].get<std::int64_t>(), first + 19999 * 10);
    EXPECT_EQ(answer["next"].get<std::int64_t>(), first + 20000 * 10);
    // Asking on from "next" goes on where the answer stopped.
    const auto rest = posData(3, 13, answer["next"], answer["next"].get<std::int64_t>() + 100);
    ASSERT_EQ(rest["arr"].size(), 11u);
    EXPECT_NE(rest["arr"][0]["text"], arr.back()["text"]);
    EXPECT_FALSE(rest.contains("cut"));
}

TEST(PosHistoryLive, AGeneratorsReceiptGoesOutAtItsTimeAndIsAnsweredOnce)
{
    // A time zone where it is around noon now, and a seed whose next receipt is a few seconds
    // away, so the shop is open and the test does not wait long.
    const char *oldZone = std::getenv("TZ");
    const std::string savedZone = oldZone ? oldZone : "";
    const std::int64_t utcHour = nowMs() / kHour % 24;
    ::setenv("TZ", ("LOC" + std::to_string(utcHour - 12)).c_str(), 1);
    ::tzset();
    std::uint64_t seed = 1;
    std::optional<Receipt> next;
    for (; seed < 5000; ++seed) {
        next = ReceiptGenerator(seed, 21, "Till 9").after(nowMs() + 3000);
        if (next && next->timeMs < nowMs() + 15000)
            break;
    }
    ASSERT_TRUE(next && next->timeMs < nowMs() + 15000);

    std::string error;
    auto site = Site::fromJson(R"({ "objects": [ { "id": 1, "type": 7 },
        { "id": 2, "type": 2, "class": "device.GATEWAY", "parent": 1 },
        { "id": 21, "type": 10, "parent": 2,
          "pos": { "generator": { "seed": )" +
                                   std::to_string(seed) +
                                   R"(, "historyDays": 1, "till": "Till 9" } } } ] })",
                               nowMs(), error);
    ASSERT_TRUE(site) << error;
    SimulatorOptions options;
    options.site = std::move(*site);
    options.log = [](const std::string &) {};
    options.ephemeralPosPorts = true;
    Simulator simulator(std::move(options));
    ASSERT_TRUE(simulator.start(&error)) << error;

    zmq::context_t context(1);
    zmq::socket_t subscriber(context, zmq::socket_type::sub);
    subscriber.set(zmq::sockopt::linger, 0);
    subscriber.set(zmq::sockopt::subscribe, "21");
    subscriber.connect("tcp://127.0.0.1:" + std::to_string(simulator.posPort(2)));
    std::vector<std::string> received;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline &&
           std::find(received.begin(), received.end(), next->text) == received.end()) {
        zmq::pollitem_t item{subscriber.handle(), 0, ZMQ_POLLIN, 0};
        if (zmq::poll(&item, 1, std::chrono::milliseconds(200)) == 0)
            continue;
        zmq::message_t channel, text;
        if (subscriber.recv(channel) && channel.more() && subscriber.recv(text))
            received.push_back(text.to_string());
    }
    EXPECT_NE(std::find(received.begin(), received.end(), next->text), received.end());
    EXPECT_GE(nowMs(), next->timeMs);

    // A text published by hand beside the generator's is answered too, each once.
    ASSERT_TRUE(simulator.publishPosText(21, "manual entry"));
    const std::int64_t manual = nowMs();
    httplib::Client http("127.0.0.1", simulator.gatewayHttpPort(2));
    const std::string path = "/pos-data?strmId=21&from=" + std::to_string(next->timeMs - 1) +
                             "&to=" + std::to_string(manual + 1);
    auto answer = http.Get(path.c_str());
    ASSERT_TRUE(answer);
    const auto arr = nlohmann::json::parse(answer->body)["arr"];
    const auto generated =
        ReceiptGenerator(seed, 21, "Till 9").between(next->timeMs - 1, manual + 2);
    ASSERT_EQ(arr.size(), generated.size() + 1);
    EXPECT_EQ(arr[0]["time"], next->timeMs);
    EXPECT_EQ(arr[0]["text"], next->text);
    EXPECT_EQ(std::count_if(arr.begin(), arr.end(),
                            [](const auto &t) { return t["text"] == "manual entry"; }),
              1);

    if (oldZone)
        ::setenv("TZ", savedZone.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}
