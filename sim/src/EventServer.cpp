#include "EventServer.h"

#include "zarn/HandlerError.h"

namespace ardix::sim {

using zarn::wire::FramedSocket;
namespace wire = ardix::zarn::wire;

EventServer::EventServer(asio::io_context &io, Site site, LogFunction log)
    : io_(io)
    , log_(std::move(log))
    , state_(std::move(site), *this)
    , acceptor_(io)
    , retryTimer_(io)
{}

EventServer::~EventServer()
{
    *alive_ = false;
    stop();
}

void EventServer::log(const std::string &line) const
{
    if (log_)
        log_(line);
}

bool EventServer::listen(const std::string &host, unsigned short port, std::string &error)
{
    asio::error_code ec;
    auto address = asio::ip::make_address(host, ec);
    if (ec) {
        error = "invalid listen address " + host;
        return false;
    }
    asio::ip::tcp::endpoint endpoint(address, port);
    acceptor_.open(endpoint.protocol(), ec);
    if (!ec)
        acceptor_.set_option(asio::ip::tcp::acceptor::reuse_address(true), ec);
    if (!ec)
        acceptor_.bind(endpoint, ec);
    if (!ec)
        acceptor_.listen(asio::socket_base::max_listen_connections, ec);
    if (ec) {
        error = "cannot listen on " + host + ":" + std::to_string(port) + ": " + ec.message();
        acceptor_.close(ec);
        return false;
    }
    port_ = acceptor_.local_endpoint().port();
    log("event server listening on " + host + ":" + std::to_string(port_));
    accept();
    return true;
}

void EventServer::stop()
{
    asio::error_code ignored;
    acceptor_.close(ignored);
    retryTimer_.cancel();
    for (auto &[id, timer] : timers_)
        timer->cancel();
    timers_.clear();
    held_.clear();
    closeAllConnections();
}

void EventServer::accept()
{
    std::weak_ptr<bool> alive = alive_;
    acceptor_.async_accept([this, alive](const asio::error_code &ec, asio::ip::tcp::socket s) {
        if (alive.expired() || !acceptor_.is_open())
            return;
        if (!ec) {
            onAccepted(std::move(s));
            accept();
            return;
        }
        // Out of descriptors and the like: try again shortly instead of giving up for good.
        log("accept failed: " + ec.message());
        retryTimer_.expires_after(std::chrono::milliseconds(100));
        retryTimer_.async_wait([this, alive](const asio::error_code &e) {
            if (!e && !alive.expired())
                accept();
        });
    });
}

void EventServer::onAccepted(asio::ip::tcp::socket socket)
{
    auto session = std::make_shared<Session>();
    session->id = nextSession_++;
    session->socket = std::make_shared<FramedSocket>(std::move(socket));
    sessions_[session->id] = session;
    log("session " + std::to_string(session->id) + " connected from " + session->socket->peer());

    std::weak_ptr<bool> alive = alive_;
    std::weak_ptr<Session> weak = session;
    FramedSocket::Handlers handlers;
    handlers.frame = [this, alive, weak](std::string &&body) {
        auto s = weak.lock();
        if (s && !alive.expired())
            onFrame(s, std::move(body));
    };
    const auto id = session->id;
    handlers.closed = [this, alive, id](FramedSocket::EndReason reason, const std::string &text) {
        if (alive.expired())
            return;
        sessions_.erase(id);
        log("session " + std::to_string(id) + " closed: " + text);
    };
    session->socket->send(wire::dump(
        Json{{"hello", "zarn"}, {"version", wire::kProtocolVersion}, {"server", "zarn-sim"}}));
    session->socket->start(std::move(handlers));
}

void EventServer::onFrame(const std::shared_ptr<Session> &session, std::string &&body)
{
    auto frame = wire::parseObject(body);
    std::int64_t id = 0;
    std::string op;
    if (!frame || !wire::readInt(*frame, "id", id) || !wire::readString(*frame, "op", op) ||
        !frame->contains("args") || !(*frame)["args"].is_object()) {
        log("session " + std::to_string(session->id) + ": protocol error: malformed request frame");
        session->socket->end(FramedSocket::EndReason::ProtocolError, "malformed request frame");
        return;
    }
    if (hold_) {
        held_.push_back({session, std::move(*frame)});
        if (onHeld)
            onHeld();
        return;
    }
    answer(*session, *frame);
}

void EventServer::answer(Session &session, const Json &frame)
{
    const auto id = frame["id"].get<std::int64_t>();
    const auto &op = frame["op"].get_ref<const std::string &>();
    const auto a = state_.handle(op, frame["args"], session.user);
    for (const auto &part : a.parts)
        session.socket->send(wire::dump(Json{{"id", id}, {"part", part}}));
    if (a.code == 0)
        session.socket->send(wire::dump(Json{{"id", id}, {"result", a.result}}));
    else
        session.socket->send(
            wire::dump(Json{{"id", id}, {"error", {{"code", a.code}, {"text", a.text}}}}));
    std::string line = "session " + std::to_string(session.id) + " " + op;
    if (a.code == 0)
        line += " -> ok" + (a.detail.empty() ? std::string() : ": " + a.detail);
    else
        line += " -> error " + std::to_string(a.code) + ": " + a.text;
    log(line);
}

void EventServer::replaceSite(Site site)
{
    state_.replace(std::move(site));
    log("site replaced: " + std::to_string(state_.objectCount()) + " objects");
    notifyObjectsChanged();
}

void EventServer::notifyObjectsChanged()
{
    pushToSignedIn(Json{{"push", "objectsChanged"}});
}

void EventServer::closeAllConnections()
{
    auto sessions = std::move(sessions_);
    sessions_.clear();
    for (auto &[id, s] : sessions)
        s->socket->end(FramedSocket::EndReason::LocalClose, "closed by the server");
}

void EventServer::setHoldRequests(bool hold)
{
    hold_ = hold;
    if (hold)
        return;
    auto held = std::move(held_);
    held_.clear();
    for (auto &h : held) {
        if (auto s = h.session.lock(); s && s->socket->isOpen())
            answer(*s, h.frame);
    }
}

void EventServer::pushToSignedIn(const Json &push)
{
    const auto text = wire::dump(push);
    for (auto &[id, s] : sessions_) {
        if (s->user != 0)
            s->socket->send(text);
    }
}

void EventServer::pushToUser(std::int64_t userId, const Json &push)
{
    const auto text = wire::dump(push);
    for (auto &[id, s] : sessions_) {
        if (s->user == userId)
            s->socket->send(text);
    }
}

void EventServer::after(int ms, std::function<void()> fn)
{
    const auto id = nextTimer_++;
    auto timer = std::make_unique<asio::steady_timer>(io_, std::chrono::milliseconds(ms));
    std::weak_ptr<bool> alive = alive_;
    timer->async_wait([this, alive, id, fn = std::move(fn)](const asio::error_code &ec) {
        if (ec || alive.expired())
            return;
        timers_.erase(id);
        fn();
    });
    timers_[id] = std::move(timer);
}

} // namespace ardix::sim
