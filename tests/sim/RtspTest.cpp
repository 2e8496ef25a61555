// The simulated gateway's RTSP service, in-process on loopback, checked with ffprobe and ffmpeg
// as independent clients: both profiles over TCP and UDP, one pipeline however many viewers,
// the fault commands (stop, restart), a gateway that asks for a password, unknown paths.
#include "ControlServer.h"
#include "GatewayRtsp.h"
#include "ZarnTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <thread>

using namespace ardix::zarn::test;
namespace sim = ardix::sim;

namespace {

constexpr std::int64_t kGateway = 2;

class Rtsp : public SimFixture
{
protected:
    void adjust(sim::SimulatorOptions &options) override { options.media.liveLoopSeconds = 2; }
    std::string url(const std::string &path, const std::string &credentials = {})
    {
        return "rtsp://" + credentials +
               "127.0.0.1:" + std::to_string(simulator->gatewayRtspPort(kGateway)) + path;
    }
    // codec, size and frame rate as ffprobe reads them, or its error.
    std::pair<int, std::string> probe(const std::string &address,
                                      const std::string &transport = "tcp")
    {
        return runCommand(
            "timeout 60 ffprobe -v error -rtsp_transport " + transport +
            " -select_streams v -show_entries stream=codec_name,width,height,r_frame_rate"
            " -of csv=p=0 '" +
            address + "' 2>&1");
    }
    int count(const std::string &text)
    {
        int n = 0;
        for (const auto &line : logLines())
            n += line.find(text) != std::string::npos;
        return n;
    }
    bool soon(const std::function<bool()> &condition)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }
};

class RtspProfiles : public Rtsp,
                     public ::testing::WithParamInterface<std::tuple<std::string, std::string>>
{};

TEST_P(RtspProfiles, FfprobeReadsTheProfileOverEitherTransport)
{
    const auto &[profile, transport] = GetParam();
    const auto [status, out] = probe(url("/live/11/" + profile), transport);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(out, profile == "main" ? "h264,640,360,25/1\n" : "h264,320,180,15/1\n");
}

INSTANTIATE_TEST_SUITE_P(BothProfiles, RtspProfiles,
                         ::testing::Combine(::testing::Values("main", "sub"),
                                            ::testing::Values("tcp", "udp")));

// Three viewers of one stream at once are fed by one pipeline, which goes when they do.
TEST_F(Rtsp, ViewersOfAStreamShareOnePipeline)
{
    std::vector<std::future<std::pair<int, std::string>>> viewers;
    for (const std::string transport : {"tcp", "tcp", "udp"})
        viewers.push_back(std::async(std::launch::async, [this, transport] {
            return runCommand("timeout 60 ffmpeg -v error -rtsp_transport " + transport + " -i '" +
                              url("/live/12/main") + "' -t 3 -f null - 2>&1");
        }));
    for (auto &v : viewers) {
        const auto [status, out] = v.get();
        EXPECT_EQ(status, 0) << out;
    }
    EXPECT_EQ(count("gateway 2 rtsp: pipeline /live/12/main started"), 1);
    EXPECT_TRUE(soon([this] { return count("rtsp: pipeline /live/12/main stopped") == 1; }));
}

// A stopped stream drops its viewers and answers 503 until it plays again; a restarted
// service refuses connections while down and serves again on the same port.
TEST_F(Rtsp, FaultCommandsReachTheRtspService)
{
    asio::io_context io;
    sim::ControlServer control(io, *simulator, [](const std::string &) {});
    auto viewer = std::async(std::launch::async, [this] {
        return runCommand("timeout 60 ffmpeg -v error -rtsp_transport tcp -i '" +
                          url("/live/13/main") + "' -t 50 -f null - 2>&1");
    });
    ASSERT_TRUE(soon([this] { return count("rtsp: PLAY /live/13/main -> 200") == 1; }));
    EXPECT_EQ(control.execute("live 13 stop"), "ok");
    // Dropped long before its 50 s are up.
    ASSERT_EQ(viewer.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    auto [status, out] = probe(url("/live/13/main"));
    EXPECT_NE(out.find("503"), std::string::npos) << out;
    EXPECT_EQ(probe(url("/live/14/main")).first, 0); // the others play on
    EXPECT_EQ(control.execute("live 13 play"), "ok");
    EXPECT_EQ(probe(url("/live/13/main")).first, 0);

    const unsigned short port = simulator->gatewayRtspPort(kGateway);
    const std::string address = url("/live/13/main");
    EXPECT_EQ(control.execute("rtsp 2 restart 3"), "ok");
    std::tie(status, out) = probe(address);
    EXPECT_NE(status, 0);
    EXPECT_NE(out.find("Connection refused"), std::string::npos) << out;
    EXPECT_TRUE(soon([&] { return simulator->gatewayRtspPort(kGateway) == port; }));
    EXPECT_EQ(probe(address).first, 0);
}

class RtspSignIn : public Rtsp
{
protected:
    sim::Site site() override
    {
        auto s = Rtsp::site();
        for (auto &o : s.objects) {
            if (o.data.id == kGateway) {
                o.rtspUser = "viewer";
                o.rtspPassword = "s3cret:@x";
            }
        }
        return s;
    }
};

// Without the password, or with another, 401; with it, the stream, and 404 for what the
// gateway does not serve.
TEST_F(RtspSignIn, AGatewayWithAPasswordRefusesOthersAndUnknownPaths)
{
    const std::string good = "viewer:s3cret%3A%40x@";
    for (const std::string credentials : {"", "viewer:wrong@"}) {
        const auto [status, out] = probe(url("/live/11/sub", credentials));
        EXPECT_NE(out.find("401"), std::string::npos) << credentials << ": " << out;
    }
    const auto [status, out] = probe(url("/live/11/sub", good));
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(out, "h264,320,180,15/1\n");
    for (const std::string path : {"/live/99/main", "/live/11/high", "/live/11", "/x"}) {
        const auto [status, out] = probe(url(path, good));
        EXPECT_NE(out.find("404"), std::string::npos) << path << ": " << out;
    }
}

} // namespace
