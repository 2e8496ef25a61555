// The simulated gateway's HTTP service, in-process on loopback: "pos-data" answers from the
// record of published texts, a chunk that searchChunks returned downloads as a recording of
// that length, live streams start on a keyframe, run in real time in the profile asked for and
// play in a real mpv, many viewers at once, and failures are one log line each while the event
// server keeps running.
#include "ControlServer.h"
#include "GatewayHttp.h"
#include "TsLoop.h"
#include "ZarnTestSupport.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <thread>

using namespace ardix::zarn;
using namespace ardix::zarn::test;
namespace sim = ardix::sim;

namespace {

constexpr std::int64_t kGateway = 2;
// Two short recordings of stream 11: 3 s and 2 s.
constexpr std::int64_t kStart = 1765170000000;

std::string ffprobeDuration(const std::string &path)
{
    const std::string command =
        "ffprobe -v error -show_entries format=duration -of csv=p=0 '" + path + "' 2>/dev/null";
    std::string out;
    if (FILE *pipe = ::popen(command.c_str(), "r")) {
        char buffer[128];
        while (std::fgets(buffer, sizeof buffer, pipe))
            out += buffer;
        ::pclose(pipe);
    }
    return out;
}

int pidOf(const unsigned char *p)
{
    return ((p[1] & 0x1f) << 8) | p[2];
}

// Video frame times (PTS, 90 kHz) and whether the first video packet is a keyframe.
struct TsSummary
{
    std::vector<std::int64_t> pts;
    bool firstIsKey = false;
    int firstPid = -1;
    int ccErrors = 0;
};

TsSummary summarize(const std::string &bytes)
{
    TsSummary s;
    std::map<int, int> cc;
    for (std::size_t off = 0; off + 188 <= bytes.size(); off += 188) {
        const auto *p = reinterpret_cast<const unsigned char *>(bytes.data() + off);
        const int pid = pidOf(p);
        if (s.firstPid < 0)
            s.firstPid = pid;
        if (p[3] & 0x10) {
            const int c = p[3] & 0x0f;
            if (cc.count(pid) && c != ((cc[pid] + 1) & 0x0f))
                ++s.ccErrors;
            cc[pid] = c;
        }
        const std::size_t at = (p[3] & 0x20) ? 5 + p[4] : 4;
        if (!(p[1] & 0x40) || at + 14 > 188 || p[at] != 0 || p[at + 1] != 0 || p[at + 2] != 1 ||
            (p[at + 3] & 0xf0) != 0xe0)
            continue;
        if (s.pts.empty())
            s.firstIsKey = (p[3] & 0x20) && p[4] > 0 && (p[5] & 0x40);
        const unsigned char *t = p + at + 9;
        s.pts.push_back((std::int64_t(t[0] & 0x0e) << 29) | (std::int64_t(t[1]) << 22) |
                        (std::int64_t(t[2] & 0xfe) << 14) | (std::int64_t(t[3]) << 7) |
                        (t[4] >> 1));
    }
    return s;
}

class Gateway : public SimFixture
{
protected:
    void adjust(sim::SimulatorOptions &options) override { options.media.liveLoopSeconds = 2; }
    sim::Site site() override
    {
        auto s = SimFixture::site();
        for (auto &o : s.objects) {
            if (o.data.id == 11) {
                o.chunks = {{1, 11, kStart, kStart + 3000, 1},
                            {2, 11, kStart + 3000, kStart + 5000, 1}};
                o.recorder.reset();
            }
        }
        return s;
    }
    httplib::Client http()
    {
        httplib::Client c("127.0.0.1", simulator->gatewayHttpPort(kGateway));
        c.set_read_timeout(30, 0);
        c.set_url_encode(false); // the query goes out as written, ";" and all, as players send it
        return c;
    }
    std::vector<StreamChunk> searchChunks(std::int64_t stream)
    {
        auto r = Outcome<std::vector<StreamChunk>>::make();
        client.searchChunks(stream, 0, 0, kStart * 2, r->ok(), r->fail());
        EXPECT_EQ(r->code(), 0);
        return r->value.value_or(std::vector<StreamChunk>());
    }
    // Reads a live stream for `seconds` of wall time from its first bytes (a loop being made
    // first does not count).
    std::string readLive(const std::string &path, double seconds)
    {
        std::string bytes;
        std::optional<std::chrono::steady_clock::time_point> end;
        auto c = http();
        // Players ask for "bytes=0-"; a live stream answers it whole, with 200.
        c.Get(
            path.c_str(), {{"Range", "bytes=0-"}},
            [&](const httplib::Response &response) {
                EXPECT_EQ(response.status, 200);
                return true;
            },
            [&](const char *data, std::size_t n) {
                bytes.append(data, n);
                const auto now = std::chrono::steady_clock::now();
                if (!end)
                    end = now + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                    std::chrono::duration<double>(seconds));
                return now < *end;
            });
        return bytes;
    }
    bool logged(const std::string &text)
    {
        for (const auto &line : logLines()) {
            if (line.find(text) != std::string::npos)
                return true;
        }
        return false;
    }
    // A live request is logged when the gateway notices its viewer has gone, which a busy
    // machine may take a while to do.
    bool loggedSoon(const std::string &text)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!logged(text)) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }
};

