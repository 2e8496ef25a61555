// The site file: what the demo shop holds, and how broken site files are refused.
#include "Site.h"
#include "ReceiptGenerator.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <map>
#include <regex>

using namespace ardix::sim;
using namespace ardix::zarn;

namespace {

Site demo()
{
    std::string error;
    auto site = Site::fromFile(ZARN_DEMO_SITE, nowMs(), error);
    EXPECT_TRUE(site) << error;
    return site ? *site : Site();
}

const SiteObject *byId(const Site &s, std::int64_t id)
{
    for (const auto &o : s.objects) {
        if (o.data.id == id)
            return &o;
    }
    return nullptr;
}

// The console's loader takes these keys; a layout that lacks one logs a warning.
void expectLoadableLayout(const std::string &name, const std::string &text)
{
    auto doc = nlohmann::json::parse(text, nullptr, false);
    ASSERT_TRUE(doc.is_object()) << name;
    for (const char *key : {"numRows", "numCols"})
        EXPECT_TRUE(doc[key].is_number_integer()) << name << " " << key;
    ASSERT_TRUE(doc["elements"].is_array() && !doc["elements"].empty()) << name;
    for (const auto &e : doc["elements"]) {
        for (const char *key : {"row", "col", "rowSpan", "colSpan"})
            EXPECT_TRUE(e[key].is_number_integer()) << name << " " << key;
        for (const char *key : {"type", "label", "deviceId", "objectId"})
            EXPECT_TRUE(e[key].is_string()) << name << " " << key;
        EXPECT_TRUE(e["type"] == "video" || e["type"] == "door" || e["type"] == "alarm") << name;
    }
}

// The console's url template expansion, enough to see that the demo addresses come out whole.
std::string expand(std::string t)
{
    auto vars = [](std::string s, int &n) {
        std::smatch m;
        std::regex re("\\{([a-zA-Z0-9_]+?)\\}");
        while (std::regex_search(s, m, re)) {
            const std::string v = m[1] == "EQU" ? "=" : m[1] == "SMC" ? ";" : "";
            n += v.empty() ? 0 : 1;
            s = m.prefix().str() + v + m.suffix().str();
        }
        return s;
    };
    std::smatch m;
    std::regex section("\\[\\[(.+?)\\]\\]");
    while (std::regex_search(t, m, section)) {
        int n = 0;
        std::string inner = vars(m[1], n);
        t = m.prefix().str() + (n ? inner : "") + m.suffix().str();
    }
    int n = 0;
    return vars(t, n);
}

TEST(DemoSite, HoldsFiveLoadableLayoutsOnObjectOne)
{
    const auto s = demo();
    EXPECT_EQ(s.rootId, 1);
    const auto *shop = byId(s, 1);
    ASSERT_TRUE(shop);
    ASSERT_EQ(shop->attributes.size(), 5u);
    std::map<std::string, std::pair<int, int>> sizes;
    for (const auto &[name, value] : shop->attributes.entries()) {
        EXPECT_EQ(value->kind(), StringValue::Kind);
        expectLoadableLayout(name, value->toString());
        auto doc = nlohmann::json::parse(value->toString());
        sizes[name] = {doc["numRows"], doc["numCols"]};
    }
    EXPECT_EQ(sizes["2x2 Cameras"], std::make_pair(2, 2));
    EXPECT_EQ(sizes["3x3 Cameras and doors"], std::make_pair(3, 3));
    EXPECT_EQ(sizes["Single camera"], std::make_pair(1, 1));
    EXPECT_EQ(sizes["8x8 Cameras"], std::make_pair(8, 8));
    EXPECT_EQ(sizes["Tills"], std::make_pair(2, 2));
    // The 8x8 layout: every cell a camera of the gateway, the four in turn.
    const auto many = nlohmann::json::parse(shop->attributes.value("8x8 Cameras").toString());
    ASSERT_EQ(many["elements"].size(), 64u);
    for (std::size_t i = 0; i < 64; ++i) {
        const auto &cell = many["elements"][i];
        EXPECT_EQ(cell["type"], "video") << i;
        EXPECT_EQ(cell["deviceId"], "2") << i;
        EXPECT_EQ(cell["objectId"], std::to_string(11 + i % 4)) << i;
        EXPECT_EQ(cell["row"].get<std::size_t>() * 8 + cell["col"].get<std::size_t>(), i);
    }
}

TEST(DemoSite, DoorsPairSensorAndActuatorThroughTheirLayoutSetting)
{
    const auto s = demo();
    int doors = 0;
    for (const auto &a : s.objects) {
        if (a.data.type != 9)
            continue;
        EXPECT_EQ(a.data.className, "actuator.DOOR");
        const auto layout = a.data.settings.value("layout").toString();
        int sensors = 0;
        for (const auto &o : s.objects)
            sensors += o.data.type == 8 && o.data.settings.value("layout").toString() == layout;
        EXPECT_EQ(sensors, 1) << layout;
        ++doors;
    }
    EXPECT_EQ(doors, 2);
}

// The door forced open and the car park's motion come by themselves; the door names its camera.
TEST(DemoSite, RaisesScheduledEventsFromTheFrontDoorAndTheCarPark)
{
    const auto s = demo();
    EXPECT_EQ(byId(s, 21)->data.settings.value("camera"), StringValue("11"));
    ASSERT_EQ(s.events.size(), 2u);
    EXPECT_EQ(s.events[0].fields + s.events[1].fields,
              R"({"text":"door forced open"}{"text":"motion"})");
}

TEST(DemoSite, StreamsExpandToGatewayAddressesAndHaveRecordings)
{
    const auto s = demo();
    const auto *gateway = byId(s, 2);
    ASSERT_TRUE(gateway);
    EXPECT_EQ(gateway->data.settings.value("address").toString(), "127.0.0.1");
    EXPECT_EQ(gateway->data.settings.value("posPort").toString(), "5556");
    std::map<std::int64_t, std::string> urls;
    for (const auto &o : s.objects) {
        if (o.data.type != 10)
            continue;
        const std::string id = std::to_string(o.data.id);
        urls[o.data.id] = expand(o.data.settings.value("url").toString());
        // "profiles": compact JSON text, largest first, each url on the stream's own id.
        const Value profilesSetting = o.data.settings.value("profiles");
        EXPECT_EQ(profilesSetting.kind(), StringValue::Kind) << id;
        const auto profiles = nlohmann::json::parse(profilesSetting.toString(), nullptr, false);
        EXPECT_EQ(profilesSetting.toString().find_first_of("\n "), std::string::npos) << id;
        // The car park's camera plays over RTSP, the others over HTTP.
        const auto base = id == "14" ? "rtsp://127.0.0.1:8554/live/14/"
                                     : "http://127.0.0.1:9554/live/" + id + "?profile=";
        ASSERT_EQ(profiles.size(), 2u) << id;
        EXPECT_EQ(profiles[0]["name"], "main");
        EXPECT_EQ(profiles[0]["width"], 640);
        EXPECT_EQ(profiles[0]["height"], 360);
        EXPECT_EQ(expand(profiles[0]["url"].get<std::string>()), base + "main");
        EXPECT_EQ(profiles[1]["name"], "sub");
        EXPECT_EQ(profiles[1]["width"], 320);
        EXPECT_EQ(profiles[1]["height"], 180);
        EXPECT_EQ(expand(profiles[1]["url"].get<std::string>()), base + "sub");
        EXPECT_FALSE(o.chunks.empty());
        EXPECT_LE(o.chunks.back().end, nowMs());
    }
    ASSERT_EQ(urls.size(), 7u);
    EXPECT_EQ(urls[11], "http://127.0.0.1:9554/live/11?profile=main");
    EXPECT_EQ(urls[12], "http://127.0.0.1:9554/live/12?profile=main;audio=off");
    EXPECT_EQ(urls[13], "http://127.0.0.1:9554/live/13?profile=main");
    EXPECT_EQ(urls[14], "rtsp://127.0.0.1:8554/live/14/main");
    EXPECT_EQ(urls[17], "http://127.0.0.1:9554/live/17?profile=main");
}

TEST(DemoSite, FourTillsHaveAWeekOfGeneratedReceipts)
{
    const std::int64_t now = nowMs();
    std::string error;
    auto s = Site::fromFile(ZARN_DEMO_SITE, now, error);
    ASSERT_TRUE(s) << error;
    std::size_t receipts = 0;
    std::vector<std::string> tills;
    for (const auto &o : s->objects) {
        if (!o.pos || !o.pos->generator)
            continue;
        tills.push_back(o.pos->generator->till);
        EXPECT_EQ(o.pos->historyFromMs, now - 7 * 24 * 3600000LL);
        // the Till's script stays what its live cell shows; the others publish their receipts
        EXPECT_EQ(o.pos->texts.empty(), o.data.id != 12);
        receipts += ReceiptGenerator(o.pos->generator->seed, o.data.id, o.pos->generator->till)
                        .between(o.pos->historyFromMs, now)
                        .size();
    }
    EXPECT_EQ(tills, (std::vector<std::string>{"Till 1", "Till 2", "Till 3", "Till 4"}));
    EXPECT_GT(receipts, 18000u);
    EXPECT_LT(receipts, 22000u);
}

// The console's timeline shows a day of the Till with one gap a few hours back.
TEST(DemoSite, TheTillRecordsADayWithOneTwentyMinuteGap)
{
    const auto s = demo();
    const auto *till = byId(s, 12);
    ASSERT_TRUE(till);
    const auto &chunks = till->chunks;
    ASSERT_EQ(chunks.size(), 142u);
    EXPECT_EQ(chunks.back().end - chunks.front().start, 24 * 3600000);
    std::vector<std::int64_t> gaps;
    for (std::size_t i = 1; i < chunks.size(); ++i) {
        if (chunks[i].start != chunks[i - 1].end) {
            EXPECT_EQ(chunks[i].start - chunks[i - 1].end, 20 * 60000);
            gaps.push_back(chunks.back().end - chunks[i].start);
        }
    }
    ASSERT_EQ(gaps.size(), 1u);
    EXPECT_GE(gaps[0], 2 * 3600000);
    EXPECT_LE(gaps[0], 6 * 3600000);
    EXPECT_TRUE(till->chunkMedia.empty()); // small recordings, all served
}

TEST(SiteFile, RecordingsTakeAProfileGapsAndLostChunks)
{
    constexpr std::int64_t kNow = 36000000 + 123; // ten hours and a bit after the epoch
    std::string error;
    auto s = Site::fromJson(R"({"objects":[
        {"id":1,"type":10,"recording":{"hours":1,"chunkMinutes":10,"skip":[1,2,2],
                                       "unavailable":[0,2,5]}},
        {"id":2,"type":10,"recording":{"hours":1,"chunkMinutes":30,"profile":"main"},
         "chunks":[{"start":100,"end":200,"profile":"small","unavailable":true},
                   {"start":300,"end":400,"profile":"main","unavailable":false}]}]})",
                            kNow, error);
    ASSERT_TRUE(s) << error;
    const auto starts = [](const SiteObject &o) {
        std::vector<std::int64_t> out;
        for (const auto &c : o.chunks)
            out.push_back(c.start);
        return out;
    };
    // The oldest chunk is position 0; skipping wins over unavailable.
    constexpr std::int64_t h = 3600000, m = 60000;
    EXPECT_EQ(starts(s->objects[0]),
              (std::vector<std::int64_t>{9 * h, 9 * h + 30 * m, 9 * h + 40 * m, 9 * h + 50 * m}));
    EXPECT_EQ(s->objects[0].chunks[0].size, 250000 * 600);
    std::map<std::int64_t, bool> lost;
    for (const auto &[start, media] : s->objects[0].chunkMedia) {
        EXPECT_EQ(media.profile, RecordingProfile::Small);
        lost[start] = media.unavailable;
    }
    EXPECT_EQ(lost, (std::map<std::int64_t, bool>{{9 * h, true}, {9 * h + 50 * m, true}}));

    const auto &two = s->objects[1];
    EXPECT_EQ(starts(two), (std::vector<std::int64_t>{100, 300, 9 * h, 9 * h + 30 * m}));
    EXPECT_EQ(two.chunks[2].size, 125000 * 1800); // the main profile's own rate
    ASSERT_EQ(two.chunkMedia.size(), 4u);
    EXPECT_EQ(two.chunkMedia.at(100).profile, RecordingProfile::Small);
    EXPECT_TRUE(two.chunkMedia.at(100).unavailable);
    EXPECT_EQ(two.chunkMedia.at(300).profile, RecordingProfile::Main);
    EXPECT_FALSE(two.chunkMedia.at(300).unavailable);
    EXPECT_EQ(two.chunkMedia.at(9 * h).profile, RecordingProfile::Main);
}

