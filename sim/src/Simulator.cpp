#include "Simulator.h"

#include "zarn/ObjectData.h"

#include <algorithm>
#include <future>
#include <iostream>
#include <unordered_map>

namespace ardix::sim {

namespace {

bool isGateway(const SiteObject &o)
{
    return o.data.type == static_cast<int>(zarn::ObjectType::Device) &&
           o.data.className == "device.GATEWAY";
}

// The streams found below a gateway in the object tree.
std::vector<GatewayStream> streamsBelow(const Site &site, const SiteObject &gateway)
{
    std::unordered_map<std::int64_t, const SiteObject *> byId;
    for (const auto &o : site.objects)
        byId.emplace(o.data.id, &o);
    std::vector<GatewayStream> streams;
    std::vector<std::int64_t> pending(gateway.data.children.rbegin(), gateway.data.children.rend());
    std::unordered_map<std::int64_t, bool> seen;
    while (!pending.empty()) {
        const auto id = pending.back();
        pending.pop_back();
        auto it = byId.find(id);
        if (it == byId.end() || seen[id])
            continue;
        seen[id] = true;
        const SiteObject &o = *it->second;
        if (o.data.type == static_cast<int>(zarn::ObjectType::Stream))
            streams.push_back({o.data.id, o.data.name, o.chunks, o.chunkMedia});
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
    io_.restart();
    work_.emplace(asio::make_work_guard(io_));
    thread_ = std::thread([this] { io_.run(); });
    // A gateway that cannot serve HTTP is logged and left out; the event server runs on.
    updateGateways(options_.site);
    return true;
}

void Simulator::updateGateways(const Site &site)
{
    std::lock_guard<std::mutex> lock(gatewaysMutex_);
    for (const auto &o : site.objects) {
        if (!isGateway(o))
            continue;
        auto streams = streamsBelow(site, o);
        auto it = std::find_if(gateways_.begin(), gateways_.end(),
                               [&](const auto &g) { return g->gatewayId() == o.data.id; });
        if (it != gateways_.end()) {
            rtsp_[std::size_t(it - gateways_.begin())]->setStreams(streams);
            (*it)->setStreams(std::move(streams));
            continue;
        }
        auto gateway = std::make_unique<GatewayHttp>(
            o.data.id, *media_, posTexts_, [this](const std::string &line) { logLocked(line); });
        gateway->setStreams(streams);
        std::string host = o.data.settings.value("address").toString();
        if (host.empty())
            host = options_.host;
        const auto port =
            options_.httpPort ? *options_.httpPort : static_cast<unsigned short>(o.httpPort);
        gateway->start(host, port);
        rtsp_.push_back(startRtsp(o, *gateway, streams, host));
        gateways_.push_back(std::move(gateway));
    }
    // Gateways gone from a reloaded site keep their port but serve nothing.
    for (auto &g : gateways_) {
        const bool present =
            std::any_of(site.objects.begin(), site.objects.end(),
                        [&](const auto &o) { return isGateway(o) && o.data.id == g->gatewayId(); });
        if (!present) {
            g->setStreams({});
            rtsp_[std::size_t(&g - gateways_.data())]->setStreams({});
        }
    }
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
    for (const auto &r : rtsp_) {
        if (r->gatewayId() == gatewayId)
            return r->port();
    }
    return 0;
}

bool Simulator::restartRtsp(std::int64_t gatewayId, std::chrono::milliseconds downFor)
{
    std::lock_guard<std::mutex> lock(gatewaysMutex_);
    for (auto &r : rtsp_) {
        if (r->gatewayId() == gatewayId) {
            r->restart(downFor);
            return true;
        }
    }
    return false;
}

unsigned short Simulator::gatewayHttpPort(std::int64_t gatewayId)
{
    std::lock_guard<std::mutex> lock(gatewaysMutex_);
    for (const auto &g : gateways_) {
        if (g->gatewayId() == gatewayId)
            return g->port();
    }
    return 0;
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
    updateGateways(site);
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
        found = r->setLiveFault(streamId, fault) || found;
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

std::size_t Simulator::connectionCount()
{
    if (!events_)
        return 0;
    return call([this] { return events_->connectionCount(); });
}

} // namespace ardix::sim
