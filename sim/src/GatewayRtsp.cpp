#include "GatewayRtsp.h"

#include <gst/app/gstappsrc.h>
#include <gst/gst.h>
#include <gst/rtsp-server/rtsp-server.h>

#include <algorithm>
#include <charconv>
#include <optional>
#include <set>
#include <shared_mutex>

namespace ardix::sim {

namespace {

using Clock = std::chrono::steady_clock;

// Frames handed over at once at most; the rest follows on the next round.
constexpr int kMaxBurstFrames = 50;
// The feeder looks at its streams at least this often (a fault lifted, a stall ended).
constexpr auto kFeederTick = std::chrono::milliseconds(20);
// Clients served at once by the server's threads. A DESCRIBE that waits for its loop to be
// made holds one, and so does one of a stalled stream, for the 20 s the server waits for a
// pipeline's first frame: a layout whose cells keep retrying a stalled camera must not take
// them all.
constexpr int kClientThreads = 64;

// The frames of an H.264 loop go to the packetiser as they were encoded: byte-stream, one
// access unit per buffer. Every keyframe of the loops carries its SPS and PPS, as a camera's
// encoder sends them, so a viewer that joins a running stream starts at the next keyframe;
// the packetiser adds none of its own (a second copy with the same time stamp makes players
// see two frames at one instant).
constexpr const char *kLaunch = "( appsrc name=src is-live=true format=time "
                                "caps=\"video/x-h264,stream-format=byte-stream,alignment=au\" "
                                "! rtph264pay name=pay0 pt=96 config-interval=0 )";

void initGstreamer()
{
    static std::once_flag once;
    std::call_once(once, [] { gst_init(nullptr, nullptr); });
}

bool parseId(const std::string &text, std::int64_t &value)
{
    const char *end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && ptr == end && value > 0;
}

std::string methodName(GstRTSPMethod method)
{
    const char *name = gst_rtsp_method_as_text(method);
    return name ? name : "?";
}

} // namespace

// The loop's frames as buffers, made once per loop and shared by every feed that plays it.
struct GatewayRtsp::Frames
{
    std::shared_ptr<const TsLoop> loop; // keeps the loop, and so this table's key, alive
    std::vector<GstBuffer *> buffers;
    std::vector<std::int64_t> times; // ticks since the loop's first frame
    std::int64_t duration = 0;

    explicit Frames(std::shared_ptr<const TsLoop> l)
        : loop(std::move(l))
        , duration(loop->duration())
    {
        for (std::size_t i = 0; i < loop->frames().size(); ++i) {
            const std::string unit = loop->accessUnit(i);
            GstBuffer *buffer = gst_buffer_new_memdup(unit.data(), unit.size());
            if (!loop->frames()[i].key)
                GST_BUFFER_FLAG_SET(buffer, GST_BUFFER_FLAG_DELTA_UNIT);
            buffers.push_back(buffer);
            times.push_back(loop->frames()[i].time);
        }
    }
    Frames(const Frames &) = delete;
    Frames &operator=(const Frames &) = delete;
    ~Frames()
    {
        for (GstBuffer *b : buffers)
            gst_buffer_unref(b);
    }
};

// One shared pipeline being fed: its source, and where in the loop it is.
struct GatewayRtsp::Feed
{
    GstElement *appsrc = nullptr;  // a reference of our own
    GstRTSPMedia *media = nullptr; // a reference of our own
    gulong unpreparedHandler = 0;
    std::int64_t streamId = 0;
    std::string path;
    std::shared_ptr<const Frames> frames;
    std::size_t next = 0;
    std::int64_t pass = 0;
    std::int64_t startTicks = 0;
    Clock::time_point start;
    std::optional<Clock::time_point> stalledSince;
    // The first frame's time stamp (the pipeline's running time when it went out) and when it
    // was due: later frames are stamped on the same grid, as a camera stamps each picture when
    // it takes it.
    GstClockTime firstPts = GST_CLOCK_TIME_NONE;
    Clock::time_point firstDue;

