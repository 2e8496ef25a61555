#pragma once

#include "EventServer.h"
#include "GatewayHttp.h"
#include "GatewayRtsp.h"
#include "MediaMaker.h"
#include "MotionScene.h"
#include "PosPublisher.h"
#include "PosTextLog.h"
#include "Site.h"

#include <asio.hpp>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace ardix::sim {

// Default TCP port of the event server.
constexpr unsigned short kDefaultEventPort = 12240;

struct SimulatorOptions
{
    Site site;
    std::string host = "127.0.0.1";
    unsigned short eventPort = 0; // 0: an ephemeral port (tests)
    LogFunction log;              // one line per event; empty: stderr
    // Gateways publish channel texts on free ports instead of their "posPort" (tests); see
    // Simulator::posPort.
    bool ephemeralPosPorts = false;
    // Port of every gateway's HTTP service; 0: an ephemeral port each (tests); nothing: each
    // gateway's own "httpPort" from the site file (9554 by default).
    std::optional<unsigned short> httpPort = 0;
    // Port of every gateway's RTSP service, as httpPort: 0 (tests), or nothing for each
    // gateway's own "rtspPort" (8554 by default).
    std::optional<unsigned short> rtspPort = 0;
    MediaMaker::Options media; // where recordings and live loops are made and kept
    ServerLimits limits;       // timeouts and bounds of the event server's connections
};

// The simulated site in one object: the event server, and for each gateway (objects of class
// "device.GATEWAY") its channel-text publisher and its HTTP service, which serves the streams
// below it in the tree.
// Every public call is thread-safe: it runs on the simulator's own I/O thread and waits.
// The controls below do nothing before start().
class Simulator
{
public:
    explicit Simulator(SimulatorOptions options);
    ~Simulator();

    bool start(std::string *error = nullptr);
    void stop();
    unsigned short eventPort() const { return eventPort_; }

    void replaceSite(Site site);
    void notifyObjectsChanged();
    // Sets a sensor's or actuator's value and pushes it; false for an unknown id.
    bool setObjectValue(std::int64_t id, const zarn::Value &value);
    std::int64_t sendEvent(zarn::Event event);
    // Raises a site event with the given text now; its id, or 0 for an unknown source.
    std::int64_t raiseEvent(std::int64_t source, const std::string &className,
                            const std::string &text);
    // Starts a flood of site events on the simulator's loop (SiteEvents::flood) and returns at
    // once; false for an unknown source.
    bool flood(std::int64_t source, const std::string &className, int perSecond, int seconds);
    void closeAllConnections();
    // Faults (see docs/site-file.md): drops every event-server connection and closes new ones
    // at once for `refuseFor`; refuses every sign-in for `ms`; stops, stalls or resumes the
    // live stream of a stream id (false when no gateway serves it).
    void dropConnections(std::chrono::milliseconds refuseFor);
    void refuseSignIns(std::chrono::milliseconds ms);
    bool setLiveFault(std::int64_t streamId, GatewayHttp::LiveFault fault);
    void setHoldRequests(bool hold);
    // See EventServer::setHeldOperation and answerHeldNewestFirst.
    void setHeldOperation(const std::string &op);
    void answerHeldNewestFirst();
    // Waits until at least n requests are parked (setHoldRequests); false on timeout.
    bool waitForHeldRequests(std::size_t n, std::chrono::milliseconds timeout);
    std::size_t connectionCount();
    // How many chunk searches of a stream the event server answered since the start.
    std::int64_t chunkSearches(std::int64_t streamId);
    // Stops (false) or resumes (true) the recording of a stream that goes on recording, which
    // leaves a gap; false when the stream has no such recording.
    bool setRecording(std::int64_t streamId, bool on);
    // The crossings a gateway's stream shows in [fromMs, toMs) (MotionScene of the site's
    // seed); nothing for a stream no gateway serves.
    std::optional<std::vector<Crossing>> motion(std::int64_t streamId, std::int64_t fromMs,
                                                std::int64_t toMs);

    // The channel texts published so far, per stream; "pos-data" answers from them.
    PosTextLog &posTexts() { return posTexts_; }
    // The port a gateway publishes its channel texts on; 0 when it publishes none.
    unsigned short posPort(std::int64_t gatewayId) const { return pos_.port(gatewayId); }
    // Publishes one text on a stream's channel now; false when its gateway publishes nothing.
    bool publishPosText(std::int64_t streamId, const std::string &text)
    {
        return pos_.publish(streamId, text);
    }
    // The port of a gateway's HTTP service; 0 when it has none or it does not listen.
    unsigned short gatewayHttpPort(std::int64_t gatewayId);
    // The port of a gateway's RTSP service; 0 when it has none or it does not listen.
    unsigned short gatewayRtspPort(std::int64_t gatewayId);
    // Stops a gateway's RTSP service, dropping its clients, and starts it again after
    // downFor (a camera rebooting); false for an unknown gateway.
    bool restartRtsp(std::int64_t gatewayId, std::chrono::milliseconds downFor);

private:
    template <typename F> auto call(F &&f) -> decltype(f());
    static void logToStderr(const std::string &line);
    // Gateways that share one HTTP service (and RTSP service): the first one's settings rule.
    struct GatewayGroup
    {
        const SiteObject *first = nullptr;
        std::string host;
        unsigned short port = 0;
        std::vector<std::int64_t> gatewayIds;
        std::vector<GatewayStream> streams;
    };
    std::vector<GatewayGroup> groupGateways(const Site &site) const;
    void updateGateways(const Site &site);
    static std::unordered_set<std::int64_t> givenHttpPorts(const Site &site);
    // True when a setting was added or changed.
    bool publishHttpPorts(Site &site, const std::unordered_set<std::int64_t> &given);
    void startGroup(GatewayGroup &group);
    std::unique_ptr<GatewayRtsp> startRtsp(const SiteObject &gateway, GatewayHttp &http,
                                           const std::vector<GatewayStream> &streams,
                                           const std::string &host);

    // Every line logged from the HTTP services' threads goes through this one lock.
    void logLocked(const std::string &line);

    SimulatorOptions options_;
    asio::io_context io_;
    std::optional<asio::executor_work_guard<asio::io_context::executor_type>> work_;
    std::unique_ptr<EventServer> events_;
    std::thread thread_;
    unsigned short eventPort_ = 0;
    std::mutex heldMutex_;
    std::condition_variable heldChanged_;
    std::size_t heldCount_ = 0;

    std::mutex logMutex_;
    PosTextLog posTexts_;
    PosPublisher pos_{posTexts_, [this](const std::string &line) { logLocked(line); }};
    std::unique_ptr<MediaMaker> media_;
    std::mutex gatewaysMutex_;
    // Under gatewaysMutex_: the site's scene seed and the streams its gateways serve.
    std::uint64_t sceneSeed_ = 1;
    std::unordered_map<std::int64_t, bool> sceneStreams_; // id -> whether it shows crossings
    std::vector<std::unique_ptr<GatewayHttp>> gateways_;
    // One per service, beside its HTTP service; empty where the gateways serve no RTSP.
    std::vector<std::unique_ptr<GatewayRtsp>> rtsp_;
    std::unordered_map<std::int64_t, std::size_t> serviceOf_; // gateway id -> its services' index
};

} // namespace ardix::sim
