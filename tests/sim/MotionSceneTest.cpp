// The simulated cameras' scenes: crossings that follow the documented rules (the same at the
// same wall-clock times whatever range is asked, every kind in an hour of opening time, few at
// night, never over the clock or the bottom strip), a made recording that shows each object
// where MotionScene says, and the control port's "motion" command. Runs in central European
// time (see CMakeLists.txt), which the opening hours follow.
#include "MotionScene.h"
#include "ControlServer.h"
#include "MediaMaker.h"
#include "Simulator.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>
#include <sstream>

using namespace ardix::sim;

namespace {

constexpr std::int64_t kHour = 3600000;
constexpr std::int64_t kMidnight = 1796770800000; // Wednesday 9 December 2026 00:00 CET

struct Row
{
    const char *name;
    std::uint64_t seed;
    std::int64_t stream;
    std::int64_t from, to; // hours after kMidnight
    std::size_t least, most;
    bool everyKind;
    std::int64_t firstStart; // ms after kMidnight, -1: none
};

class Rules : public ::testing::TestWithParam<Row>
{};

// Golden first starts: anyone following docs/site-file.md ("Scenes") gets these.
INSTANTIATE_TEST_SUITE_P(Scenes, Rules,
                         ::testing::Values(Row{"noon", 1, 11, 12, 13, 6, 6, true, 43542929},
                                           Row{"otherStream", 1, 12, 12, 13, 6, 6, true, 43327499},
                                           Row{"otherSeed", 7, 11, 12, 13, 6, 6, true, 43607413},
                                           Row{"openingDay", 1, 11, 7, 22, 90, 90, true, 25255810},
                                           Row{"night", 1, 11, 0, 6, 1, 20, true, 959209},
                                           Row{"emptyRange", 1, 11, 5, 5, 0, 0, false, -1},
                                           Row{"backwards", 1, 11, 13, 12, 0, 0, false, -1}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_P(Rules, CrossingsFollowTheRules)
{
    const Row &row = GetParam();
    const MotionScene scene(row.seed, row.stream);
    const auto found = scene.crossings(kMidnight + row.from * kHour, kMidnight + row.to * kHour);
    EXPECT_GE(found.size(), row.least);
    EXPECT_LE(found.size(), row.most);
    std::set<CrossingKind> kinds;
    for (const Crossing &c : found) {
        kinds.insert(c.kind);
        const std::int64_t slotStart = c.startMs / MotionScene::kSlotMs * MotionScene::kSlotMs;
        EXPECT_GE(c.startMs - slotStart, 5000);
        EXPECT_LE(c.endMs - slotStart, MotionScene::kSlotMs - 5000);
        const std::int64_t length = c.endMs - c.startMs;
        const std::pair<std::int64_t, std::int64_t> bounds[] = {
            {2000, 3000}, {55000, 65000}, {4000, 12000}, {30000, 45000}};
        EXPECT_GE(length, bounds[int(c.kind)].first);
        EXPECT_LE(length, bounds[int(c.kind)].second);
        // Inside the picture, below the name and clock, above the bottom strip.
        EXPECT_GE(c.box.x, 0.0);
        EXPECT_LE(c.box.x + c.box.w, 1.0 + 1e-9);
        EXPECT_GE(c.box.y, 0.25);
        EXPECT_LE(c.box.y + c.box.h, 0.75 + 1e-9);
        EXPECT_FALSE(c.box.overlaps(MotionScene::kBlinkingLight));
        // Every place the object is lies in its box, and it enters the box where it starts.
        for (std::int64_t ms = c.startMs; ms < c.endMs; ms += 250) {
            const SceneRect at = *c.at(ms);
            EXPECT_TRUE(at.overlaps(c.box)) << ms;
        }
        EXPECT_EQ(c.entersAt(c.box), c.startMs);
        EXPECT_FALSE(c.at(c.endMs));
    }
    EXPECT_EQ(kinds.size() == 4, row.everyKind);
    EXPECT_EQ(found.empty() ? -1 : found.front().startMs - kMidnight, row.firstStart);
}

// Two recordings that overlap show the same crossings where they overlap, and a crossing
// over a recording's start is seen by both recordings.
TEST(Scenes, OverlappingRangesAgree)
{
    const MotionScene scene(1, 11);
    const auto day = scene.crossings(kMidnight, kMidnight + 24 * kHour);
    for (std::int64_t from = kMidnight; from < kMidnight + 24 * kHour; from += 7 * 60000 + 311) {
        const std::int64_t to = from + 13 * 60000;
        std::vector<std::int64_t> expected, got;
        for (const auto &c : day)
            if (c.endMs > from && c.startMs < to)
                expected.push_back(c.startMs);
        for (const auto &c : scene.crossings(from, to))
            got.push_back(c.startMs);
        EXPECT_EQ(got, expected) << from;
    }
}

// A grey frame of 640x360 at `seconds` into a recording, decoded by ffmpeg.
std::vector<unsigned char> frameAt(const std::string &path, double seconds)
{
    char command[512];
    std::snprintf(command, sizeof command,
                  "ffmpeg -v error -i '%s' -ss %.3f -frames:v 1 -f rawvideo -pix_fmt gray -",
                  path.c_str(), seconds);
    std::vector<unsigned char> pixels(640 * 360);
    FILE *pipe = ::popen(command, "r");
    const std::size_t read = pipe ? std::fread(pixels.data(), 1, pixels.size(), pipe) : 0;
    if (pipe)
        ::pclose(pipe);
    return read == pixels.size() ? pixels : std::vector<unsigned char>();
}

double meanDifference(const std::vector<unsigned char> &a, const std::vector<unsigned char> &b,
                      SceneRect r)
{
    const int x0 = std::max(0, int(std::lround(r.x * 640))),
              x1 = std::min(640, int(std::lround((r.x + r.w) * 640)));
    const int y0 = int(std::lround(r.y * 360)), y1 = int(std::lround((r.y + r.h) * 360));
    double sum = 0;
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x, ++n)
            sum += std::abs(int(a[std::size_t(y * 640 + x)]) - int(b[std::size_t(y * 640 + x)]));
    return n ? sum / n : 0;
}

// The object is in the picture where the function says, in both profiles, and nowhere else.
TEST(Scenes, RecordingShowsEachKindWhereItIs)
{
    MediaMaker media(
        {std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/scene-cache"},
        [](const std::string &line) { std::fprintf(stderr, "%s\n", line.c_str()); });
    const MotionScene scene(1, 11);
    const auto hour = scene.crossings(kMidnight + 12 * kHour, kMidnight + 13 * kHour);
    // The first seconds of a slot never hold a crossing: the bare scene.
    const std::string bare = media.recording("Entrance", 11, kMidnight + 12 * kHour, 1000);
    const auto background = frameAt(bare, 0);
    ASSERT_FALSE(background.empty());
    for (const Crossing &c : hour) {
        const std::int64_t middle = (c.startMs + c.endMs) / 2 / 1000 * 1000;
        const auto profile =
            c.kind == CrossingKind::Short ? RecordingProfile::Main : RecordingProfile::Small;
        const std::string path = media.recording("Entrance", 11, middle - 1000, 2000, profile);
        const auto frame = frameAt(path, 1.0);
        ASSERT_FALSE(frame.empty()) << path;
        const SceneRect object = *c.at(middle);
        EXPECT_GT(meanDifference(frame, background, object), 40.0) << MotionScene::kindName(c.kind);
        // The bottom strip, which nothing crosses, is as it was.
        EXPECT_LT(meanDifference(frame, background, {0, 0.8, 1, 0.2}), 4.0);
    }
}

// "motion STREAM FROM TO" answers the crossings MotionScene gives, one line each, and the
// gateway makes its recordings from the site's seed.
TEST(Scenes, ControlPortAnswersTheCrossings)
{
    SimulatorOptions options;
    options.ephemeralPosPorts = true;
    std::mutex logMutex;
    std::string log;
    options.log = [&](const std::string &line) {
        std::lock_guard<std::mutex> lock(logMutex);
        log += line + "\n";
    };
    std::string error;
    EXPECT_FALSE(Site::fromJson(R"({"seed": -1, "objects": [{"id": 1, "type": 7}]})", 0, error));
    EXPECT_EQ(error, "site: \"seed\" must not be negative");
    EXPECT_FALSE(
        Site::fromJson(R"({"objects": [{"id": 1, "type": 10, "crossings": 0}]})", 0, error));
    EXPECT_EQ(error, "objects[0] (id 1): \"crossings\" must be true or false");
    auto site = Site::fromJson(R"({"seed": 7, "objects": [
          {"id": 1, "type": 7, "parent": 0},
          {"id": 2, "type": 2, "class": "device.GATEWAY", "parent": 1,
           "settings": {"address": "127.0.0.1"}},
          {"id": 11, "type": 10, "parent": 2,
           "chunks": [{"start": 1796814000000, "end": 1796814002000}]},
          {"id": 12, "type": 10, "parent": 2, "crossings": false}]})",
                               nowMs(), error);
    ASSERT_TRUE(site) << error;
    options.site = *site;
    Simulator simulator(std::move(options));
    ASSERT_TRUE(simulator.start(&error)) << error;
    httplib::Client http("127.0.0.1", simulator.gatewayHttpPort(2));
    http.set_read_timeout(60, 0);
    const auto recording = http.Get("/11_20261209-12-00-00");
    ASSERT_TRUE(recording);
    EXPECT_EQ(recording->status, 200);
    {
        std::lock_guard<std::mutex> lock(logMutex);
        EXPECT_NE(log.find("/rec-v3-7-11-1796814000000-2000-"), std::string::npos) << log;
    }
    asio::io_context io;
    ControlServer control(io, simulator, [](const std::string &) {});