TEST_F(Gateway, PosDataAnswersThePublishedTextsOfAStreamInAnInterval)
{
    auto &texts = simulator->posTexts();
    texts.record(11, 1000, "before");
    texts.record(11, 2000, "first \"quoted\" é");
    texts.record(11, 2500, "second");
    texts.record(12, 2200, "other stream");
    texts.record(11, 3000, "last");
    texts.record(11, 3001, "after");
    auto c = http();
    auto answer = c.Get("/pos-data?strmId=11&from=2000&to=3000");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 200);
    const auto json = nlohmann::json::parse(answer->body);
    EXPECT_EQ(json["from"], 2000);
    EXPECT_EQ(json["to"], 3000);
    const nlohmann::json expected =
        nlohmann::json::array({{{"time", 2000}, {"text", "first \"quoted\" é"}},
                               {{"time", 2500}, {"text", "second"}},
                               {{"time", 3000}, {"text", "last"}}});
    EXPECT_EQ(json["arr"], expected);
    answer = c.Get("/pos-data?strmId=13&from=0&to=99999");
    ASSERT_TRUE(answer);
    EXPECT_EQ(nlohmann::json::parse(answer->body)["arr"], nlohmann::json::array());
}

TEST_F(Gateway, PosDataRefusesMissingOrNonNumericParameters)
{
    auto c = http();
    for (const char *query : {"/pos-data", "/pos-data?strmId=11&from=1",
                              "/pos-data?strmId=x&from=1&to=2", "/pos-data?strmId=11&from=1&to=2x",
                              "/pos-data?strmId=11&from=&to=2", "/pos-data?strmId=11&from=1.5&to=2",
                              "/pos-data?strmId=99999999999999999999&from=1&to=2"}) {
        auto answer = c.Get(query);
        ASSERT_TRUE(answer) << query;
        EXPECT_EQ(answer->status, 400) << query;
        EXPECT_FALSE(answer->body.empty()) << query;
        EXPECT_EQ(answer->get_header_value("Content-Type").rfind("text/plain", 0), 0u) << query;
    }
}

TEST_F(Gateway, ARecordingOfEveryChunkThatSearchChunksReturnedLastsAsLongAsTheChunk)
{
    ASSERT_EQ(signIn(client), 500);
    const auto chunks = searchChunks(11);
    ASSERT_EQ(chunks.size(), 2u);
    auto c = http();
    for (const auto &chunk : chunks) {
        const std::string name = sim::GatewayHttp::recordingName(11, chunk.start);
        auto answer = c.Get(("/" + name).c_str());
        ASSERT_TRUE(answer);
        ASSERT_EQ(answer->status, 200) << name << answer->body;
        EXPECT_EQ(answer->get_header_value("Content-Type"), "video/mp4");
        const std::string file = std::string(std::getenv("TMPDIR")) + "/" + name + ".mp4";
        std::ofstream(file, std::ios::binary) << answer->body;
        const double seconds = std::stod(ffprobeDuration(file));
        EXPECT_NEAR(seconds, (chunk.end - chunk.start) / 1000.0, 0.25) << name;
    }
    // Made once: the second request is served from the cache folder.
    auto again = c.Get(("/" + sim::GatewayHttp::recordingName(11, chunks[0].start)).c_str());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->status, 200);
    int made = 0;
    for (const auto &line : logLines())
        made += line.find("media: made") != std::string::npos;
    EXPECT_EQ(made, 2);
}

