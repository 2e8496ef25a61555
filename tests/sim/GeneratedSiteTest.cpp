// Generated sites: the same number of cameras gives the same site; its tree, gateways, doors and
// layouts hold together whatever the number; bad numbers are refused with the reason.
#include "Site.h"
#include "SiteGenerator.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <map>
#include <set>
#include <unordered_map>

using namespace ardix::sim;
using namespace ardix::zarn;

namespace {

using Index = std::unordered_map<std::int64_t, const SiteObject *>;

Index indexOf(const Site &s)
{
    Index index;
    for (const auto &o : s.objects)
        index.emplace(o.data.id, &o);
    return index;
}

const SiteObject *find(const Index &index, const std::string &id)
{
    const auto it = index.find(std::stoll(id));
    return it == index.end() ? nullptr : it->second;
}

void expectSameObject(const SiteObject &a, const SiteObject &b)
{
    EXPECT_EQ(a.data.id, b.data.id);
    EXPECT_EQ(a.data.name, b.data.name) << a.data.id;
    EXPECT_EQ(a.data.type, b.data.type) << a.data.id;
    EXPECT_EQ(a.data.className, b.data.className) << a.data.id;
    EXPECT_EQ(a.data.parent, b.data.parent) << a.data.id;
    EXPECT_EQ(a.data.children, b.data.children) << a.data.id;
    EXPECT_EQ(a.data.serialNumber, b.data.serialNumber) << a.data.id;
    EXPECT_TRUE(a.data.settings == b.data.settings) << a.data.id;
    EXPECT_TRUE(a.attributes == b.attributes) << a.data.id;
    EXPECT_EQ(bool(a.value), bool(b.value)) << a.data.id;
    if (a.value && b.value) {
        EXPECT_EQ(*a.value, *b.value) << a.data.id;
    }
}

TEST(GeneratedSite, TheSameNumberGivesTheSameSite)
{
    const auto a = SiteGenerator::generate({3000});
    const auto b = SiteGenerator::generate({3000});
    ASSERT_EQ(a.objects.size(), b.objects.size());
    for (std::size_t i = 0; i < a.objects.size(); ++i)
        expectSameObject(a.objects[i], b.objects[i]);
    // A site file's "generate" key makes the same objects as the program's option.
    std::string error;
    const auto c = Site::fromJson(R"({"generate": {"cameras": 3000}})", 0, error);
    ASSERT_TRUE(c) << error;
    ASSERT_EQ(c->objects.size(), a.objects.size());
    for (std::size_t i = 0; i < a.objects.size(); i += 97)
        expectSameObject(a.objects[i], c->objects[i]);
}

// Every object is reached once from the root, and each names as parent the one listing it.
void expectTree(const Site &s, const Index &index)
{
    std::set<std::int64_t> seen;
    std::vector<std::int64_t> pending{s.rootId};
    while (!pending.empty()) {
        const auto id = pending.back();
        pending.pop_back();
        ASSERT_TRUE(seen.insert(id).second) << id << " reached twice";
        for (const auto child : index.at(id)->data.children) {
            ASSERT_TRUE(index.count(child)) << child;
            EXPECT_EQ(index.at(child)->data.parent, id) << child;
            pending.push_back(child);
        }
    }
    EXPECT_EQ(seen.size(), s.objects.size());
}

// Each lock pairs with exactly one sensor of its controller; the sensor names a camera.
void expectDoors(const Site &s, const Index &index, std::size_t sites)
{
    std::map<std::string, std::pair<int, int>> pairs; // layout -> sensors, locks
    std::set<std::int64_t> controllers;
    for (const auto &o : s.objects) {
        const std::string layout = o.data.settings.value("layout").toString();
        if (o.data.className == "sensor.DOOR") {
            ++pairs[layout].first;
            const auto *camera = find(index, o.data.settings.value("camera").toString());
            ASSERT_TRUE(camera) << o.data.id;
            EXPECT_EQ(camera->data.type, int(ObjectType::Stream));
            controllers.insert(o.data.parent);
            EXPECT_EQ(index.at(o.data.parent)->data.className, "device.DOORCONTROLLER");
        } else if (o.data.className == "actuator.DOOR") {
            ++pairs[layout].second;
            EXPECT_EQ(o.data.type, int(ObjectType::Actuator));
            EXPECT_EQ(*o.value, BoolValue(true));
        }
    }
    EXPECT_EQ(controllers.size(), sites);
    EXPECT_GE(pairs.size(), 2 * sites);
    for (const auto &[layout, count] : pairs)
        EXPECT_EQ(count, std::make_pair(1, 1)) << layout;
}

// A cell inside its grid, over no other, naming an object of its kind below the device it names.
void expectCell(const nlohmann::json &e, const Index &index, std::vector<bool> &taken, int cols)
{
    const auto *object = find(index, e["objectId"].get<std::string>());
    ASSERT_TRUE(object) << e.dump();
    EXPECT_EQ(std::to_string(object->data.parent), e["deviceId"].get<std::string>()) << e.dump();
    EXPECT_EQ(object->data.type,
              int(e["type"] == "video" ? ObjectType::Stream : ObjectType::Sensor))
        << e.dump();
    const int rows = int(taken.size()) / cols;
    for (int r = e["row"]; r < e["row"].get<int>() + e["rowSpan"].get<int>(); ++r) {
        for (int c = e["col"]; c < e["col"].get<int>() + e["colSpan"].get<int>(); ++c) {
            ASSERT_TRUE(r < rows && c < cols) << e.dump();
            EXPECT_FALSE(taken[std::size_t(r * cols + c)]) << e.dump();
            taken[std::size_t(r * cols + c)] = true;
        }
    }
}

void expectLayouts(const SiteObject &root, const Index &index)
{
    ASSERT_EQ(root.attributes.size(), std::size_t(SiteGenerator::kLayouts));
    std::set<std::string> kinds;
    int walls = 0;
    for (const auto &[name, value] : root.attributes.entries()) {
        const auto doc = nlohmann::json::parse(value->toString(), nullptr, false);
        ASSERT_TRUE(doc.is_object()) << name;
        const int rows = doc["numRows"], cols = doc["numCols"];
        ASSERT_TRUE(rows >= 1 && rows <= 10 && cols >= 1 && cols <= 10) << name;
        walls += rows == 10 && cols == 10;
        std::vector<bool> taken(std::size_t(rows * cols), false);
        for (const auto &e : doc["elements"]) {
            kinds.insert(e["type"].get<std::string>());
            expectCell(e, index, taken, cols);
        }
        EXPECT_EQ(std::count(taken.begin(), taken.end(), false), 0) << name;
    }
    EXPECT_GT(walls, 10);
    EXPECT_EQ(kinds, (std::set<std::string>{"alarm", "door", "video"}));
}

TEST(GeneratedSite, HoldsTogetherWhateverTheNumberOfCameras)
{
    for (const std::int64_t cameras : {1, 64, 65, 1000, 10000}) {
        SCOPED_TRACE(cameras);
        const auto s = SiteGenerator::generate({cameras, "127.0.0.1", 9600});
        const auto index = indexOf(s);
        ASSERT_EQ(index.size(), s.objects.size());
        expectTree(s, index);
        std::size_t streams = 0, gateways = 0, sites = 0;
        std::set<std::string> serials;
        for (const auto &o : s.objects) {
            sites += o.data.parent == s.rootId;
            if (o.data.className != "device.GATEWAY")
                continue;
            ++gateways;
            EXPECT_FALSE(o.rtsp);
            EXPECT_LE(o.data.children.size(), 64u);
            for (const auto id : o.data.children) {
                const auto &cam = index.at(id)->data;
                ASSERT_EQ(cam.type, int(ObjectType::Stream));
                EXPECT_TRUE(serials.insert(cam.serialNumber).second) << cam.serialNumber;
                EXPECT_EQ(cam.settings.value("url").toString(), "http://127.0.0.1:9600/live/" +
                                                                    std::to_string(id) +
                                                                    "[[?profile{EQU}main]]");
                EXPECT_NE(cam.settings.value("profiles").toString().find("profile{EQU}sub"),
                          std::string::npos);
                ++streams;
            }
        }
        EXPECT_EQ(streams, std::size_t(cameras));
        EXPECT_EQ(gateways, std::size_t((cameras + 63) / 64));
        expectDoors(s, index, sites);
        expectLayouts(*index.at(s.rootId), index);
        EXPECT_EQ(s.users.size(), 1u);
    }
}

TEST(GeneratedSite, BadGenerateKeysAreRefusedWithAReason)
{
    const std::vector<std::pair<const char *, const char *>> cases = {
        {R"({"generate": {"cameras": 0}})", "from 1 to 100000, not 0"},
        {R"({"generate": {"cameras": "12"}})", "whole number from 1 to 100000, not \"12\""},
        {R"({"generate": {"cameras": 1.5}})", "not 1.5"},
        {R"({"generate": {"cameras": 100001}})", "not 100001"},
        {R"({"generate": {}})", "\"cameras\" is missing"},
        {R"({"generate": 5})", "\"generate\" must be an object"},
        {R"({"generate": {"cameras": 5, "camera": 5}})", "unknown key \"camera\""},
        {R"({"generate": {"cameras": 5, "httpPort": 0}})", "between 1 and 65535"},
        {R"({"objects": [{"id": 1, "type": 2, "class": "device.GATEWAY", "rtsp": "no"}]})",
         "(id 1): \"rtsp\" must be true or false"},
        {R"({"generate": {"cameras": 5}, "objects": [{"id": 1, "type": 7}]})",
         "\"objects\" must not be given beside it"},
        {R"({"generate": {"cameras": 5}, "events": [{"source": 999, "class": "a",
            "everySeconds": 1}]})",
         "\"source\" 999 names no object"},
    };
    for (const auto &[text, reason] : cases) {
        std::string error;
        EXPECT_FALSE(Site::fromJson(text, 0, error)) << text;
        EXPECT_NE(error.find(reason), std::string::npos) << text << " -> " << error;
    }
}

} // namespace
