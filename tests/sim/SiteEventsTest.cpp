// The site's own events through the library, against the in-process simulator: the schedule
// reaches every user on the first event callback and follows a reload, door sensors say when
// they open and close, and the control port raises one event or a flood.
#include "ControlServer.h"
#include "ZarnTestSupport.h"

#include <nlohmann/json.hpp>

using namespace ardix::zarn;
using namespace ardix::zarn::test;
namespace sim = ardix::sim;

namespace {

sim::Site siteWith(const std::string &events)
{
    const std::string text = R"({"doorDelayMs": 50, "events": )" + events + R"(,
      "users": [ { "id": 500, "name": "operator", "password": "operator" },
                 { "id": 501, "name": "guard", "password": "guard" } ],
      "objects": [ { "id": 1, "type": 7 }, { "id": 14, "type": 10, "parent": 1 },
        { "id": 21, "type": 8, "class": "sensor.DOOR", "settings": { "layout": "d" } },
        { "id": 22, "type": 9, "class": "actuator.DOOR", "settings": { "layout": "d" } } ]})";
    std::string error;
    auto site = sim::Site::fromJson(text, sim::nowMs(), error);
    EXPECT_TRUE(site) << error;
    return site ? *site : sim::Site();
}

nlohmann::json fieldsOf(const Event &e)
{
    return nlohmann::json::parse(e.fields.value("fields").toString(), nullptr, false);
}

std::vector<std::string> classAndText(Pushes &p)
{
    std::lock_guard<std::mutex> lock(p.mutex);
    std::vector<std::string> out;
    for (const auto &e : p.events)
        out.push_back(e.className + ": " + fieldsOf(e).value("text", ""));
    return out;
}

class SiteEvents : public SimFixture
{
protected:
    // The door is forced open every second; the tests of other events drop the schedule first.
    sim::Site site() override
    {
        return siteWith(R"([{ "source": 21, "class": "door.FORCED", "text": "door forced open",
                              "everySeconds": 1, "fields": { "camera": "11" } }])");
    }
};

TEST_F(SiteEvents, ScheduledOnesReachEveryUserUnderOneIdAndFollowAReload)
{
    ASSERT_EQ(signIn(client), 500);
    Connection guardConnection(ConnectionCallbacks{}, context);
    ASSERT_TRUE(open(guardConnection));
    Pushes guard;
    Client guardClient(guard.clientCallbacks(), guardConnection);
    ASSERT_EQ(signIn(guardClient, "guard", "guard"), 501);
    // One delivery, one id: the operator, signed in first, has the guard's first event too.
    Event mine, theirs;
    ASSERT_TRUE(
        guard.waitFor([&] { return !guard.events.empty() && (theirs = guard.events[0], true); }));
    ASSERT_TRUE(pushes.waitFor([&] {
        for (const auto &e : pushes.events)
            if (e.eventId == theirs.eventId)
                return (mine = e, true);
        return false;
    }));
    EXPECT_EQ(mine.className, "door.FORCED");
    EXPECT_EQ(mine.sourceId, 21);
    EXPECT_EQ(mine.destinationId, 500);
    EXPECT_EQ(theirs.destinationId, 501);
    EXPECT_NEAR(double(mine.timestamp), double(sim::nowMs()), 60000.0);
    EXPECT_EQ(fieldsOf(mine), nlohmann::json({{"text", "door forced open"}, {"camera", "11"}}));

    // After a reload only the new entry runs; without a text it says its class.
    simulator->replaceSite(
        siteWith(R"([{"source": 14, "class": "video.MOTION", "everySeconds": 1}])"));
    ASSERT_TRUE(pushes.waitFor([&] { return pushes.events.back().className == "video.MOTION"; }));
    const auto before = pushes.events.size();
    ASSERT_TRUE(pushes.waitFor([&] { return pushes.events.size() >= before + 2; }));
    const auto seen = classAndText(pushes);
    EXPECT_EQ(std::vector<std::string>(seen.end() - 3, seen.end()),
              std::vector<std::string>(3, "video.MOTION: video.MOTION"));
}

TEST_F(SiteEvents, DoorSensorsSayWhenTheyOpenAndClose)
{
    simulator->replaceSite(siteWith("[]"));
    ASSERT_EQ(signIn(client), 500);
    auto set = Outcome<bool>::make();
    client.setActuatorValue(22, BoolValue(true), doneOk(set), set->fail()); // the lock closes
    ASSERT_TRUE(pushes.waitFor([&] { return !pushes.events.empty(); }));
    ASSERT_TRUE(simulator->setObjectValue(21, BoolValue(true))); // no change: nothing
    ASSERT_TRUE(simulator->setObjectValue(21, BoolValue(false)));
    ASSERT_TRUE(pushes.waitFor([&] { return pushes.events.size() >= 2; }));
    EXPECT_EQ(classAndText(pushes),
              (std::vector<std::string>{"door.CLOSED: door closed", "door.OPENED: door opened"}));
}

TEST_F(SiteEvents, ControlPortRaisesOneEventOrAFlood)
{
    simulator->replaceSite(siteWith("[]"));
    ASSERT_EQ(signIn(client), 500);
    asio::io_context io;
    sim::ControlServer control(io, *simulator, [](const std::string &) {});
    EXPECT_EQ(control.execute("event 99 a"), "error: no object 99");
    EXPECT_EQ(control.execute("flood 14 a 5 3601"),
              "error: SECONDS must be a whole number from 1 to 3600");
    EXPECT_EQ(control.execute("event 21 door.FORCED  door  forced open  "), "ok");
    EXPECT_EQ(control.execute("flood 14 video.MOTION 200 1"), "ok");
    ASSERT_TRUE(pushes.waitFor([&] { return pushes.events.size() == 201; }, 30s));
    std::vector<std::string> expected{"door.FORCED: door  forced open"};
    for (int i = 1; i <= 200; ++i)
        expected.push_back("video.MOTION: video.MOTION " + std::to_string(i));
    EXPECT_EQ(classAndText(pushes), expected);
    const auto lines = logLines();
    const std::string done = "flood of 200 \"video.MOTION\" events from 14 done";
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                            [&](const std::string &l) { return l.rfind(done, 0) == 0; }));
}

} // namespace