// What a player seeking in a recording sends: single ranges on one kept-alive connection, each
// answered with its own bytes; a range outside the file is refused with the file's length.
TEST_F(Gateway, RangesOfARecordingAnswerTheirBytesOnOneConnection)
{
    const std::string path = "/" + sim::GatewayHttp::recordingName(11, kStart);
    auto c = http();
    int connections = 0;
    c.set_keep_alive(true);
    c.set_socket_options([&](socket_t) { ++connections; });
    auto whole = c.Get(path.c_str());
    ASSERT_TRUE(whole);
    ASSERT_EQ(whole->status, 200);
    EXPECT_EQ(whole->get_header_value("Accept-Ranges"), "bytes");
    const std::string body = whole->body;
    const std::size_t size = body.size();
    ASSERT_GT(size, 2000u);
    const std::string total = "/" + std::to_string(size);
    struct Row
    {
        std::string range;
        std::size_t first, last;
    };
    const Row rows[] = {
        {"bytes=100-199", 100, 199},
        {"bytes=" + std::to_string(size - 300) + "-", size - 300, size - 1},
        {"bytes=-50", size - 50, size - 1},
        {"bytes=0-" + std::to_string(size * 10), 0, size - 1}, // an end past the file: its end
        {"bytes=1000-1000", 1000, 1000},
    };
    for (const Row &row : rows) {
        auto part = c.Get(path.c_str(), {{"Range", row.range}});
        ASSERT_TRUE(part) << row.range;
        EXPECT_EQ(part->status, 206) << row.range;
        EXPECT_EQ(part->get_header_value("Content-Range"),
                  "bytes " + std::to_string(row.first) + "-" + std::to_string(row.last) + total)
            << row.range;
        EXPECT_EQ(part->body, body.substr(row.first, row.last - row.first + 1)) << row.range;
    }
    EXPECT_EQ(connections, 1);
    for (const std::string &range :
         {"bytes=" + std::to_string(size) + "-", std::string("bytes=-0"),
          "bytes=" + std::to_string(size + 5) + "-" + std::to_string(size + 9)}) {
        auto refused = c.Get(path.c_str(), {{"Range", range}});
        ASSERT_TRUE(refused) << range;
        EXPECT_EQ(refused->status, 416) << range;
        EXPECT_EQ(refused->get_header_value("Content-Range"), "bytes */" + std::to_string(size));
        EXPECT_TRUE(refused->body.empty()) << range;
    }
}

TEST_F(Gateway, UnknownNamesAnswer404)
{
    auto c = http();
    for (const std::string &path :
         {"/" + sim::GatewayHttp::recordingName(11, kStart + 1000), // inside a chunk
          "/" + sim::GatewayHttp::recordingName(12, kStart),        // no such chunk
          "/" + sim::GatewayHttp::recordingName(99, kStart),        // no such stream
          std::string("/11"), std::string("/x_20190101-05-07-09"), std::string("/live/99"),
          std::string("/live/abc"), std::string("/live/21"), std::string("/a/b/c")}) {
        auto answer = c.Get(path.c_str());
        ASSERT_TRUE(answer) << path;
        EXPECT_EQ(answer->status, 404) << path;
    }
}

TEST_F(Gateway, LiveConnectionsStartOnAKeyframeAndRunInRealTime)
{
    // Both profiles' loops, across their wrap.
    const std::vector<std::string> paths{"/live/12?profile=main", "/live/12?profile=sub",
                                         "/live/12?profile=sub;audio=off"};
    std::vector<std::string> received(paths.size());
    std::vector<std::thread> viewers;
    for (std::size_t i = 0; i < paths.size(); ++i)
        viewers.emplace_back([&, i] { received[i] = readLive(paths[i], 2.5); });
    for (auto &t : viewers)
        t.join();
    for (const auto &bytes : received) {
        const auto s = summarize(bytes);
        ASSERT_GT(s.pts.size(), 10u);
        EXPECT_EQ(s.firstPid, 0); // the program table comes first
        EXPECT_TRUE(s.firstIsKey);
        EXPECT_EQ(s.ccErrors, 0);
        // Past the 2 s loop the time stamps run on; at most the second before the start comes
        // at once, the rest in real time.
        for (std::size_t i = 1; i < s.pts.size(); ++i)
            ASSERT_GT(s.pts[i], s.pts[i - 1]) << i;
        const double span = (s.pts.back() - s.pts.front()) / 90000.0;
        EXPECT_GT(span, 1.5);
        EXPECT_LT(span, 2.5 + 1.1);
    }
}

TEST_F(Gateway, StandaloneMpvPlaysTheLiveStream)
{
    const std::string url =
        "http://127.0.0.1:" + std::to_string(simulator->gatewayHttpPort(kGateway)) +
        "/live/11?profile=main";
    const auto [status, out] =
        runCommand("timeout 60 mpv --no-config --vo=null --ao=null --frames=40 "
                   "--term-playing-msg='PLAYING ${video-format} ${width}x${height}' '" +
                   url + "' 2>&1");
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("PLAYING h264 640x360"), std::string::npos) << out;
}