    // A new pipeline starts on the keyframe before the loop's position on the wall clock and
    // plays on in real time from there: its first viewer gets a picture at once.
    void begin()
    {
        using namespace std::chrono;
        const std::int64_t wallMs =
            duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
        next =
            frames->loop->keyframeAtOrBefore((wallMs * (TsLoop::kClock / 1000)) % frames->duration);
        startTicks = frames->times[next];
        start = Clock::now();
    }
    Clock::time_point due() const
    {
        const std::int64_t ticks = pass * frames->duration + frames->times[next] - startTicks;
        return start + std::chrono::microseconds(ticks * 1000000 / TsLoop::kClock);
    }
    // The next frame, stamped.
    GstBuffer *nextBuffer()
    {
        const auto when = due();
        if (!GST_CLOCK_TIME_IS_VALID(firstPts)) {
            firstPts = runningTime();
            firstDue = when;
        }
        // A copy shares the frame's bytes.
        GstBuffer *buffer = gst_buffer_copy(frames->buffers[next]);
        const auto offset = std::chrono::duration_cast<std::chrono::nanoseconds>(when - firstDue);
        GST_BUFFER_PTS(buffer) = GST_BUFFER_DTS(buffer) = firstPts + GstClockTime(offset.count());
        return buffer;
    }
    GstClockTime runningTime() const
    {
        GstClock *clock = gst_element_get_clock(appsrc);
        if (!clock)
            return 0;
        const GstClockTime now = gst_clock_get_time(clock);
        const GstClockTime base = gst_element_get_base_time(appsrc);
        gst_object_unref(clock);
        return now > base ? now - base : 0;
    }
    void advance()
    {
        if (++next == frames->buffers.size()) {
            next = 0;
            ++pass;
        }
    }
    ~Feed()
    {
        if (media) {
            g_signal_handler_disconnect(media, unpreparedHandler);
            g_object_unref(media);
        }
        if (appsrc)
            gst_object_unref(appsrc);
    }
};

struct GatewayRtsp::Service
{
    GMainContext *context = nullptr;
    GMainLoop *loop = nullptr;
    GstRTSPServer *server = nullptr;
    GSource *source = nullptr;
    std::thread thread;
    std::set<std::string> mounted;

    ~Service()
    {
        if (server)
            g_object_unref(server);
        if (loop)
            g_main_loop_unref(loop);
        if (context)
            g_main_context_unref(context);
    }
};

// The way from the server's signals back to the service. Clients are served on threads of
// the server's own, which may still be handling a request when the service goes: each callback
// holds the link while it runs, and the service cuts it (waiting for those in flight) before
// it is destroyed.
struct GatewayRtsp::Link
{
    std::shared_mutex mutex;
    GatewayRtsp *self = nullptr;
};

// The server's signals, in the server's and its clients' threads.
struct RtspCallbacks
{
    using LinkPtr = std::shared_ptr<GatewayRtsp::Link>;

    struct Mount
    {
        LinkPtr link;
        std::int64_t streamId;
        LiveProfile profile;
    };

    // Calls f with the service while it is there, else answers `gone`.
    template <typename F, typename R> static R withSelf(const LinkPtr &link, R gone, F &&f)
    {
        std::shared_lock<std::shared_mutex> lock(link->mutex);
        return link->self ? f(*link->self) : gone;
    }
    // A copy: a handler may be disconnected, and its copy freed, while it runs.
    static LinkPtr linkOf(gpointer data) { return *static_cast<LinkPtr *>(data); }
    // A copy of the link for one signal handler, freed with it.
    static void connect(gpointer instance, const char *signal, GCallback callback,
                        const LinkPtr &link)
    {
        g_signal_connect_data(
            instance, signal, callback, new LinkPtr(link),
            [](gpointer data, GClosure *) { delete static_cast<LinkPtr *>(data); },
            GConnectFlags(0));
    }