TEST(SiteFile, ChildrenFollowParentsUnlessListedAndValuesKeepTheirKind)
{
    std::string error;
    auto s = Site::fromJson(R"({"objects":[
        {"id":1,"type":7,"name":"root"},
        {"id":3,"type":2,"parent":1,"settings":{"n":5,"f":1.5,"b":true,"t":"x",
                                                 "id":{"kind":110,"v":7}}},
        {"id":2,"type":2,"parent":1},
        {"id":4,"type":2,"parent":2,"children":[9]}],
        "users":[{"id":5,"name":"u","password":"p"}]})",
                            0, error);
    ASSERT_TRUE(s) << error;
    EXPECT_EQ(s->rootId, 1);
    EXPECT_EQ(s->objects[0].data.children, (std::vector<std::int64_t>{3, 2}));
    EXPECT_EQ(s->objects[3].data.children, (std::vector<std::int64_t>{9}));
    const auto &settings = s->objects[1].data.settings;
    EXPECT_EQ(settings.names(), (std::vector<std::string>{"n", "f", "b", "t", "id"}));
    EXPECT_EQ(settings.value("n"), IntValue(5));
    EXPECT_EQ(settings.value("f"), FloatValue(1.5));
    EXPECT_EQ(settings.value("b"), BoolValue(true));
    EXPECT_EQ(settings.value("id"), IdValue(7));
}