TEST_F(Gateway, TheProfileInTheQueryChoosesTheLoopThatAnswers)
{
    struct Row
    {
        const char *query;
        const char *picture; // what ffprobe reads from the stream's first second
    };
    const Row rows[] = {
        {"", "640,360,25/1"},
        {"?profile=main", "640,360,25/1"},
        {"?profile=sub", "320,180,15/1"},
        {"?profile=sub;audio=off", "320,180,15/1"},
        {"?profile=sub&x=1", "320,180,15/1"},
        {"?profile=bogus", "640,360,25/1"},
        {"?profile=", "640,360,25/1"},
        {"?profile=subway", "640,360,25/1"},
    };
    for (const Row &row : rows) {
        const std::string path = std::string("/live/11") + row.query;
        const std::string file = std::string(std::getenv("TMPDIR")) + "/probe.ts";
        std::ofstream(file, std::ios::binary | std::ios::trunc) << readLive(path, 1.0);
        const auto [status, out] = runCommand("ffprobe -v error -select_streams v:0 -show_entries "
                                              "stream=width,height,r_frame_rate -of csv=p=0 '" +
                                              file + "' 2>/dev/null");
        EXPECT_EQ(status, 0) << path;
        EXPECT_EQ(out.substr(0, out.find('\n')), row.picture) << path;
        EXPECT_TRUE(loggedSoon("gateway 2 http: GET " + path + " -> 200")) << path;
    }
    // Each profile's loop is made once, under a file name of its own; the main one keeps the
    // name it had before there were profiles.
    std::vector<std::string> made;
    for (const auto &line : logLines()) {
        if (line.find("media: made") != std::string::npos)
            made.push_back(line.substr(line.rfind('/') + 1));
    }
    const auto madeAs = [&](const std::string &prefix) {
        return std::count_if(made.begin(), made.end(),
                             [&](const std::string &f) { return f.rfind(prefix, 0) == 0; });
    };
    EXPECT_EQ(madeAs("live-sub-v3-11-"), 1);
    EXPECT_LE(madeAs("live-v3-11-"), 1); // an earlier test of this process may have made it
}

TEST_F(Gateway, SeventyLiveViewersAndAPosDataRequestAreServedAtOnce)
{
    constexpr int kViewers = 70;
    std::mutex mutex;
    std::condition_variable changed;
    int receiving = 0;
    bool done = false;
    std::vector<std::thread> viewers;
    for (int i = 0; i < kViewers; ++i) {
        viewers.emplace_back([&, i] {
            const std::string path =
                "/live/" + std::to_string(11 + i % 4) + (i % 2 ? "?profile=sub" : "?profile=main");
            bool counted = false;
            auto c = http();
            // Every viewer keeps its connection until all have received video.
            c.Get(path.c_str(), [&](const char *, std::size_t) {
                std::lock_guard<std::mutex> lock(mutex);
                if (!counted) {
                    counted = true;
                    ++receiving;
                    changed.notify_all();
                }
                return !done;
            });
        });
    }
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait_for(lock, std::chrono::seconds(60), [&] { return receiving == kViewers; });
    }
    auto answer = http().Get("/pos-data?strmId=11&from=0&to=1");
    {
        std::lock_guard<std::mutex> lock(mutex);
        EXPECT_EQ(receiving, kViewers);
        done = true;
    }
    for (auto &t : viewers)
        t.join();
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 200);
}

// Streams 13 and 14 recorded as the site file's "recording" key makes them: 13 an hour of
// one-minute chunks with a gap of two and one chunk whose file is lost, 14 an hour in the main
// profile.
class GatewayRecordings : public Gateway
{
protected:
    sim::Site site() override
    {
        auto s = Gateway::site();
        std::string error;
        const auto recorded = sim::Site::fromJson(R"({"objects": [
            {"id": 13, "type": 10, "recording": {"hours": 1, "chunkMinutes": 1,
                                                 "skip": [57, 58], "unavailable": [55]}},
            {"id": 14, "type": 10, "recording": {"hours": 1, "chunkMinutes": 1,
                                                 "profile": "main"}}]})",
                                                  sim::nowMs(), error);
        EXPECT_TRUE(recorded) << error;
        for (auto &o : s.objects) {
            for (const auto &r : recorded ? recorded->objects : std::vector<sim::SiteObject>()) {
                if (o.data.id == r.data.id) {
                    o.chunks = r.chunks;
                    o.chunkMedia = r.chunkMedia;
                    o.recorder.reset(); // the hour before the load alone
                }
            }
        }
        return s;
    }
};