    static void mediaConfigure(GstRTSPMediaFactory *, GstRTSPMedia *media, gpointer data)
    {
        const auto *mount = static_cast<const Mount *>(data);
        GstElement *bin = gst_rtsp_media_get_element(media);
        GstElement *appsrc = gst_bin_get_by_name_recurse_up(GST_BIN(bin), "src");
        gst_object_unref(bin);
        if (!appsrc)
            return;
        const bool fed = withSelf(mount->link, false, [&](GatewayRtsp &self) {
            self.addFeed(appsrc, media, mount->streamId, mount->profile);
            return true;
        });
        if (!fed)
            gst_object_unref(appsrc);
    }

    static void mediaUnprepared(GstRTSPMedia *media, gpointer data)
    {
        withSelf(linkOf(data), false, [media](GatewayRtsp &self) {
            self.removeFeed(media);
            return true;
        });
    }

    // Before a stream's pipeline is made: a stopped stream answers 503, and so does one whose
    // loop cannot be prepared; an unknown path is left to the server (404).
    static GstRTSPStatusCode preDescribe(GstRTSPClient *, GstRTSPContext *ctx, gpointer data)
    {
        return withSelf(linkOf(data), GST_RTSP_STS_SERVICE_UNAVAILABLE, [ctx](GatewayRtsp &self) {
            std::int64_t streamId = 0;
            LiveProfile profile = LiveProfile::Main;
            if (!ctx->uri || !self.parsePath(ctx->uri->abspath, streamId, profile))
                return GST_RTSP_STS_OK;
            if (self.liveFault(streamId) == GatewayHttp::LiveFault::Stopped)
                return GST_RTSP_STS_SERVICE_UNAVAILABLE;
            return self.frames(streamId, profile) ? GST_RTSP_STS_OK
                                                  : GST_RTSP_STS_SERVICE_UNAVAILABLE;
        });
    }

    static GstRTSPStatusCode preStart(GstRTSPClient *, GstRTSPContext *ctx, gpointer data)
    {
        return withSelf(linkOf(data), GST_RTSP_STS_SERVICE_UNAVAILABLE, [ctx](GatewayRtsp &self) {
            std::int64_t streamId = 0;
            LiveProfile profile = LiveProfile::Main;
            if (ctx->uri && self.parsePath(ctx->uri->abspath, streamId, profile) &&
                self.liveFault(streamId) == GatewayHttp::LiveFault::Stopped)
                return GST_RTSP_STS_SERVICE_UNAVAILABLE;
            return GST_RTSP_STS_OK;
        });
    }

    // One line per answer, like the HTTP service's: "gateway 2 rtsp: DESCRIBE /live/11/main ->
    // 200".
    static void sendMessage(GstRTSPClient *, GstRTSPSession *, GstRTSPMessage *message,
                            gpointer data)
    {
        GstRTSPContext *ctx = gst_rtsp_context_get_current();
        if (!ctx || !ctx->request ||
            gst_rtsp_message_get_type(message) != GST_RTSP_MESSAGE_RESPONSE)
            return;
        GstRTSPMethod method = GST_RTSP_INVALID;
        GstRTSPStatusCode code = GST_RTSP_STS_INVALID;
        gst_rtsp_message_parse_request(ctx->request, &method, nullptr, nullptr);
        gst_rtsp_message_parse_response(message, &code, nullptr, nullptr);
        const std::string path = ctx->uri && ctx->uri->abspath ? ctx->uri->abspath : "*";
        withSelf(linkOf(data), false, [&](GatewayRtsp &self) {
            self.log_(self.where_ + " rtsp: " + methodName(method) + " " + path + " -> " +
                      std::to_string(static_cast<int>(code)));
            return true;
        });
    }

    static void clientConnected(GstRTSPServer *, GstRTSPClient *client, gpointer data)
    {
        const LinkPtr link = linkOf(data);
        connect(client, "pre-describe-request", G_CALLBACK(preDescribe), link);
        connect(client, "pre-setup-request", G_CALLBACK(preStart), link);
        connect(client, "pre-play-request", G_CALLBACK(preStart), link);
        connect(client, "send-message", G_CALLBACK(sendMessage), link);
    }

