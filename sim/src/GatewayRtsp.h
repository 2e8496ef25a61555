#pragma once

#include "GatewayHttp.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ardix::sim {

// Default TCP port of a gateway's RTSP service.
constexpr unsigned short kDefaultGatewayRtspPort = 8554;

// The RTSP service of one simulated gateway: every stream below it is offered as
//   rtsp://HOST:PORT/live/<stream id>/main    640x360 at 25 frames per second
//   rtsp://HOST:PORT/live/<stream id>/sub     320x180 at 15
// from the same prepared H.264 loops as the HTTP live service, never re-encoded: the frames
// are taken out of the loop's transport stream and handed to an RTP packetiser as they are.
// One pipeline per stream and profile, shared by all its viewers; RTP goes over TCP
// (interleaved in the RTSP connection) or UDP, as each client asks.
// Runs on two threads of its own: the server's main loop and a feeder that paces the frames.
class GatewayRtsp
{
public:
    // Gives the prepared loop of a stream in a profile; nothing when it cannot be made.
    using LoopSource =
        std::function<std::shared_ptr<const TsLoop>(const GatewayStream &, LiveProfile)>;
    struct Credentials
    {
        std::string user;
        std::string password; // both empty: no sign-in asked
    };

    GatewayRtsp(std::int64_t gatewayId, LoopSource loops, LogFunction log);
    ~GatewayRtsp();
    GatewayRtsp(const GatewayRtsp &) = delete;
    GatewayRtsp &operator=(const GatewayRtsp &) = delete;

    // Thread-safe: replaces the streams served (a reloaded site).
    void setStreams(std::vector<GatewayStream> streams);
    // Thread-safe; false when the gateway does not serve that stream. Stopped closes the
    // connections that play the stream and answers new requests with 503; stalled keeps them
    // and sends nothing.
    bool setLiveFault(std::int64_t streamId, GatewayHttp::LiveFault fault);
    // Asks clients for a user and password (Basic); call before start().
    void setCredentials(Credentials credentials) { credentials_ = std::move(credentials); }
    // Listens on host:port (0: any free port); false, with one log line, when it cannot.
    bool start(const std::string &host, unsigned short port);
    void stop();
    // Stops the service, dropping every client, and starts it again on the same port after
    // downFor: a camera rebooting. Returns at once.
    void restart(std::chrono::milliseconds downFor);
    unsigned short port() const;
    std::int64_t gatewayId() const { return gatewayId_; }

    // The path a stream is served under in a profile, e.g. "/live/11/main".
    static std::string livePath(std::int64_t streamId, LiveProfile profile);

private:
    struct Service;
    struct Feed;
    struct Frames;
    struct Link;
    friend struct RtspCallbacks;

    void mountStreams();
    void feedLoop();
    // The stream and profile a request's path names; false for any other path.
    bool parsePath(const std::string &path, std::int64_t &streamId, LiveProfile &profile) const;
    bool findStream(std::int64_t id, GatewayStream &out) const;
    GatewayHttp::LiveFault liveFault(std::int64_t streamId) const;
    std::shared_ptr<const Frames> frames(std::int64_t streamId, LiveProfile profile);
    void addFeed(void *appsrc, void *media, std::int64_t streamId, LiveProfile profile);
    void removeFeed(void *media);
    void dropViewers(std::int64_t streamId);

    std::int64_t gatewayId_;
    LoopSource loops_;
    LogFunction log_;
    Credentials credentials_;
    std::string where_;
    std::shared_ptr<Link> link_;

    mutable std::mutex mutex_;
    std::vector<GatewayStream> streams_;
    std::map<std::int64_t, GatewayHttp::LiveFault> faults_;
    std::map<const TsLoop *, std::shared_ptr<const Frames>> frames_;
    std::vector<std::unique_ptr<Feed>> feeds_;
    std::unique_ptr<Service> service_;
    std::string host_;
    unsigned short port_ = 0;

    std::condition_variable wake_;
    bool quitting_ = false;
    std::thread feeder_;
    std::mutex restartMutex_;
    std::thread restarter_;
};

} // namespace ardix::sim