TEST_F(GatewayRecordings, SkippedChunksLeaveAGapAndALostOneIsListedButAnswers404)
{
    ASSERT_EQ(signIn(client), 500);
    const auto chunks = searchChunks(13);
    ASSERT_EQ(chunks.size(), 58u);
    // Positions 57 and 58 are gone: two minutes between the 57th chunk's end and the last.
    EXPECT_EQ(chunks[57].start - chunks[56].end, 120000);
    for (std::size_t i = 1; i < chunks.size(); ++i)
        EXPECT_TRUE(i == 57 || chunks[i].start == chunks[i - 1].end) << i;
    auto c = http();
    for (const std::size_t i : {std::size_t(54), std::size_t(55), std::size_t(56)}) {
        const std::string path = "/" + sim::GatewayHttp::recordingName(13, chunks[i].start);
        auto answer = c.Get(path.c_str());
        ASSERT_TRUE(answer) << i;
        EXPECT_EQ(answer->status, i == 55 ? 404 : 200) << i;
    }
}

TEST_F(GatewayRecordings, AMainRecordingIsTheCamerasPictureWithAKeyframeEverySecond)
{
    ASSERT_EQ(signIn(client), 500);
    const auto chunks = searchChunks(14);
    ASSERT_EQ(chunks.size(), 60u);
    const StreamChunk chunk = chunks.back();
    const std::string address =
        "http://127.0.0.1:" + std::to_string(simulator->gatewayHttpPort(kGateway)) + "/" +
        sim::GatewayHttp::recordingName(14, chunk.start);
    // Read by ffprobe over HTTP, as a player reads it: the stream, then every packet's flags.
    const auto [status, stream] = runCommand(
        "timeout 120 ffprobe -v error -select_streams v:0 -show_entries "
        "stream=codec_name,width,height,r_frame_rate:format=duration,size -of csv=p=0 '" +
        address + "' 2>&1");
    ASSERT_EQ(status, 0) << stream;
    const auto lines = stream.find('\n');
    EXPECT_EQ(stream.substr(0, lines), "h264,640,360,25/1");
    double seconds = 0;
    long long bytes = 0;
    ASSERT_EQ(std::sscanf(stream.c_str() + lines + 1, "%lf,%lld", &seconds, &bytes), 2) << stream;
    EXPECT_NEAR(seconds, 60.0, 0.1);
    // The listed size is what the file holds, give or take a tenth.
    EXPECT_NEAR(static_cast<double>(bytes), static_cast<double>(chunk.size), chunk.size / 10.0);
    const auto [probed, packets] = runCommand("timeout 120 ffprobe -v error -select_streams v:0 "
                                              "-show_entries packet=pts_time,flags -of csv=p=0 '" +
                                              address + "' 2>&1");
    ASSERT_EQ(probed, 0) << packets;
    std::vector<double> keyframes;
    std::istringstream in(packets);
    for (std::string line; std::getline(in, line);) {
        if (line.find(",K") != std::string::npos)
            keyframes.push_back(std::stod(line));
    }
    ASSERT_EQ(keyframes.size(), 60u);
    for (std::size_t i = 0; i < keyframes.size(); ++i)
        EXPECT_NEAR(keyframes[i], static_cast<double>(i), 0.01) << i;
    // mpv starts in the middle of it, from the gateway.
    const auto [played, out] =
        runCommand("timeout 60 mpv --no-config --vo=null --ao=null --start=45 --frames=10 "
                   "--term-playing-msg='PLAYING ${video-format} ${width}x${height}' '" +
                   address + "' 2>&1");
    EXPECT_EQ(played, 0) << out;
    EXPECT_NE(out.find("PLAYING h264 640x360"), std::string::npos) << out;
    EXPECT_TRUE(logged("/rec-main-v3-1-14-" + std::to_string(chunk.start) + "-60000-"));
}

class GatewaySmallSub : public Gateway
{
protected:
    void adjust(sim::SimulatorOptions &options) override
    {
        Gateway::adjust(options);
        ASSERT_TRUE(sim::MediaMaker::parseSubProfile("240x136@10", options.media));
    }
};