TEST(SiteFile, BrokenSitesAreRefusedWithAReason)
{
    const std::vector<std::pair<const char *, const char *>> cases = {
        {"{", "not valid JSON"},
        {"[]", "must be a JSON object"},
        {R"({"objects":[]})", "non-empty array"},
        {R"({"objects":[{"id":1,"type":7},{"id":1,"type":2}]})", "appears twice"},
        {R"({"objects":[{"id":0,"type":7}]})", "reserved"},
        {R"({"objects":[{"type":7}]})", "\"id\" is missing"},
        {R"({"objects":[{"id":1,"type":"7"}]})", "must be an integer"},
        {R"({"objects":[{"id":1,"type":7,"name":5}]})", "must be a string"},
        {R"({"rootId":4,"objects":[{"id":1,"type":7}]})", "names no object"},
        {R"({"objects":[{"id":1,"type":10,"chunks":[{"start":5,"end":1}]}]})", "ends before"},
        {R"({"objects":[{"id":1,"type":7,"settings":{"v":{"kind":20,"v":"x"}}}]})", "does not fit"},
        {R"({"users":[{"id":1}],"objects":[{"id":1,"type":7}]})", "non-zero id and a name"},
        {R"({"objects":[{"id":1,"type":10,"recording":{"continues":1}}]})",
         "\"continues\" must be true or false"},
        {R"({"objects":[{"id":1,"type":10,"recording":{"profile":"large"}}]})",
         "\"profile\" must be \"small\" or \"main\""},
        {R"({"objects":[{"id":1,"type":10,"chunks":[{"start":1,"end":2,"profile":1}]}]})",
         "must be \"small\" or \"main\""},
        {R"({"objects":[{"id":1,"type":10,"recording":{"skip":3}}]})", "must be an array"},
        {R"({"objects":[{"id":1,"type":10,"recording":{"skip":[-1]}}]})", "integers from 0"},
        {R"({"objects":[{"id":1,"type":10,"recording":{"skip":["1"]}}]})", "integers from 0"},
        {R"({"objects":[{"id":1,"type":10,"recording":{"unavailable":[1.5]}}]})",
         "integers from 0"},
        {R"({"objects":[{"id":1,"type":10,"recording":{"hours":1,"unavailable":[6]}}]})",
         "recording: \"unavailable\": position 6 is past the last of the 6 chunks"},
        {R"({"objects":[{"id":1,"type":10,"chunks":[{"start":1,"end":2,"unavailable":1}]}]})",
         "\"unavailable\" must be true or false"},
        {R"({"objects":[{"id":1,"type":7}],"events":[{"source":9,"class":"a","everySeconds":1}]})",
         "events[0]: \"source\" 9 names no object"},
        {R"({"objects":[{"id":1,"type":7}],"events":[{"source":1,"class":"a","everySeconds":1,
            "firstAfterSeconds":86401}]})",
         "events[0]: \"firstAfterSeconds\" must be from 0 to 86400"},
        {R"({"objects":[{"id":1,"type":7}],"events":[{"source":1,"class":"a","everySeconds":1,
            "fields":{"text":"x"}}]})",
         "events[0]: \"fields\" must not hold \"text\""},
    };
    for (const auto &[text, reason] : cases) {
        std::string error;
        EXPECT_FALSE(Site::fromJson(text, 0, error)) << text;
        EXPECT_NE(error.find(reason), std::string::npos) << text << " -> " << error;
    }
    std::string error;
    EXPECT_FALSE(Site::fromFile("/nonexistent/site.json", 0, error));
    EXPECT_NE(error.find("cannot read"), std::string::npos);
}

TEST(SiteFile, GeneratedSiteHasTheAskedSize)
{
    const auto s = Site::generated(1234);
    EXPECT_EQ(s.objects.size(), 1234u);
    std::size_t children = 0;
    for (const auto &o : s.objects)
        children += o.data.children.size();
    EXPECT_EQ(children, 1233u); // every object but the root has exactly one parent
}

} // namespace