    static GstRTSPFilterResult removeClient(GstRTSPServer *, GstRTSPClient *, gpointer)
    {
        return GST_RTSP_FILTER_REMOVE;
    }

    // Sessions that play one of the given paths.
    static bool playsAny(GstRTSPSession *session, const std::vector<std::string> &paths)
    {
        for (const auto &path : paths) {
            gint matched = 0;
            if (gst_rtsp_session_get_media(session, path.c_str(), &matched))
                return true;
        }
        return false;
    }
    static GstRTSPFilterResult refSession(GstRTSPClient *, GstRTSPSession *session, gpointer paths)
    {
        return playsAny(session, *static_cast<std::vector<std::string> *>(paths))
                   ? GST_RTSP_FILTER_REF
                   : GST_RTSP_FILTER_KEEP;
    }
    static GstRTSPFilterResult removeViewer(GstRTSPServer *, GstRTSPClient *client, gpointer paths)
    {
        GList *playing = gst_rtsp_client_session_filter(client, refSession, paths);
        const bool plays = playing != nullptr;
        g_list_free_full(playing, g_object_unref);
        return plays ? GST_RTSP_FILTER_REMOVE : GST_RTSP_FILTER_KEEP;
    }
    static GstRTSPFilterResult removeSession(GstRTSPSessionPool *, GstRTSPSession *session,
                                             gpointer paths)
    {
        return playsAny(session, *static_cast<std::vector<std::string> *>(paths))
                   ? GST_RTSP_FILTER_REMOVE
                   : GST_RTSP_FILTER_KEEP;
    }
};

GatewayRtsp::GatewayRtsp(std::int64_t gatewayId, LoopSource loops, LogFunction log)
    : gatewayId_(gatewayId)
    , loops_(std::move(loops))
    , log_(std::move(log))
    , where_("gateway " + std::to_string(gatewayId))
    , link_(std::make_shared<Link>())
{
    link_->self = this;
    initGstreamer();
    feeder_ = std::thread([this] { feedLoop(); });
}

GatewayRtsp::~GatewayRtsp()
{
    {
        // Waits for the callbacks running on the server's threads; later ones find no service.
        std::unique_lock<std::shared_mutex> lock(link_->mutex);
        link_->self = nullptr;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quitting_ = true;
    }
    wake_.notify_all();
    {
        std::lock_guard<std::mutex> lock(restartMutex_);
        if (restarter_.joinable())
            restarter_.join();
    }
    stop();
    feeder_.join();
}

std::string GatewayRtsp::livePath(std::int64_t streamId, LiveProfile profile)
{
    return "/live/" + std::to_string(streamId) + (profile == LiveProfile::Sub ? "/sub" : "/main");
}

bool GatewayRtsp::parsePath(const std::string &path, std::int64_t &streamId,
                            LiveProfile &profile) const
{
    static const std::string prefix = "/live/";
    if (path.compare(0, prefix.size(), prefix) != 0)
        return false;
    const auto slash = path.find('/', prefix.size());
    if (slash == std::string::npos)
        return false;
    // A SETUP names the stream's track after the profile ("/live/11/main/stream=0").
    std::string rest = path.substr(slash + 1);
    rest = rest.substr(0, rest.find('/'));
    if (rest != "main" && rest != "sub")
        return false;
    profile = rest == "sub" ? LiveProfile::Sub : LiveProfile::Main;
    GatewayStream stream;
    return parseId(path.substr(prefix.size(), slash - prefix.size()), streamId) &&
           findStream(streamId, stream);
}

void GatewayRtsp::setStreams(std::vector<GatewayStream> streams)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        streams_ = std::move(streams);
    }
    mountStreams();
}