    const std::int64_t from = kMidnight + 9 * kHour, to = kMidnight + 11 * kHour;
    std::istringstream answer(
        control.execute("motion 11 " + std::to_string(from) + " " + std::to_string(to)));
    const auto crossings = MotionScene(7, 11).crossings(from, to);
    std::string line;
    std::getline(answer, line);
    EXPECT_EQ(line, "ok " + std::to_string(crossings.size()));
    for (const Crossing &c : crossings) {
        std::getline(answer, line);
        EXPECT_EQ(line.rfind(std::to_string(c.startMs) + " " + std::to_string(c.endMs) + " " +
                                 MotionScene::kindName(c.kind) + " ",
                             0),
                  0u)
            << line;
    }
    EXPECT_FALSE(std::getline(answer, line));

    for (const auto &[command, refusal] : std::vector<std::pair<std::string, std::string>>{
             {"motion 11 5", "error: unknown command"},
             {"motion x 1 2", "error: STREAM"},
             {"motion 11 2 1", "error: FROM and TO"},
             {"motion 11 0 2678400001", "error: FROM and TO"},
             {"motion 11 a 2", "error: FROM and TO"},
             {"motion 99 1 2", "error: no gateway serves stream 99"}})
        EXPECT_EQ(control.execute(command).rfind(refusal, 0), 0u) << command;
    EXPECT_EQ(control.execute("motion 11 0 2678400000").rfind("ok ", 0), 0u);
    EXPECT_EQ(control.execute("motion 12 " + std::to_string(from) + " " + std::to_string(to)),
              "ok 0");
}

} // namespace
