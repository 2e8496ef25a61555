#include "GatewayHttp.h"

#include "PosTextLog.h"
#include "Site.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <optional>
#include <sstream>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ardix::sim {

namespace {

using Clock = std::chrono::steady_clock;

// Threads per gateway: every live connection holds one while it lasts. Live connections stop
// at kMaxLiveViewers, so that the rest stay for recordings and pos-data.
constexpr std::size_t kServiceThreads = 160;
constexpr int kMaxLiveViewers = 144;
// Frames sent at once at most; the rest follows on the next wake-up.
constexpr int kMaxBurstFrames = 50;
// Connections waiting to be accepted. cpp-httplib listens with a queue of 5: a layout whose 64
// cells open their streams at once overflows it, and the kernel drops the handshakes that do
// not fit and retries them seconds, up to a minute, later.
constexpr int kListenBacklog = 1024;

bool parseInt(const std::string &text, std::int64_t &value)
{
    const char *end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && ptr == end;
}

void answerText(httplib::Response &response, int status, const std::string &text)
{
    response.status = status;
    response.set_content(text + "\n", "text/plain; charset=utf-8");
}

// An open recording, closed once the last response reading it is gone.
struct RecordingFile
{
    int fd = -1;
    std::size_t size = 0;

    static std::shared_ptr<const RecordingFile> open(const std::string &path)
    {
        auto file = std::make_shared<RecordingFile>();
        file->fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st
        {};
        if (file->fd < 0 || ::fstat(file->fd, &st) != 0 || !S_ISREG(st.st_mode))
            return nullptr;
        file->size = static_cast<std::size_t>(st.st_size);
        return file;
    }
    RecordingFile() = default;
    RecordingFile(const RecordingFile &) = delete;
    RecordingFile &operator=(const RecordingFile &) = delete;
    ~RecordingFile()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// Every range asked for must lie in the file: the library answers only the parts it is given.
// The library writes "N-" as (N, -1) and a suffix "-S" as (-1, S).
bool satisfiable(const httplib::Ranges &ranges, std::size_t size)
{
    const auto end = static_cast<ssize_t>(size);
    return std::all_of(ranges.begin(), ranges.end(), [end](const httplib::Range &r) {
        if (r.first < 0)
            return r.second > 0 && end > 0;
        return r.first < end && (r.second < 0 || r.second >= r.first);
    });
}

// The library answers a range's end as asked even past the end of the file, promising bytes
// that never come, and labels the parts of a several-range answer with a length of 0. RFC 9110
// reads such an end as the file's last byte and lets a server answer several ranges with the
// whole file (200), as done here. The request is the library's own modifiable object, handed
// to handlers as const.
void clampRanges(const httplib::Request &request, std::size_t size)
{
    auto &ranges = const_cast<httplib::Request &>(request).ranges;
    if (ranges.size() > 1)
        ranges.clear();
    const auto last = static_cast<ssize_t>(size) - 1;
    for (auto &range : ranges) {
        if (range.first < 0)
            range.second = std::min<ssize_t>(range.second, static_cast<ssize_t>(size));
        else if (range.second > last)
            range.second = last;
    }
}

bool readFile(const std::string &path, std::string &out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    out = buffer.str();
    return true;
}

// The profile a live request asks for: the value of "profile" in the query, whose parameters
// may be separated by "&" or ";". Anything but "sub" plays the main profile.
LiveProfile requestedProfile(const std::string &target)
{
    const auto query = target.find('?');
    if (query == std::string::npos)
        return LiveProfile::Main;
    std::size_t pos = query + 1;
    while (pos <= target.size()) {
        const auto end = std::min(target.find_first_of("&;", pos), target.size());
        const std::string parameter = target.substr(pos, end - pos);
        if (parameter.rfind("profile=", 0) == 0)
            return parameter.substr(8) == "sub" ? LiveProfile::Sub : LiveProfile::Main;
        pos = end + 1;
    }
    return LiveProfile::Main;
}

// Only the listening address may be reused at once; two services on one port must clash.
void socketOptions(socket_t sock)
{
    int yes = 1;
    ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
}

} // namespace

// One live connection: where it is in the loop and when its next frame is due.
struct GatewayHttp::Live
{
    Live(std::shared_ptr<const TsLoop> l, std::shared_ptr<void> place)
        : loop(std::move(l))
        , rewriter(*loop)
        , viewer(std::move(place))
    {}

    Clock::time_point due() const
    {
        const std::int64_t ticks = pass * loop->duration() + loop->frames()[next].time - startTime;
        return start + std::chrono::microseconds(ticks * 1000000 / TsLoop::kClock);
    }

    void advance()
    {
        if (++next == loop->frames().size()) {
            next = 0;
            ++pass;
            rewriter.wrap();
        }
    }