bool GatewayRtsp::findStream(std::int64_t id, GatewayStream &out) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return findStreamIn(streams_, id, out);
}

GatewayHttp::LiveFault GatewayRtsp::liveFault(std::int64_t streamId) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = faults_.find(streamId);
    return it == faults_.end() ? GatewayHttp::LiveFault::None : it->second;
}

bool GatewayRtsp::setLiveFault(std::int64_t streamId, GatewayHttp::LiveFault fault)
{
    GatewayStream stream;
    if (!findStream(streamId, stream))
        return false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        faults_[streamId] = fault;
    }
    wake_.notify_all();
    if (fault == GatewayHttp::LiveFault::Stopped)
        dropViewers(streamId);
    return true;
}

unsigned short GatewayRtsp::port() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return service_ ? port_ : 0;
}

std::shared_ptr<const GatewayRtsp::Frames> GatewayRtsp::frames(std::int64_t streamId,
                                                               LiveProfile profile)
{
    GatewayStream stream;
    if (!findStream(streamId, stream))
        return nullptr;
    // The loop source caches its loops and makes one stream at a time.
    auto loop = loops_(stream, profile);
    if (!loop)
        return nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    auto &entry = frames_[loop.get()];
    if (!entry)
        entry = std::make_shared<const Frames>(loop);
    return entry;
}

void GatewayRtsp::addFeed(void *appsrc, void *media, std::int64_t streamId, LiveProfile profile)
{
    auto feed = std::make_unique<Feed>();
    feed->appsrc = static_cast<GstElement *>(appsrc);
    feed->media = GST_RTSP_MEDIA(g_object_ref(media));
    feed->streamId = streamId;
    feed->path = livePath(streamId, profile);
    feed->frames = frames(streamId, profile);
    if (!feed->frames) {
        log_(where_ + " rtsp: no loop for " + livePath(streamId, profile));
        return;
    }
    feed->unpreparedHandler = g_signal_connect_data(
        media, "unprepared", G_CALLBACK(RtspCallbacks::mediaUnprepared),
        new RtspCallbacks::LinkPtr(link_),
        [](gpointer data, GClosure *) { delete static_cast<RtspCallbacks::LinkPtr *>(data); },
        GConnectFlags(0));
    feed->begin();
    log_(where_ + " rtsp: pipeline " + feed->path + " started");
    {
        std::lock_guard<std::mutex> lock(mutex_);
        feeds_.push_back(std::move(feed));
    }
    wake_.notify_all();
}

void GatewayRtsp::removeFeed(void *media)
{
    std::unique_ptr<Feed> gone;
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = std::find_if(feeds_.begin(), feeds_.end(),
                           [media](const auto &f) { return f->media == media; });
    if (it == feeds_.end())
        return;
    gone = std::move(*it);
    feeds_.erase(it);
    log_(where_ + " rtsp: pipeline " + gone->path + " stopped");
}

void GatewayRtsp::feedLoop()
{
    std::unique_lock<std::mutex> lock(mutex_);
    while (!quitting_) {
        const auto now = Clock::now();
        auto wakeAt = now + kFeederTick;
        std::vector<std::pair<GstElement *, GstBuffer *>> due;
        for (auto &feed : feeds_) {
            const auto fault = faults_.count(feed->streamId) ? faults_[feed->streamId]
                                                             : GatewayHttp::LiveFault::None;
            if (fault == GatewayHttp::LiveFault::Stalled && !feed->stalledSince)
                feed->stalledSince = now;
            if (fault != GatewayHttp::LiveFault::None)
                continue;
            // Resumed after a stall: the stream goes on where it stopped, nothing held back
            // bursts out.
            if (feed->stalledSince) {
                feed->start += now - *feed->stalledSince;
                feed->stalledSince.reset();
            }
            for (int n = 0; n < kMaxBurstFrames && feed->due() <= now; ++n) {
                due.emplace_back(GST_ELEMENT(gst_object_ref(feed->appsrc)), feed->nextBuffer());
                feed->advance();
            }
            wakeAt = std::min(wakeAt, feed->due());
        }
        lock.unlock();
        for (auto &[appsrc, buffer] : due) {
            gst_app_src_push_buffer(GST_APP_SRC(appsrc), buffer);
            gst_object_unref(appsrc);
        }
        lock.lock();
        if (!quitting_)
            wake_.wait_until(lock, wakeAt);
    }
}

