#pragma once

#include "ContinuousRecording.h"
#include "EventServer.h"
#include "MediaMaker.h"
#include "TsLoop.h"

#include "zarn/StreamChunk.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

namespace ardix::sim {

class PosTextLog;

// Default TCP port of a gateway's HTTP service.
constexpr unsigned short kDefaultGatewayHttpPort = 9554;

// A stream as its gateway serves it: name (burned into the video), recorded chunks and, by
// chunk start, how a chunk's recording is made or that it is unavailable.
struct GatewayStream
{
    std::int64_t id = 0;
    std::string name;
    std::vector<zarn::StreamChunk> chunks;
    std::map<std::int64_t, ChunkMedia> media;
    // What is recorded after the load, shared with the site; nothing for a fixed recording.
    std::shared_ptr<ContinuousRecording> recorder;
    // The site's seed, for the crossings its recordings show; nothing: a stream without them.
    std::optional<std::uint64_t> sceneSeed = 1;
};

// The stream of that id among `streams`, copied to `out`; false when there is none.
bool findStreamIn(const std::vector<GatewayStream> &streams, std::int64_t id, GatewayStream &out);

// The HTTP service of one simulated gateway:
//   GET /<stream id>_YYYYMMDD-hh-mm-ss     the recording of a chunk starting then (local time),
//                                         from its file, byte ranges honoured
//   GET /pos-data?strmId=&from=&to=        the channel texts published for a stream, as JSON
//   GET /live/<stream id>[?...]            live H.264 in MPEG-TS, paced in real time
// Requests are served on a pool of threads of its own; a live connection holds one thread
// for as long as it lasts. `?profile=sub` in a live request's query plays the Sub loop (320x180,
// or what --sub-profile says), any other query the 640x360 one.
class GatewayHttp
{
public:
    // Faults of a live stream, for tests and demos: stopped ends its connections and answers
    // new ones with 503; stalled keeps the connections open and sends nothing.
    enum class LiveFault { None, Stopped, Stalled };

    GatewayHttp(std::int64_t gatewayId, MediaMaker &media, const PosTextLog &posTexts,
                LogFunction log);
    ~GatewayHttp();
    GatewayHttp(const GatewayHttp &) = delete;
    GatewayHttp &operator=(const GatewayHttp &) = delete;

    // Thread-safe: replaces the streams served (a reloaded site).
    void setStreams(std::vector<GatewayStream> streams);
    // Thread-safe; false when the gateway does not serve that stream.
    bool setLiveFault(std::int64_t streamId, LiveFault fault);
    // Thread-safe: texts in one "pos-data" answer at most (the site file's "posDataCap").
    void setPosDataCap(std::size_t texts) { posDataCap_.store(texts); }
    // Listens on host:port (0: any free port); false, with one log line, when it cannot.
    bool start(const std::string &host, unsigned short port);
    void stop();
    unsigned short port() const { return port_; }
    std::int64_t gatewayId() const { return gatewayId_; }

    // The name under which a recording starting at startMs is served (local time).
    static std::string recordingName(std::int64_t streamId, std::int64_t startMs);
    // Thread-safe: the prepared loop of a live stream in a profile, made on first use and
    // kept; nothing when it cannot be made. The gateway's RTSP service plays the same loops.
    std::shared_ptr<const TsLoop> liveLoop(const GatewayStream &stream, LiveProfile profile);

private:
    struct Live;
    void serveRecording(const httplib::Request &request, httplib::Response &response);
    void servePosData(const httplib::Request &request, httplib::Response &response);
    void serveLive(const httplib::Request &request, httplib::Response &response);
    // A place among the live viewers, held by the connection; nothing when all are taken.
    std::shared_ptr<void> takeLiveViewer();
    bool findStream(std::int64_t id, GatewayStream &out) const;
    LiveFault liveFault(std::int64_t streamId) const;
    // Sleeps until `when` or until the service stops; false once it stops.
    bool waitUntil(std::chrono::steady_clock::time_point when);

    std::int64_t gatewayId_;
    MediaMaker &media_;
    const PosTextLog &posTexts_;
    LogFunction log_;
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    unsigned short port_ = 0;

    mutable std::mutex mutex_;
    std::vector<GatewayStream> streams_;
    std::map<std::int64_t, LiveFault> liveFaults_;
    std::map<std::string, std::shared_ptr<const TsLoop>> loops_; // by stream id, profile, name
    std::atomic<int> liveViewers_{0};
    std::atomic<std::size_t> posDataCap_{20000};
    std::mutex loopMaking_;
    std::atomic<bool> stopping_{false};
    std::condition_variable stopped_;
    std::mutex stopMutex_;
};

} // namespace ardix::sim