    // The first call sends the program tables and then starts at the keyframe before the
    // loop's position on the wall clock, so all viewers of a stream see the same picture;
    // the frames from that keyframe up to now go out at once, so a player starts quickly.
    void begin(std::string &out)
    {
        using namespace std::chrono;
        const std::int64_t wallMs =
            duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
        startTime = (wallMs * (TsLoop::kClock / 1000)) % loop->duration();
        next = loop->keyframeAtOrBefore(startTime);
        start = Clock::now();
        for (const std::size_t packet : loop->headerPackets())
            rewriter.append(packet, TsLoop::kPacketSize, out);
        begun = true;
    }

    std::shared_ptr<const TsLoop> loop;
    TsRewriter rewriter;
    std::shared_ptr<void> viewer; // this connection's place among the gateway's live viewers
    std::size_t next = 0;
    std::int64_t pass = 0;
    std::int64_t startTime = 0;
    Clock::time_point start;
    bool begun = false;
    std::optional<Clock::time_point> stalled; // since when a fault holds the stream
};

GatewayHttp::GatewayHttp(std::int64_t gatewayId, MediaMaker &media, const PosTextLog &posTexts,
                         LogFunction log)
    : gatewayId_(gatewayId)
    , media_(media)
    , posTexts_(posTexts)
    , log_(std::move(log))
{}

GatewayHttp::~GatewayHttp()
{
    stop();
}

void GatewayHttp::setStreams(std::vector<GatewayStream> streams)
{
    std::lock_guard<std::mutex> lock(mutex_);
    streams_ = std::move(streams);
}

bool GatewayHttp::setLiveFault(std::int64_t streamId, LiveFault fault)
{
    GatewayStream stream;
    if (!findStream(streamId, stream))
        return false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        liveFaults_[streamId] = fault;
    }
    const char *names[] = {"playing", "stopped", "stalled"};
    log_("gateway " + std::to_string(gatewayId_) + ": fault: live stream " +
         std::to_string(streamId) + " " + names[static_cast<int>(fault)]);
    return true;
}

GatewayHttp::LiveFault GatewayHttp::liveFault(std::int64_t streamId) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = liveFaults_.find(streamId);
    return it == liveFaults_.end() ? LiveFault::None : it->second;
}

bool findStreamIn(const std::vector<GatewayStream> &streams, std::int64_t id, GatewayStream &out)
{
    for (const auto &s : streams) {
        if (s.id == id) {
            out = s;
            return true;
        }
    }
    return false;
}

bool GatewayHttp::findStream(std::int64_t id, GatewayStream &out) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return findStreamIn(streams_, id, out);
}