void GatewayRtsp::mountStreams()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!service_)
        return;
    std::set<std::string> wanted;
    GstRTSPMountPoints *mounts = gst_rtsp_server_get_mount_points(service_->server);
    for (const auto &stream : streams_) {
        for (const LiveProfile profile : {LiveProfile::Main, LiveProfile::Sub}) {
            const std::string path = livePath(stream.id, profile);
            wanted.insert(path);
            if (service_->mounted.count(path))
                continue;
            GstRTSPMediaFactory *factory = gst_rtsp_media_factory_new();
            gst_rtsp_media_factory_set_launch(factory, kLaunch);
            gst_rtsp_media_factory_set_shared(factory, TRUE);
            if (!credentials_.user.empty())
                gst_rtsp_media_factory_add_role(
                    factory, "viewer", GST_RTSP_PERM_MEDIA_FACTORY_ACCESS, G_TYPE_BOOLEAN, TRUE,
                    GST_RTSP_PERM_MEDIA_FACTORY_CONSTRUCT, G_TYPE_BOOLEAN, TRUE, nullptr);
            g_signal_connect_data(
                factory, "media-configure", G_CALLBACK(RtspCallbacks::mediaConfigure),
                new RtspCallbacks::Mount{link_, stream.id, profile},
                [](gpointer data, GClosure *) { delete static_cast<RtspCallbacks::Mount *>(data); },
                GConnectFlags(0));
            gst_rtsp_mount_points_add_factory(mounts, path.c_str(), factory);
            service_->mounted.insert(path);
        }
    }
    for (auto it = service_->mounted.begin(); it != service_->mounted.end();) {
        if (wanted.count(*it)) {
            ++it;
            continue;
        }
        gst_rtsp_mount_points_remove_factory(mounts, it->c_str());
        it = service_->mounted.erase(it);
    }
    g_object_unref(mounts);
}

bool GatewayRtsp::start(const std::string &host, unsigned short port)
{
    const std::string where = host + ":" + std::to_string(port);
    for (const char *element : {"appsrc", "rtph264pay", "rtpbin", "udpsink", "appsink"}) {
        if (GstElementFactory *factory = gst_element_factory_find(element)) {
            gst_object_unref(factory);
            continue;
        }
        log_(where_ + ": cannot serve RTSP: the GStreamer element " + element +
             " is missing; live streams over RTSP of this gateway are off");
        return false;
    }
    auto service = std::make_unique<Service>();
    service->context = g_main_context_new();
    service->loop = g_main_loop_new(service->context, FALSE);
    service->server = gst_rtsp_server_new();
    gst_rtsp_server_set_address(service->server, host.c_str());
    gst_rtsp_server_set_service(service->server, std::to_string(port).c_str());
    GstRTSPThreadPool *pool = gst_rtsp_server_get_thread_pool(service->server);
    gst_rtsp_thread_pool_set_max_threads(pool, kClientThreads);
    g_object_unref(pool);
    if (!credentials_.user.empty()) {
        GstRTSPAuth *auth = gst_rtsp_auth_new();
        GstRTSPToken *token =
            gst_rtsp_token_new(GST_RTSP_TOKEN_MEDIA_FACTORY_ROLE, G_TYPE_STRING, "viewer", nullptr);
        gchar *basic =
            gst_rtsp_auth_make_basic(credentials_.user.c_str(), credentials_.password.c_str());
        gst_rtsp_auth_add_basic(auth, basic, token);
        g_free(basic);
        gst_rtsp_token_unref(token);
        gst_rtsp_server_set_auth(service->server, auth);
        g_object_unref(auth);
    }
    RtspCallbacks::connect(service->server, "client-connected",
                           G_CALLBACK(RtspCallbacks::clientConnected), link_);
    GError *error = nullptr;
    service->source = gst_rtsp_server_create_source(service->server, nullptr, &error);
    if (!service->source) {
        log_(where_ + ": cannot listen for RTSP on " + where +
             " (address not available or port taken); live streams over RTSP of this gateway "
             "are off" +
             (error ? std::string(": ") + error->message : std::string()));
        g_clear_error(&error);
        return false;
    }
    g_source_attach(service->source, service->context);
    const int bound = gst_rtsp_server_get_bound_port(service->server);
    Service *running = service.get();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        service_ = std::move(service);
        host_ = host;
        port_ = static_cast<unsigned short>(bound);
    }
    // Connections are taken once the loop runs: every stream is mounted by then, so a client
    // that comes back the moment the service does never meets a 404.
    mountStreams();
    running->thread = std::thread([running] { g_main_loop_run(running->loop); });
    log_(where_ + ": RTSP service listening on " + host + ":" + std::to_string(bound));
    return true;
}

