#include "PosPublisher.h"

#include "PosHistory.h"

#include <zmq.hpp>

#include <algorithm>
#include <set>

namespace ardix::sim {

namespace {

const SiteObject *findObject(const Site &site, std::int64_t id)
{
    for (const auto &o : site.objects) {
        if (o.data.id == id)
            return &o;
    }
    return nullptr;
}

std::string settingText(const SiteObject &o, const char *name, const std::string &fallback)
{
    if (!o.data.settings.contains(name))
        return fallback;
    const std::string text = o.data.settings.value(name).toString();
    return text.empty() ? fallback : text;
}

} // namespace

PosPublisher::PosPublisher(PosTextLog &record, LogFunction log)
    : record_(record)
    , log_(std::move(log))
{}

PosPublisher::~PosPublisher()
{
    stop();
}

void PosPublisher::start(const Site &site, bool ephemeralPorts)
{
    stop();
    context_ = std::make_unique<zmq::context_t>(1);
    // A stream's gateway is its parent object; every gateway with a scripted stream binds.
    std::set<std::int64_t> gatewayIds;
    for (const auto &o : site.objects) {
        if (o.pos)
            gatewayIds.insert(o.data.parent);
    }
    for (std::int64_t id : gatewayIds) {
        if (const SiteObject *gateway = findObject(site, id))
            bindGateway(*gateway, ephemeralPorts);
        else
            log_("pos publisher: streams under absent object " + std::to_string(id) +
                 " have no gateway; their texts are not published");
    }
    const auto now = std::chrono::steady_clock::now();
    const std::int64_t startMs = nowMs();
    setHistories(site, startMs);
    for (const auto &o : site.objects) {
        if (o.data.type != static_cast<int>(zarn::ObjectType::Stream) ||
            !gateways_.count(o.data.parent))
            continue;
        gatewayOf_[o.data.id] = o.data.parent;
        if (!o.pos)
            continue;
        Script script{o.data.id, *o.pos,      0, now + std::chrono::milliseconds(o.pos->intervalMs),
                      nullptr,   std::nullopt};
        if (o.pos->texts.empty()) {
            script.generator = std::make_shared<const ReceiptGenerator>(
                o.pos->generator->seed, o.data.id, o.pos->generator->till);
            scheduleReceipt(script, startMs);
        }
        scripts_.push_back(std::move(script));
    }
    if (scripts_.empty())
        return;
    stopping_ = false;
    thread_ = std::thread([this] { run(); });
}

void PosPublisher::setHistories(const Site &site, std::int64_t startMs)
{
    std::map<std::int64_t, std::shared_ptr<const PosHistory>> histories;
    for (const auto &o : site.objects) {
        if (!o.pos)
            continue;
        const PosScript &pos = *o.pos;
        if (pos.generator) {
            auto generator = std::make_shared<const ReceiptGenerator>(
                pos.generator->seed, o.data.id, pos.generator->till);
            histories[o.data.id] = std::make_shared<const PosHistory>(PosHistory::generated(
                std::move(generator), pos.historyFromMs, startMs, pos.texts.empty()));
        } else {
            histories[o.data.id] = std::make_shared<const PosHistory>(
                PosHistory::replayed(pos.texts, pos.intervalMs, pos.historyFromMs, startMs));
        }
    }
    record_.setHistories(std::move(histories));
}

void PosPublisher::bindGateway(const SiteObject &gateway, bool ephemeralPorts)
{
    const std::string address = settingText(gateway, "address", "127.0.0.1");
    const std::int64_t port = gateway.data.settings.contains("posPort")
                                  ? gateway.data.settings.value("posPort").toInt64()
                                  : kDefaultPosPort;
    const std::string name = "pos publisher: gateway " + std::to_string(gateway.data.id);
    if (port < 1 || port > 65535) {
        log_(name + " has no usable \"posPort\" (" + std::to_string(port) +
             "); its streams' texts are not published");
        return;
    }
    const std::string endpoint =
        "tcp://" + address + ":" + (ephemeralPorts ? std::string("*") : std::to_string(port));
    Gateway g;
    try {
        g.socket = std::make_unique<zmq::socket_t>(*context_, zmq::socket_type::pub);
        g.socket->set(zmq::sockopt::linger, 0);
        g.socket->bind(endpoint);
        const std::string bound = g.socket->get(zmq::sockopt::last_endpoint);
        g.port = static_cast<unsigned short>(std::stoi(bound.substr(bound.rfind(':') + 1)));
    } catch (const std::exception &e) {
        log_(name + " cannot bind " + endpoint + ": " + e.what() +
             "; its streams' texts are not published");
        return;
    }
    log_(name + " publishing channel texts on tcp://" + address + ":" + std::to_string(g.port));
    gateways_[gateway.data.id] = std::move(g);
}

void PosPublisher::stop()
{
    {
        Lock lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
    Lock lock(mutex_);
    gateways_.clear(); // closes the sockets
    gatewayOf_.clear();
    scripts_.clear();
    // Terminating the context releases the ports at once, so a restart can bind them again.
    context_.reset();
}

unsigned short PosPublisher::port(std::int64_t gatewayId) const
{
    Lock lock(mutex_);
    auto it = gateways_.find(gatewayId);
    return it == gateways_.end() ? 0 : it->second.port;
}

bool PosPublisher::publish(std::int64_t streamId, const std::string &text)
{
    Lock lock(mutex_);
    return sendLocked(streamId, text);
}

bool PosPublisher::sendLocked(std::int64_t streamId, const std::string &text, bool record)
{
    auto gatewayId = gatewayOf_.find(streamId);
    if (gatewayId == gatewayOf_.end())
        return false;
    zmq::socket_t &socket = *gateways_.at(gatewayId->second).socket;
    const std::string channel = std::to_string(streamId);
    // Recorded before it goes out, so a subscriber that holds the text finds it in the
    // record too.
    if (record)
        record_.record(streamId, nowMs(), text);
    try {
        // A PUB socket never blocks: with no subscriber or a full queue the message is
        // dropped, as a real publisher's would be.
        socket.send(zmq::buffer(channel), zmq::send_flags::sndmore | zmq::send_flags::dontwait);
        socket.send(zmq::buffer(text), zmq::send_flags::dontwait);
    } catch (const zmq::error_t &e) {
        log_("pos publisher: stream " + channel + ": sending failed: " + e.what());
        return false;
    }
    return true;
}

void PosPublisher::run()
{
    Lock lock(mutex_);
    while (!stopping_) {
        auto next =
            std::min_element(scripts_.begin(), scripts_.end(),
                             [](const Script &a, const Script &b) { return a.due < b.due; });
        if (wake_.wait_until(lock, next->due, [this] { return stopping_; }))
            break;
        if (std::chrono::steady_clock::now() < next->due)
            continue;
        sendNext(*next);
    }
}

void PosPublisher::sendNext(Script &script)
{
    if (script.generator) {
        if (script.pending)
            sendLocked(script.streamId, script.pending->text, false);
        // After a stall (a suspended machine) the receipts go on from now instead of all the
        // missed ones at once; they are in the history all the same.
        const std::int64_t sent = script.pending ? script.pending->timeMs : 0;
        scheduleReceipt(script, std::max(sent, nowMs() - 1000));
        return;
    }
    sendLocked(script.streamId, script.script.texts[script.next]);
    script.next = (script.next + 1) % script.script.texts.size();
    // After a stall (a suspended machine) the script goes on from now instead of sending
    // every missed text at once.
    const auto interval = std::chrono::milliseconds(script.script.intervalMs);
    script.due = std::max(script.due + interval, std::chrono::steady_clock::now());
}

void PosPublisher::scheduleReceipt(Script &script, std::int64_t afterMs)
{
    script.pending = script.generator->after(afterMs);
    // The generator's times are on the wall clock; the wait is on the steady one.
    const std::int64_t wait =
        script.pending ? std::max<std::int64_t>(script.pending->timeMs - nowMs(), 0) : 3600000;
    script.due = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait);
}

} // namespace ardix::sim