bool GatewayHttp::start(const std::string &host, unsigned short port)
{
    if (thread_.joinable())
        return true;
    const std::string where = "gateway " + std::to_string(gatewayId_);
    stopping_ = false;
    server_ = std::make_unique<httplib::Server>();
    server_->new_task_queue = [] { return new httplib::ThreadPool(kServiceThreads); };
    // The first socket made is the listening one; it is listened on again with a longer queue.
    auto listening = std::make_shared<socket_t>(INVALID_SOCKET);
    server_->set_socket_options([listening](socket_t sock) {
        socketOptions(sock);
        if (*listening == INVALID_SOCKET)
            *listening = sock;
    });
    // An answer's headers and body go out as separate writes: without this, the body of every
    // answer after the first on a kept-alive connection waits for the client's delayed
    // acknowledgement (40 ms on Linux).
    server_->set_tcp_nodelay(true);
    server_->set_keep_alive_timeout(2);
    // A player seeking in a recording may ask for many ranges on one connection.
    server_->set_keep_alive_max_count(100);
    server_->Get("/pos-data", [this](const httplib::Request &rq, httplib::Response &rs) {
        servePosData(rq, rs);
    });
    server_->Get(R"(/live/([^/]+))",
                 [this](const httplib::Request &rq, httplib::Response &rs) { serveLive(rq, rs); });
    server_->Get(R"(/([^/]+))", [this](const httplib::Request &rq, httplib::Response &rs) {
        serveRecording(rq, rs);
    });
    server_->set_logger([this, where](const httplib::Request &rq, const httplib::Response &rs) {
        log_(where + " http: " + rq.method + " " + rq.target + " -> " + std::to_string(rs.status));
    });
    const int bound = port == 0 ? server_->bind_to_any_port(host)
                                : (server_->bind_to_port(host, port) ? port : -1);
    if (bound <= 0) {
        log_(where + ": cannot listen for HTTP on " + host + ":" + std::to_string(port) +
             " (address not available or port taken); recordings, pos-data and live streams "
             "of this gateway are off");
        server_.reset();
        return false;
    }
    port_ = static_cast<unsigned short>(bound);
    if (*listening == INVALID_SOCKET || ::listen(*listening, kListenBacklog) != 0)
        log_(where + ": connections beyond 5 waiting to be accepted are delayed");
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    // stop() only reaches a server that runs: wait for the loop to have begun.
    while (!server_->is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    log_(where + ": HTTP service listening on " + host + ":" + std::to_string(port_));
    return true;
}

void GatewayHttp::stop()
{
    if (!thread_.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(stopMutex_);
        stopping_ = true;
    }
    stopped_.notify_all();
    server_->stop();
    thread_.join();
    server_.reset();
}

bool GatewayHttp::waitUntil(Clock::time_point when)
{
    std::unique_lock<std::mutex> lock(stopMutex_);
    stopped_.wait_until(lock, when, [this] { return stopping_.load(); });
    return !stopping_;
}

std::string GatewayHttp::recordingName(std::int64_t streamId, std::int64_t startMs)
{
    std::time_t seconds = static_cast<std::time_t>(startMs / 1000 - (startMs % 1000 < 0 ? 1 : 0));
    std::tm local{};
    localtime_r(&seconds, &local);
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "%lld_%04d%02d%02d-%02d-%02d-%02d",
                  static_cast<long long>(streamId), local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return buffer;
}

void GatewayHttp::serveRecording(const httplib::Request &request, httplib::Response &response)
{
    const std::string name = request.matches[1];
    std::int64_t streamId = 0;
    GatewayStream stream;
    const auto underscore = name.find('_');
    if (underscore == std::string::npos || !parseInt(name.substr(0, underscore), streamId) ||
        !findStream(streamId, stream))
        return answerText(response, 404, "no recording " + name);
    const auto chunk = std::find_if(stream.chunks.begin(), stream.chunks.end(), [&](const auto &c) {
        return recordingName(streamId, c.start) == name;
    });
    std::string path;
    if (chunk != stream.chunks.end()) {
        const auto media = stream.media.find(chunk->start);
        const ChunkMedia how = media == stream.media.end() ? ChunkMedia() : media->second;
        if (how.unavailable)
            return answerText(response, 404, "the recording " + name + " is unavailable");
        const std::int64_t listed = chunk->end - chunk->start;
        path = media_.recording(stream.name, streamId, chunk->start,
                                how.heldMs > 0 ? std::min(how.heldMs, listed) : listed, how.profile,
                                stream.sceneSeed);
    } else {
        // Recorded since the load: a chunk still being recorded is served up to now.
        std::optional<zarn::StreamChunk> recorded;
        std::int64_t now = 0;
        if (stream.recorder) {
            now = stream.recorder->now();
            for (const auto &c : stream.recorder->chunks(now)) {
                if (recordingName(streamId, c.start) == name)
                    recorded = c;
            }
        }
        if (!recorded)
            return answerText(response, 404, "no recording " + name);
        const RecordingProfile profile = stream.recorder->profile();
        // "?to=" names how far: the same length, the same bytes, for every request naming it
        // (a player's byte ranges read one file while the chunk grows).
        std::int64_t to = 0;
        const bool named = request.has_param("to") && parseInt(request.get_param_value("to"), to);
        const std::int64_t upTo = named ? std::min(to, recorded->end) : recorded->end;
        if (recorded->end == now || upTo < recorded->end) {
            // Not a second recorded yet: the first one is waited for.
            if (upTo - recorded->start < 1000 && recorded->end == now &&
                !waitUntil(Clock::now() +
                           std::chrono::milliseconds(1000 - (now - recorded->start))))
                return answerText(response, 503, "the gateway is stopping");
            path = media_.growingRecording(stream.name, streamId, recorded->start,
                                           std::max<std::int64_t>(upTo - recorded->start, 1000),
                                           profile, stream.sceneSeed);
        } else {
            path = media_.recording(stream.name, streamId, recorded->start,
                                    recorded->end - recorded->start, profile, stream.sceneSeed);
        }
    }
    auto file = path.empty() ? nullptr : RecordingFile::open(path);
    if (!file)
        return answerText(response, 503, "the recording could not be made");
    if (!satisfiable(request.ranges, file->size)) {
        // No body: the library would take the ranges asked for to a text one.
        response.status = 416;
        response.set_header("Content-Range", "bytes */" + std::to_string(file->size));
        return;
    }
    clampRanges(request, file->size);
    response.set_header("Accept-Ranges", "bytes");
    // Read from the file as the library sends each range, never the whole file at once.
    response.set_content_provider(
        file->size, "video/mp4",
        [file](std::size_t offset, std::size_t length, httplib::DataSink &sink) {
            std::array<char, 64 * 1024> buffer;
            const ssize_t n = ::pread(file->fd, buffer.data(), std::min(length, buffer.size()),
                                      static_cast<off_t>(offset));
            return n > 0 && sink.write(buffer.data(), static_cast<std::size_t>(n));
        });
}

void GatewayHttp::servePosData(const httplib::Request &request, httplib::Response &response)
{
    std::int64_t streamId = 0, from = 0, to = 0;
    if (!parseInt(request.get_param_value("strmId"), streamId) ||
        !parseInt(request.get_param_value("from"), from) ||
        !parseInt(request.get_param_value("to"), to))
        return answerText(response, 400, "strmId, from and to must be integers");
    const PosAnswer texts = posTexts_.answer(streamId, from, to, nowMs(), posDataCap_.load());
    nlohmann::json arr = nlohmann::json::array();
    for (const auto &text : texts.texts)
        arr.push_back({{"time", text.timeMs}, {"text", text.text}});
    nlohmann::json answer{{"from", from}, {"to", to}, {"arr", std::move(arr)}};
    if (texts.cut) {
        answer["cut"] = true;
        answer["next"] = texts.next;
    }
    response.set_content(answer.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace),
                         "application/json");
}