// A wall of many small cells asks for a smaller sub profile (zarn-sim --sub-profile); its loop
// has a file of its own, so that the usual sub loop in the same cache is not taken for it.
TEST_F(GatewaySmallSub, TheSubProfileIsServedAtTheChosenSizeAndRate)
{
    const std::string file = std::string(std::getenv("TMPDIR")) + "/small.ts";
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        << readLive("/live/11?profile=sub", 1.0);
    const auto [status, out] = runCommand("ffprobe -v error -select_streams v:0 -show_entries "
                                          "stream=width,height,r_frame_rate -of csv=p=0 '" +
                                          file + "' 2>/dev/null");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out.substr(0, out.find('\n')), "240,136,10/1");
    EXPECT_TRUE(logged("live-sub-240x136-10-v3-11-"));
}

TEST(SubProfile, OnlyEvenSizesAndRatesAnEncoderTakesAreRead)
{
    const char *refused[] = {"240x135@10",  "240x136", "240x136@0", "240x136@61",  "8x8@10",
                             "240x136@10x", "x136@10", "",          "5000x136@10", "-240x136@10"};
    for (const char *text : refused) {
        sim::MediaMaker::Options options;
        EXPECT_FALSE(sim::MediaMaker::parseSubProfile(text, options)) << text;
        EXPECT_EQ(options.subWidth, 320) << text;
    }
    sim::MediaMaker::Options options;
    ASSERT_TRUE(sim::MediaMaker::parseSubProfile("352x240@12", options));
    EXPECT_EQ(options.subWidth, 352);
    EXPECT_EQ(options.subHeight, 240);
    EXPECT_EQ(options.subRate, 12);
}

class GatewayFailures : public Gateway
{
protected:
    void adjust(sim::SimulatorOptions &options) override
    {
        Gateway::adjust(options);
        options.media.ffmpeg = "/nonexistent/ffmpeg";
        // Nothing made by the suites before may be found here.
        options.media.cacheDir = std::string(std::getenv("TMPDIR")) + "/empty-cache";
    }
};

TEST_F(GatewayFailures, MissingFfmpegIsOneLogLineAndTheEventServerRunsOn)
{
    auto c = http();
    auto live = c.Get("/live/11");
    ASSERT_TRUE(live);
    EXPECT_EQ(live->status, 503);
    auto recording = c.Get(("/" + sim::GatewayHttp::recordingName(11, kStart)).c_str());
    ASSERT_TRUE(recording);
    EXPECT_EQ(recording->status, 503);
    int lines = 0;
    for (const auto &line : logLines())
        lines += line.find("cannot run /nonexistent/ffmpeg") != std::string::npos;
    EXPECT_EQ(lines, 2); // one per request that needed it
    EXPECT_EQ(signIn(client), 500);
}

class GatewayCacheFailure : public Gateway
{
protected:
    void adjust(sim::SimulatorOptions &options) override
    {
        Gateway::adjust(options);
        const std::string file = std::string(std::getenv("TMPDIR")) + "/plain-file";
        std::ofstream(file) << "x";
        options.media.cacheDir = file + "/cache";
    }
};

TEST_F(GatewayCacheFailure, UnwritableCacheFolderIsOneLogLine)
{
    auto c = http();
    auto live = c.Get("/live/11");
    ASSERT_TRUE(live);
    EXPECT_EQ(live->status, 503);
    EXPECT_TRUE(logged("media: cannot use the cache folder"));
    EXPECT_EQ(signIn(client), 500);
}

TEST_F(Gateway, APortTakenIsOneLogLineAndTheEventServerRunsOn)
{
    sim::SimulatorOptions options;
    // Channel texts on a free port: the demo's 5556 belongs to the screen tests.
    options.ephemeralPosPorts = true;
    options.site = site();
    options.httpPort = simulator->gatewayHttpPort(kGateway);
    std::vector<std::string> lines;
    std::mutex mutex;
    options.log = [&](const std::string &line) {
        std::lock_guard<std::mutex> lock(mutex);
        lines.push_back(line);
    };
    sim::Simulator second(std::move(options));
    ASSERT_TRUE(second.start());
    EXPECT_EQ(second.gatewayHttpPort(kGateway), 0);
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string &l) {
                                return l.find("cannot listen for HTTP") != std::string::npos;
                            }),
              1);
    EXPECT_NE(second.eventPort(), 0);
}