void GatewayRtsp::stop()
{
    std::unique_ptr<Service> service;
    std::vector<std::unique_ptr<Feed>> feeds;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        service = std::move(service_);
        feeds = std::move(feeds_);
        feeds_.clear();
    }
    if (!service)
        return;
    // Dropping the clients and quitting run on the server's own loop, where its sources live;
    // an idle source of that loop's context runs there even if the loop has not begun yet.
    GSource *idle = g_idle_source_new();
    g_source_set_callback(
        idle,
        [](gpointer data) -> gboolean {
            auto *s = static_cast<Service *>(data);
            g_list_free_full(
                gst_rtsp_server_client_filter(s->server, RtspCallbacks::removeClient, nullptr),
                g_object_unref);
            g_source_destroy(s->source);
            g_source_unref(s->source);
            s->source = nullptr;
            g_main_loop_quit(s->loop);
            return G_SOURCE_REMOVE;
        },
        service.get(), nullptr);
    g_source_attach(idle, service->context);
    g_source_unref(idle);
    if (service->thread.joinable())
        service->thread.join();
    feeds.clear();
}

void GatewayRtsp::dropViewers(std::int64_t streamId)
{
    GstRTSPServer *server = nullptr;
    {
        // Not held while the server works: a media let go calls back into removeFeed.
        std::lock_guard<std::mutex> lock(mutex_);
        if (!service_)
            return;
        server = GST_RTSP_SERVER(g_object_ref(service_->server));
    }
    std::vector<std::string> paths = {livePath(streamId, LiveProfile::Main),
                                      livePath(streamId, LiveProfile::Sub)};
    g_list_free_full(gst_rtsp_server_client_filter(server, RtspCallbacks::removeViewer, &paths),
                     g_object_unref);
    GstRTSPSessionPool *pool = gst_rtsp_server_get_session_pool(server);
    g_list_free_full(gst_rtsp_session_pool_filter(pool, RtspCallbacks::removeSession, &paths),
                     g_object_unref);
    g_object_unref(pool);
    g_object_unref(server);
}

void GatewayRtsp::restart(std::chrono::milliseconds downFor)
{
    std::lock_guard<std::mutex> restarting(restartMutex_);
    if (restarter_.joinable())
        restarter_.join();
    std::string host;
    unsigned short port = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!service_)
            return;
        host = host_;
        port = port_;
    }
    stop();
    log_(where_ + ": RTSP service stopped, back in " + std::to_string(downFor.count()) + " ms");
    restarter_ = std::thread([this, host, port, downFor] {
        std::unique_lock<std::mutex> lock(mutex_);
        if (wake_.wait_for(lock, downFor, [this] { return quitting_; }))
            return;
        lock.unlock();
        start(host, port);
    });
}

} // namespace ardix::sim