void GatewayHttp::serveLive(const httplib::Request &request, httplib::Response &response)
{
    std::int64_t streamId = 0;
    GatewayStream stream;
    if (!parseInt(request.matches[1], streamId) || !findStream(streamId, stream))
        return answerText(response, 404, "no live stream " + std::string(request.matches[1]));
    if (liveFault(streamId) == LiveFault::Stopped)
        return answerText(response, 503, "live stream " + std::to_string(streamId) + " is off");
    auto loop = liveLoop(stream, requestedProfile(request.target));
    if (!loop)
        return answerText(response, 503, "the live stream could not be prepared");
    auto viewer = takeLiveViewer();
    if (!viewer)
        return answerText(response, 503, "too many live viewers on this gateway");
    auto live = std::make_shared<Live>(std::move(loop), std::move(viewer));
    // An endless stream has no ranges: a player's "Range: bytes=0-" gets the stream itself.
    response.status = 200;
    response.set_content_provider(
        "video/mp2t", [this, live, streamId](std::size_t, httplib::DataSink &sink) {
            const LiveFault fault = liveFault(streamId);
            if (fault == LiveFault::Stopped)
                return false;
            if (fault == LiveFault::Stalled) {
                // The connection stays, nothing flows; once resumed the stream goes on from the
                // wall clock instead of bursting out what the stall held back.
                if (!live->stalled)
                    live->stalled = Clock::now();
                return waitUntil(Clock::now() + std::chrono::milliseconds(50));
            }
            if (live->stalled) {
                live->start += Clock::now() - *live->stalled;
                live->stalled.reset();
            }
            std::string out;
            if (!live->begun)
                live->begin(out);
            const auto now = Clock::now();
            for (int n = 0; n < kMaxBurstFrames && live->due() <= now; ++n) {
                const auto &frame = live->loop->frames()[live->next];
                live->rewriter.append(frame.offset, frame.size, out);
                live->advance();
            }
            if (!out.empty() && !sink.write(out.data(), out.size()))
                return false;
            return waitUntil(live->due());
        });
}

std::shared_ptr<void> GatewayHttp::takeLiveViewer()
{
    if (++liveViewers_ > kMaxLiveViewers) {
        --liveViewers_;
        return nullptr;
    }
    // Given back when the connection's last holder lets go of it.
    return std::shared_ptr<void>(this, [this](void *) { --liveViewers_; });
}

std::shared_ptr<const TsLoop> GatewayHttp::liveLoop(const GatewayStream &stream,
                                                    LiveProfile profile)
{
    // A stream renamed by a reloaded site gets a loop with its new name.
    const std::string key = std::to_string(stream.id) + "/" +
                            (profile == LiveProfile::Sub ? "sub/" : "main/") + stream.name;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (auto it = loops_.find(key); it != loops_.end())
            return it->second;
    }
    // One stream is prepared at a time; later callers find the result in the table.
    std::lock_guard<std::mutex> making(loopMaking_);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (auto it = loops_.find(key); it != loops_.end())
            return it->second;
    }
    const std::string path = media_.liveLoop(stream.name, stream.id, profile);
    if (path.empty())
        return nullptr;
    std::string bytes, error;
    if (!readFile(path, bytes)) {
        log_("gateway " + std::to_string(gatewayId_) + ": cannot read " + path);
        return nullptr;
    }
    auto loop = TsLoop::fromBytes(std::move(bytes), error);
    if (!loop) {
        log_("gateway " + std::to_string(gatewayId_) + ": " + path + " is unusable: " + error);
        return nullptr;
    }
    auto shared = std::make_shared<const TsLoop>(std::move(*loop));
    std::lock_guard<std::mutex> lock(mutex_);
    loops_[key] = shared;
    return shared;
}

} // namespace ardix::sim