// The fault commands of the control interface: malformed ones are refused with a reason and
// change nothing; the others stop, stall and resume a live stream and refuse sign-ins.
TEST_F(Gateway, ControlCommandsInjectFaults)
{
    asio::io_context io;
    sim::ControlServer control(io, *simulator, [](const std::string &) {});
    const std::vector<std::pair<std::string, std::string>> refused{
        {"", "error: unknown command"},
        {"bogus 1", "error: unknown command"},
        {"recording 13 pause", "error: recording takes stop or start"},
        {"recording x stop", "error: STREAM"},
        {"recording 2 stop", "error: stream 2 does not go on recording"},
        {"searches", "error: unknown command"},
        {"searches 1x", "error: STREAM"},
        {"drop-connections", "error: unknown command"},
        {"drop-connections -1", "error: SECONDS"},
        {"drop-connections 1.5", "error: SECONDS"},
        {"refuse-signin 99999999999999999999", "error: SECONDS"},
        {"live 11", "error: unknown command"},
        {"live 11 dance", "error: live takes"},
        {"live eleven stop", "error: STREAM"},
        {"live 99 stop", "error: no gateway serves stream 99"},
    };
    for (const auto &[command, answer] : refused)
        EXPECT_EQ(control.execute(command).rfind(answer, 0), 0u) << command;
    EXPECT_GT(readLive("/live/11", 1.0).size(), 0u);

    // stopped: new connections are answered 503
    EXPECT_EQ(control.execute("live 11 stop"), "ok");
    auto stopped = http().Get("/live/11");
    ASSERT_TRUE(stopped);
    EXPECT_EQ(stopped->status, 503);
    EXPECT_GT(readLive("/live/12", 1.0).size(), 0u); // the others play on

    // stalled: the connection is taken, nothing comes
    EXPECT_EQ(control.execute("live 11 stall"), "ok");
    {
        httplib::Client c("127.0.0.1", simulator->gatewayHttpPort(kGateway));
        c.set_read_timeout(1, 500000);
        std::size_t received = 0;
        c.Get("/live/11", [&](const char *, std::size_t n) {
            received += n;
            return true;
        });
        EXPECT_EQ(received, 0u);
    }
    EXPECT_EQ(control.execute("live 11 play"), "ok");
    EXPECT_GT(readLive("/live/11", 1.0).size(), 0u);

    // sign-ins refused, then connections dropped and refused
    EXPECT_EQ(control.execute("refuse-signin 60"), "ok");
    EXPECT_EQ(signIn(client), 0);
    EXPECT_EQ(control.execute("refuse-signin 0"), "ok");
    EXPECT_NE(signIn(client), 0);
    EXPECT_EQ(control.execute("drop-connections 60"), "ok");
    Connection another(pushes.connectionCallbacks(), context);
    EXPECT_FALSE(open(another));
    EXPECT_TRUE(logged("fault: connections refused for 60000 ms"));
    EXPECT_TRUE(logged("gateway 2: fault: live stream 11 stalled"));
}

// Malformed loops are refused with a reason; a made loop is indexed by frame.
TEST(TsLoop, RefusesWhatIsNotALoopableStream)
{
    std::string error;
    EXPECT_FALSE(sim::TsLoop::fromBytes("", error));
    EXPECT_FALSE(sim::TsLoop::fromBytes(std::string(187, '\x47'), error));
    std::string noSync(188 * 3, '\0');
    EXPECT_FALSE(sim::TsLoop::fromBytes(noSync, error));
    EXPECT_NE(error.find("sync"), std::string::npos);
    std::string noVideo;
    for (int i = 0; i < 4; ++i)
        noVideo += std::string("\x47\x1f\xff\x10", 4) + std::string(184, '\xff');
    EXPECT_FALSE(sim::TsLoop::fromBytes(noVideo, error));
}

} // namespace

// Stream 13 records on after the load in one-minute chunks, loaded 2.5 s before a chunk
// boundary of the site's clock: the chunk being recorded is listed ending now and served up to
// now, growing; it closes on the boundary and the next begins; the control port stops and
// resumes recording (a gap) and counts the searches answered.
class GatewayGrowing : public Gateway
{
protected:
    // Asks for the chunks until `done` holds of them or 30 s passed.
    template <typename F> std::vector<StreamChunk> chunksWhen(F done)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        auto chunks = searchChunks(13);
        while (!done(chunks) && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            chunks = searchChunks(13);
        }
        return chunks;
    }
    static constexpr std::int64_t kBoundary = kStart + 2 * 3600000;
    sim::Site site() override
    {
        auto s = Gateway::site();
        std::string error;
        const auto recorded = sim::Site::fromJson(R"({"objects": [
            {"id": 13, "type": 10, "recording": {"hours": 1, "chunkMinutes": 1}}]})",
                                                  kBoundary - 2500, error);
        EXPECT_TRUE(recorded) << error;
        for (auto &o : s.objects) {
            if (o.data.id == 13 && recorded) {
                o.chunks = recorded->objects.front().chunks;
                o.recorder = recorder = recorded->objects.front().recorder;
            }
        }
        return s;
    }
    std::int64_t simulatorNow() const { return recorder->now(); }
    std::shared_ptr<sim::ContinuousRecording> recorder;
    // The recording of a chunk as a player gets it, and its duration by ffprobe.
    double recordedSeconds(std::int64_t start)
    {
        const std::string path = "/" + sim::GatewayHttp::recordingName(13, start);
        auto answer = http().Get(path.c_str());
        EXPECT_TRUE(answer && answer->status == 200) << path;
        if (!answer)
            return -1;
        const std::string file = ::testing::TempDir() + "/growing.mp4";
        std::ofstream(file, std::ios::binary) << answer->body;
        return std::atof(ffprobeDuration(file).c_str());
    }
};

