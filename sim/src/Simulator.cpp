#include "Simulator.h"

#include "zarn/ObjectData.h"
#include "zarn/Value.h"

#include <algorithm>
#include <future>
#include <iostream>
#include <iterator>
#include <unordered_map>
#include <unordered_set>

namespace ardix::sim {

namespace {

bool isGateway(const SiteObject &o)
{
    return o.data.type == static_cast<int>(zarn::ObjectType::Device) &&
           o.data.className == "device.GATEWAY";
}

using ObjectIndex = std::unordered_map<std::int64_t, const SiteObject *>;

// The streams found below a gateway in the object tree.
std::vector<GatewayStream> streamsBelow(const ObjectIndex &byId, const SiteObject &gateway,
                                        std::uint64_t sceneSeed)
{
    std::vector<GatewayStream> streams;
    std::vector<std::int64_t> pending(gateway.data.children.rbegin(), gateway.data.children.rend());
    std::unordered_set<std::int64_t> seen;
    while (!pending.empty()) {
        const auto id = pending.back();
        pending.pop_back();
        auto it = byId.find(id);
        if (it == byId.end() || !seen.insert(id).second)
            continue;
        const SiteObject &o = *it->second;
        if (o.data.type == static_cast<int>(zarn::ObjectType::Stream))
            streams.push_back({o.data.id, o.data.name, o.chunks, o.chunkMedia, o.recorder,
                               o.crossings ? std::optional(sceneSeed) : std::nullopt});
        pending.insert(pending.end(), o.data.children.rbegin(), o.data.children.rend());
    }
    return streams;
}

} // namespace

Simulator::Simulator(SimulatorOptions options)
    : options_(std::move(options))
{
    if (!options_.log)
        options_.log = &Simulator::logToStderr;
    media_ = std::make_unique<MediaMaker>(options_.media,
                                          [this](const std::string &line) { logLocked(line); });
}

void Simulator::logLocked(const std::string &line)
{
    std::lock_guard<std::mutex> lock(logMutex_);
    options_.log(line);
}

Simulator::~Simulator()
{
    stop();
}

void Simulator::logToStderr(const std::string &line)
{
    static std::mutex mutex;
    std::lock_guard<std::mutex> lock(mutex);
    std::cerr << "zarn-sim: " << line << std::endl;
}

template <typename F> auto Simulator::call(F &&f) -> decltype(f())
{
    if (!thread_.joinable() || thread_.get_id() == std::this_thread::get_id())
        return f();
    std::packaged_task<decltype(f())()> task(std::forward<F>(f));
    auto result = task.get_future();
    asio::post(io_, [&task] { task(); });
    return result.get();
}

bool Simulator::start(std::string *error)
{
    if (thread_.joinable())
        return true;
    // The gateways' "httpPort" settings name the ports they are given; a port picked at start
    // is known once they listen.
    const auto given = givenHttpPorts(options_.site);
    publishHttpPorts(options_.site, given);
    events_ = std::make_unique<EventServer>(io_, options_.site, options_.log);
    events_->setLimits(options_.limits);
    events_->onHeld = [this] {
        std::lock_guard<std::mutex> lock(heldMutex_);
        heldCount_ = events_->heldRequests();
        heldChanged_.notify_all();
    };
    std::string err;
    if (!events_->listen(options_.host, options_.eventPort, err)) {
        events_.reset();
        if (error)
            *error = err;
        return false;
    }
    eventPort_ = events_->port();
    pos_.start(options_.site, options_.ephemeralPosPorts);
    // A gateway that cannot serve HTTP is logged and left out; the event server runs on.
    updateGateways(options_.site);
    // Before the loop runs: no client has seen the objects yet.
    if (publishHttpPorts(options_.site, given))
        events_->replaceSite(options_.site);
    io_.restart();
    work_.emplace(asio::make_work_guard(io_));
    thread_ = std::thread([this] { io_.run(); });
    return true;
}

std::unordered_set<std::int64_t> Simulator::givenHttpPorts(const Site &site)
{
    std::unordered_set<std::int64_t> given;
    for (const auto &o : site.objects) {
        if (isGateway(o) && o.data.settings.contains("httpPort"))
            given.insert(o.data.id);
    }
    return given;
}

// Each gateway's "httpPort" setting names the port its HTTP service listens on (a port picked
// at start included), so that clients reach it wherever it listens; a gateway whose service
// could not start keeps the port it was given. A site file that sets "httpPort" among a
// gateway's settings itself (`given`) keeps it, true or not (a gateway configured wrong).
bool Simulator::publishHttpPorts(Site &site, const std::unordered_set<std::int64_t> &given)
{
    std::lock_guard<std::mutex> lock(gatewaysMutex_);
    bool changed = false;
    for (auto &o : site.objects) {
        if (!isGateway(o) || given.count(o.data.id) > 0)
            continue;
        const auto it = serviceOf_.find(o.data.id);
        int port = it != serviceOf_.end() ? gateways_[it->second]->port() : 0;
        if (port == 0)
            port = options_.httpPort ? *options_.httpPort : o.httpPort;
        if (port == 0 || o.data.settings.value("httpPort") == zarn::IntValue(port))
            continue;
        o.data.settings.setValue("httpPort", zarn::IntValue(port));
        changed = true;
    }
    return changed;
}

// Gateways on one address and one fixed port share one service, which serves all their streams:
// a generated site's hundreds of gateways run one HTTP service instead of hundreds.
std::vector<Simulator::GatewayGroup> Simulator::groupGateways(const Site &site) const
{
    ObjectIndex byId;
    for (const auto &o : site.objects)
        byId.emplace(o.data.id, &o);
    std::vector<GatewayGroup> groups;
    std::unordered_map<std::string, std::size_t> byAddress;
    for (const auto &o : site.objects) {
        if (!isGateway(o))
            continue;
        std::string host = o.data.settings.value("address").toString();
        if (host.empty())
            host = options_.host;
        const auto port =
            options_.httpPort ? *options_.httpPort : static_cast<unsigned short>(o.httpPort);
        const std::string key =
            port != 0 ? host + ":" + std::to_string(port) : "#" + std::to_string(o.data.id);
        auto [it, fresh] = byAddress.emplace(key, groups.size());
        if (fresh)
            groups.push_back({&o, host, port, {}, {}});
        auto &group = groups[it->second];
        group.gatewayIds.push_back(o.data.id);
        auto streams = streamsBelow(byId, o, site.sceneSeed);
        std::move(streams.begin(), streams.end(), std::back_inserter(group.streams));
    }
    return groups;
}

void Simulator::updateGateways(const Site &site)
{
    std::lock_guard<std::mutex> lock(gatewaysMutex_);
    std::unordered_set<std::size_t> served;
    sceneSeed_ = site.sceneSeed;
    sceneStreams_.clear();
    for (auto &group : groupGateways(site)) {
        for (const auto &stream : group.streams)
            sceneStreams_[stream.id] = stream.sceneSeed.has_value();
        const auto known = std::find_if(group.gatewayIds.begin(), group.gatewayIds.end(),
                                        [&](auto id) { return serviceOf_.count(id) > 0; });
        std::size_t index = gateways_.size();
        if (known != group.gatewayIds.end()) {
            index = serviceOf_[*known];
            if (rtsp_[index])
                rtsp_[index]->setStreams(group.streams);
            gateways_[index]->setPosDataCap(static_cast<std::size_t>(group.first->posDataCap));
            gateways_[index]->setStreams(std::move(group.streams));
        } else {
            startGroup(group);
        }
        served.insert(index);
        for (const auto id : group.gatewayIds)
            serviceOf_[id] = index;
    }
    // Gateways gone from a reloaded site keep their port but serve nothing.
    for (std::size_t i = 0; i < gateways_.size(); ++i) {
        if (served.count(i))
            continue;
        gateways_[i]->setStreams({});
        if (rtsp_[i])
            rtsp_[i]->setStreams({});
    }
}

void Simulator::startGroup(GatewayGroup &group)
{
    const SiteObject &o = *group.first;
    auto gateway = std::make_unique<GatewayHttp>(
        o.data.id, *media_, posTexts_, [this](const std::string &line) { logLocked(line); });
    // Texts in one "pos-data" answer at most: the oldest are answered, the answer says it was cut.
    gateway->setPosDataCap(static_cast<std::size_t>(o.posDataCap));
    gateway->setStreams(group.streams);
    gateway->start(group.host, group.port);
    if (group.gatewayIds.size() > 1)
        logLocked(std::to_string(group.gatewayIds.size()) +
                  " gateways share the services of gateway " + std::to_string(o.data.id) + " (" +
                  std::to_string(group.streams.size()) + " streams)");
    rtsp_.push_back(o.rtsp ? startRtsp(o, *gateway, group.streams, group.host) : nullptr);
    gateways_.push_back(std::move(gateway));
}

std::unique_ptr<GatewayRtsp> Simulator::startRtsp(const SiteObject &o, GatewayHttp &http,
                                                  const std::vector<GatewayStream> &streams,
                                                  const std::string &host)
{
    // The RTSP service plays the loops the HTTP service prepares and keeps.
    auto rtsp = std::make_unique<GatewayRtsp>(
        o.data.id,
        [&http](const GatewayStream &stream, LiveProfile profile) {
            return http.liveLoop(stream, profile);
        },
        [this](const std::string &line) { logLocked(line); });
    rtsp->setStreams(streams);
    rtsp->setCredentials({o.rtspUser, o.rtspPassword});
    rtsp->start(host,
                options_.rtspPort ? *options_.rtspPort : static_cast<unsigned short>(o.rtspPort));
    return rtsp;
}

unsigned short Simulator::gatewayRtspPort(std::int64_t gatewayId)
{
    std::lock_guard<std::mutex> lock(gatewaysMutex_);
    const auto it = serviceOf_.find(gatewayId);
    return it != serviceOf_.end() && rtsp_[it->second] ? rtsp_[it->second]->port() : 0;
}

bool Simulator::restartRtsp(std::int64_t gatewayId, std::chrono::milliseconds downFor)
{
    std::lock_guard<std::mutex> lock(gatewaysMutex_);
    const auto it = serviceOf_.find(gatewayId);
    if (it == serviceOf_.end() || !rtsp_[it->second])
        return false;
    rtsp_[it->second]->restart(downFor);
    return true;
}

unsigned short Simulator::gatewayHttpPort(std::int64_t gatewayId)
{
    std::lock_guard<std::mutex> lock(gatewaysMutex_);
    const auto it = serviceOf_.find(gatewayId);
    return it != serviceOf_.end() ? gateways_[it->second]->port() : 0;
}

void Simulator::stop()
{
    if (!thread_.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(gatewaysMutex_);
        // The RTSP services play the HTTP services' loops: they go first.
        rtsp_.clear();
        gateways_.clear();
        serviceOf_.clear();
    }
    call([this] { events_->stop(); });
    work_.reset();
    io_.stop();
    thread_.join();
    events_.reset();
    pos_.stop();
}

void Simulator::replaceSite(Site site)
{
    if (!events_)
        return;
    // The publishers and HTTP services follow the new site's scripts and gateways.
    pos_.start(site, options_.ephemeralPosPorts);
    const auto given = givenHttpPorts(site);
    updateGateways(site);
    publishHttpPorts(site, given);
    call([this, &site] { events_->replaceSite(std::move(site)); });
}

void Simulator::notifyObjectsChanged()
{
    if (!events_)
        return;
    call([this] { events_->notifyObjectsChanged(); });
}

bool Simulator::setObjectValue(std::int64_t id, const zarn::Value &value)
{
    if (!events_)
        return false;
    return call([this, id, &value] { return events_->state().setObjectValue(id, value); });
}

std::int64_t Simulator::sendEvent(zarn::Event event)
{
    if (!events_)
        return 0;
    return call([this, &event] { return events_->state().deliverEvent(std::move(event), 0); });
}

std::int64_t Simulator::raiseEvent(std::int64_t source, const std::string &className,
                                   const std::string &text)
{
    if (!events_)
        return 0;
    return call([&]() -> std::int64_t {
        auto &state = events_->state();
        if (!state.hasObject(source))
            return 0;
        return state.raiseEvent(source, className, SiteState::textFields(text));
    });
}

bool Simulator::flood(std::int64_t source, const std::string &className, int perSecond, int seconds)
{
    if (!events_)
        return false;
    return call([&] { return events_->siteEvents().flood(source, className, perSecond, seconds); });
}

void Simulator::closeAllConnections()
{
    if (!events_)
        return;
    call([this] { events_->closeAllConnections(); });
}

void Simulator::dropConnections(std::chrono::milliseconds refuseFor)
{
    if (!events_)
        return;
    call([this, refuseFor] {
        events_->refuseConnections(refuseFor);
        events_->closeAllConnections();
    });
}

void Simulator::refuseSignIns(std::chrono::milliseconds ms)
{
    if (!events_)
        return;
    call([this, ms] { events_->refuseSignIns(ms); });
}

bool Simulator::setLiveFault(std::int64_t streamId, GatewayHttp::LiveFault fault)
{
    std::lock_guard<std::mutex> lock(gatewaysMutex_);
    bool found = false;
    for (auto &g : gateways_)
        found = g->setLiveFault(streamId, fault) || found;
    for (auto &r : rtsp_)
        found = (r && r->setLiveFault(streamId, fault)) || found;
    return found;
}

void Simulator::setHoldRequests(bool hold)
{
    if (!events_)
        return;
    call([this, hold] {
        events_->setHoldRequests(hold);
        std::lock_guard<std::mutex> lock(heldMutex_);
        heldCount_ = events_->heldRequests();
    });
}

void Simulator::setHeldOperation(const std::string &op)
{
    if (events_)
        call([this, op] { events_->setHeldOperation(op); });
}

void Simulator::answerHeldNewestFirst()
{
    if (!events_)
        return;
    call([this] {
        events_->answerHeldNewestFirst();
        std::lock_guard<std::mutex> lock(heldMutex_);
        heldCount_ = events_->heldRequests();
    });
}

bool Simulator::waitForHeldRequests(std::size_t n, std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(heldMutex_);
    return heldChanged_.wait_for(lock, timeout, [&] { return heldCount_ >= n; });
}

std::int64_t Simulator::chunkSearches(std::int64_t streamId)
{
    if (!events_)
        return 0;
    return call([this, streamId] { return events_->state().chunkSearches(streamId); });
}

bool Simulator::setRecording(std::int64_t streamId, bool on)
{
    if (!events_)
        return false;
    const bool found =
        call([this, streamId, on] { return events_->state().setRecording(streamId, on); });
    if (found)
        logLocked("recording of stream " + std::to_string(streamId) +
                  (on ? " resumed" : " stopped"));
    return found;
}

std::optional<std::vector<Crossing>> Simulator::motion(std::int64_t streamId, std::int64_t fromMs,
                                                       std::int64_t toMs)
{
    std::lock_guard<std::mutex> lock(gatewaysMutex_);
    const auto stream = sceneStreams_.find(streamId);
    if (stream == sceneStreams_.end())
        return std::nullopt;
    return MotionScene(sceneSeed_, streamId, stream->second).crossings(fromMs, toMs);
}

std::size_t Simulator::connectionCount()
{
    if (!events_)
        return 0;
    return call([this] { return events_->connectionCount(); });
}

} // namespace ardix::sim
