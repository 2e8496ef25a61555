// The site's own events through the library, against the in-process simulator: the site file's
// schedule reaches every user on the first event callback and follows a reloaded file, door
// sensors raise "door opened" and "door closed", the control port raises one event or a flood,
// and bad schedule entries refuse the file.
#include "ControlServer.h"
#include "ZarnTestSupport.h"

#include <nlohmann/json.hpp>

#include <algorithm>

using namespace ardix::zarn;
using namespace ardix::zarn::test;
namespace sim = ardix::sim;

namespace {

// Two users, a door and a stream; `events` is the site's schedule.
sim::Site siteWith(const std::string &events)
{
    const std::string text = R"({"doorDelayMs": 50,
      "users": [ { "id": 500, "name": "operator", "password": "operator" },
                 { "id": 501, "name": "guard", "password": "guard" } ],
      "events": )" + events + R"(,
      "objects": [
        { "id": 1, "name": "Shop", "type": 7 },
        { "id": 3, "name": "Door controller", "type": 2, "parent": 1 },
        { "id": 21, "name": "Front door", "type": 8, "class": "sensor.DOOR", "parent": 3,
          "settings": { "layout": "front-door" }, "value": true },
        { "id": 22, "name": "Front door lock", "type": 9, "class": "actuator.DOOR", "parent": 3,
          "settings": { "layout": "front-door" }, "value": true },
        { "id": 14, "name": "Car park", "type": 10, "parent": 1 } ]})";
    std::string error;
    auto site = sim::Site::fromJson(text, sim::nowMs(), error);
    EXPECT_TRUE(site) << error;
    return site ? *site : sim::Site();
}

nlohmann::json fieldsOf(const Event &e)
{
    return nlohmann::json::parse(e.fields.value("fields").toString(), nullptr, false);
}

std::vector<std::string> texts(Pushes &p)
{
    std::lock_guard<std::mutex> lock(p.mutex);
    std::vector<std::string> out;
    for (const auto &e : p.events)
        out.push_back(fieldsOf(e).value("text", ""));
    return out;
}

class SiteEvents : public SimFixture
{
protected:
    sim::Site site() override { return siteWith("[]"); }
    bool logged(const std::string &text)
    {
        const auto lines = logLines();
        return std::any_of(lines.begin(), lines.end(),
                           [&](const auto &l) { return l.find(text) != std::string::npos; });
    }
};

class ScheduledEvents : public SiteEvents
{
protected:
    sim::Site site() override
    {
        return siteWith(R"([{ "source": 21, "class": "door.FORCED", "text": "door forced open",
            "everySeconds": 1, "firstAfterSeconds": 1, "fields": { "camera": "11", "level": 2 } }])");
    }
};

TEST_F(ScheduledEvents, ReachEveryUserOnTheFirstCallbackAndFollowAReload)
{
    ASSERT_EQ(signIn(client), 500);
    Connection guardConnection(ConnectionCallbacks{}, context);
    ASSERT_TRUE(open(guardConnection));
    Pushes guard;
    Client guardClient(guard.clientCallbacks(), guardConnection);
    ASSERT_EQ(signIn(guardClient, "guard", "guard"), 501);

    // One delivery has one id: wait for an id both users got.
    Event mine, theirs;
    ASSERT_TRUE(pushes.waitFor([&] {
        std::lock_guard<std::mutex> lock(guard.mutex);
        for (const auto &e : pushes.events) {
            for (const auto &g : guard.events) {
                if (e.eventId == g.eventId) {
                    mine = e;
                    theirs = g;
                    return true;
                }
            }
        }
        return false;
    }));
    EXPECT_EQ(mine.className, "door.FORCED");
    EXPECT_EQ(mine.sourceId, 21);
    EXPECT_EQ(mine.destinationId, 500);
    EXPECT_EQ(theirs.destinationId, 501);
    EXPECT_NEAR(static_cast<double>(mine.timestamp), static_cast<double>(sim::nowMs()), 60000.0);
    EXPECT_EQ(theirs.timestamp, mine.timestamp);
    EXPECT_EQ(fieldsOf(mine),
              nlohmann::json::parse(R"({"text":"door forced open","camera":"11","level":2})"));
    EXPECT_TRUE(pushes.broadcasts.empty());

    // A reloaded file's schedule replaces the old one; an entry without text takes its class.
    simulator->replaceSite(
        siteWith(R"([{ "source": 14, "class": "video.MOTION", "everySeconds": 1 }])"));
    const auto motions = [&] {
        return std::count_if(pushes.events.begin(), pushes.events.end(),
                             [](const Event &e) { return e.className == "video.MOTION"; });
    };
    ASSERT_TRUE(pushes.waitFor([&] { return motions() >= 3; }, 20s));
    std::lock_guard<std::mutex> lock(pushes.mutex);
    const auto firstMotion =
        std::find_if(pushes.events.begin(), pushes.events.end(),
                     [](const Event &e) { return e.className == "video.MOTION"; });
    EXPECT_EQ(fieldsOf(*firstMotion), nlohmann::json::parse(R"({"text":"video.MOTION"})"));
    EXPECT_EQ(firstMotion->sourceId, 14);
    for (auto it = firstMotion; it != pushes.events.end(); ++it)
        EXPECT_EQ(it->className, "video.MOTION");
}