TEST_F(GatewayGrowing, TheChunkBeingRecordedGrowsClosesOnItsBoundaryAndStopsForAGap)
{
    ASSERT_EQ(signIn(client), 500);
    asio::io_context io;
    sim::ControlServer control(io, *simulator, [](const std::string &) {});
    auto chunks = searchChunks(13);
    ASSERT_EQ(chunks.size(), 61u);
    const StreamChunk open = chunks.back();
    EXPECT_EQ(open.start, kBoundary - 60000);
    EXPECT_EQ(chunks[59].end, open.start);
    EXPECT_GE(open.end, kBoundary - 2500);
    EXPECT_LT(open.end, kBoundary);
    // Served up to the moment asked, in whole seconds: 57 s of it (ffprobe reads what came).
    const double first = recordedSeconds(open.start);
    EXPECT_GE(first, 56.9);
    EXPECT_LE(first, 60.1);
    // Named "to", the same bytes however it grows meanwhile.
    const std::string upTo = "/" + sim::GatewayHttp::recordingName(13, open.start) +
                             "?to=" + std::to_string(open.start + 30500);
    auto named = http().Get(upTo.c_str());
    ASSERT_TRUE(named && named->status == 200);
    // A byte range of what is served.
    auto range = http().Get(("/" + sim::GatewayHttp::recordingName(13, open.start)).c_str(),
                            {{"Range", "bytes=0-99"}});
    ASSERT_TRUE(range);
    EXPECT_EQ(range->status, 206);
    EXPECT_EQ(range->body.size(), 100u);

    // Past the boundary the chunk is closed, whole, and the next one grows.
    chunks = chunksWhen([](const std::vector<StreamChunk> &c) {
        return c.size() == 62u && c.back().end - c.back().start >= 1000;
    });
    ASSERT_EQ(chunks.size(), 62u);
    EXPECT_EQ(chunks[60].start, open.start);
    EXPECT_EQ(chunks[60].end, kBoundary);
    EXPECT_EQ(chunks[61].start, kBoundary);
    EXPECT_GE(recordedSeconds(open.start), 59.9);
    auto again = http().Get(upTo.c_str());
    ASSERT_TRUE(again && again->status == 200);
    EXPECT_TRUE(again->body == named->body);
    const double next = recordedSeconds(kBoundary);
    EXPECT_GE(next, 1.0);
    EXPECT_LE(next, 10.0);

    // A stop closes the chunk being recorded; nothing grows until recording resumes.
    EXPECT_EQ(control.execute("recording 13 stop"), "ok");
    chunks = searchChunks(13);
    const std::int64_t stoppedAt = chunks.back().end;
    // The site's clock moves on a second and a half: the end stays.
    chunks = chunksWhen([&](const std::vector<StreamChunk> &c) {
        return simulatorNow() > stoppedAt + 1500 || c.back().end != stoppedAt;
    });
    EXPECT_EQ(chunks.back().end, stoppedAt);
    EXPECT_EQ(control.execute("recording 13 start"), "ok");
    chunks = chunksWhen([](const std::vector<StreamChunk> &c) { return c.size() == 63u; });
    ASSERT_EQ(chunks.size(), 63u);
    EXPECT_GE(chunks.back().start, stoppedAt + 1000);
    EXPECT_EQ(chunks[61].end, stoppedAt);
    // Every search above was counted.
    const std::string searches = control.execute("searches 13");
    EXPECT_EQ(searches.rfind("ok ", 0), 0u) << searches;
    EXPECT_GE(std::atoi(searches.c_str() + 3), 6);
}