// The lock opens the door, which says so; the same value again says nothing; closing says so.
TEST_F(SiteEvents, DoorSensorsRaiseOpenedAndClosed)
{
    ASSERT_EQ(signIn(client), 500);
    auto set = Outcome<bool>::make();
    client.setActuatorValue(22, BoolValue(false), doneOk(set), set->fail());
    ASSERT_EQ(set->code(), 0);
    ASSERT_TRUE(pushes.waitFor([&] { return !pushes.events.empty(); }));
    ASSERT_TRUE(simulator->setObjectValue(21, BoolValue(false)));
    ASSERT_TRUE(simulator->setObjectValue(22, BoolValue(true)));
    ASSERT_TRUE(simulator->setObjectValue(21, BoolValue(true)));
    ASSERT_TRUE(pushes.waitFor([&] { return pushes.events.size() >= 2; }));

    EXPECT_EQ(texts(pushes), (std::vector<std::string>{"door opened", "door closed"}));
    std::lock_guard<std::mutex> lock(pushes.mutex);
    EXPECT_EQ(pushes.events[0].className, "door.OPENED");
    EXPECT_EQ(pushes.events[1].className, "door.CLOSED");
    EXPECT_EQ(pushes.events[1].sourceId, 21);
    EXPECT_EQ(pushes.events[1].destinationId, 500);
}

TEST_F(SiteEvents, ControlPortRaisesOneEventOrAFlood)
{
    ASSERT_EQ(signIn(client), 500);
    asio::io_context io;
    sim::ControlServer control(io, *simulator, [](const std::string &) {});
    const std::vector<std::pair<std::string, std::string>> refused{
        {"event 99 door.FORCED", "error: no object 99"},
        {"event front door.FORCED", "error: SOURCE must be an object id"},
        {"event 21", "error: unknown command"},
        {"flood 99 video.MOTION 5 1", "error: no object 99"},
        {"flood 14 video.MOTION 0 1", "error: PER_SECOND must be a whole number from 1 to 10000"},
        {"flood 14 video.MOTION 10001 1", "error: PER_SECOND"},
        {"flood 14 video.MOTION 5 0", "error: SECONDS must be a whole number from 1 to 3600"},
        {"flood 14 video.MOTION 5 3601", "error: SECONDS"},
        {"flood 14 video.MOTION 5", "error: unknown command"},
    };
    for (const auto &[command, answer] : refused)
        EXPECT_EQ(control.execute(command).rfind(answer, 0), 0u) << command;

    EXPECT_EQ(control.execute("event 21 door.FORCED  door  forced open  "), "ok");
    EXPECT_EQ(control.execute("event 14 video.MOTION"), "ok");
    ASSERT_TRUE(pushes.waitFor([&] { return pushes.events.size() == 2; }));
    EXPECT_EQ(texts(pushes), (std::vector<std::string>{"door  forced open", "video.MOTION"}));

    // The answer comes at once; the events follow over the next second.
    EXPECT_EQ(control.execute("flood 14 video.MOTION 200 1"), "ok");
    EXPECT_FALSE(logged("flood of"));
    ASSERT_TRUE(pushes.waitFor([&] { return pushes.events.size() == 202; }, 30s));
    std::vector<std::string> expected{"door  forced open", "video.MOTION"};
    for (int i = 1; i <= 200; ++i)
        expected.push_back("video.MOTION " + std::to_string(i));
    EXPECT_EQ(texts(pushes), expected);
    EXPECT_TRUE(logged("flood of 200 \"video.MOTION\" events from 14 done"));
}

TEST(SiteFile, BadScheduledEventsAreRefusedWithTheirReason)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {R"({})", R"(site: "events" must be an array)"},
        {R"([5])", "events[0] must be an object"},
        {R"([{"class":"a","everySeconds":1}])", R"(events[0]: "source" is missing)"},
        {R"([{"source":99,"class":"a","everySeconds":1}])",
         R"(events[0]: "source" 99 names no object)"},
        {R"([{"source":1,"everySeconds":1}])", R"(events[0]: "class" must be a non-empty string)"},
        {R"([{"source":1,"class":7,"everySeconds":1}])", R"(events[0]: "class" must be a string)"},
        {R"([{"source":1,"class":"a"}])", R"(events[0]: "everySeconds" is missing)"},
        {R"([{"source":1,"class":"a","everySeconds":0}])",
         R"(events[0]: "everySeconds" must be from 1 to 86400)"},
        {R"([{"source":1,"class":"a","everySeconds":86401}])", R"("everySeconds" must be from 1)"},
        {R"([{"source":1,"class":"a","everySeconds":1.5}])",
         R"("everySeconds" must be an integer)"},
        {R"([{"source":1,"class":"a","everySeconds":1,"firstAfterSeconds":-1}])",
         R"(events[0]: "firstAfterSeconds" must be from 0 to 86400)"},
        {R"([{"source":1,"class":"a","everySeconds":1,"text":["x"]}])",
         R"(events[0]: "text" must be a string)"},
        {R"([{"source":1,"class":"a","everySeconds":1,"fields":[1]}])",
         R"(events[0]: "fields" must be an object)"},
        {R"([{"source":1,"class":"a","everySeconds":1,"fields":{"text":"x"}}])",
         R"(events[0]: "fields" must not hold "text")"},
        {R"([{"source":1,"class":"a","everySeconds":1},{"source":1,"class":"","everySeconds":1}])",
         R"(events[1]: "class" must be a non-empty string)"},
    };
    for (const auto &[events, reason] : cases) {
        const auto text = R"({"objects":[{"id":1,"type":7}],"events":)" + events + "}";
        std::string error;
        EXPECT_FALSE(sim::Site::fromJson(text, 0, error)) << events;
        EXPECT_NE(error.find(reason), std::string::npos) << events << " -> " << error;
    }
}

} // namespace
