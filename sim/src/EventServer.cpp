#include "EventServer.h"

#include "zarn/HandlerError.h"

#include <algorithm>
#include <vector>

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
    // A frame being decoded finishes; its result is posted to a server that is gone and ignored.
    decoder_.stop();
    decoder_.join();
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
    siteEvents_.start(state_.schedule());
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
        onAcceptFailed(ec.message());
        retryTimer_.expires_after(std::chrono::milliseconds(100));
        retryTimer_.async_wait([this, alive](const asio::error_code &e) {
            if (!e && !alive.expired())
                accept();
        });
    });
}

void EventServer::onAcceptFailed(const std::string &reason)
{
    // Retried ten times a second while descriptors run out: one line per ten seconds says it.
    ++acceptFailures_;
    const auto now = std::chrono::steady_clock::now();
    if (acceptFailures_ > 1 && now - lastAcceptReport_ < std::chrono::seconds(10))
        return;
    log("accept failed: " + reason +
        (acceptFailures_ > 1 ? " (" + std::to_string(acceptFailures_) + " times)" : ""));
    lastAcceptReport_ = now;
    acceptFailures_ = 0;
}

void EventServer::expectSignIn(const std::shared_ptr<Session> &session)
{
    if (limits_.signInTimeout.count() <= 0)
        return;
    session->signInTimer = std::make_unique<asio::steady_timer>(io_, limits_.signInTimeout);
    std::weak_ptr<Session> weak = session;
    session->signInTimer->async_wait([this, weak](const asio::error_code &ec) {
        auto s = weak.lock();
        if (ec || !s || s->user != 0)
            return;
        log("session " + std::to_string(s->id) + ": no sign-in within " +
            std::to_string(limits_.signInTimeout.count()) + " ms");
        s->socket->end(FramedSocket::EndReason::ProtocolError, "no sign-in in time");
    });
}

void EventServer::refuseConnections(std::chrono::milliseconds ms)
{
    refuseConnectionsUntil_ = std::chrono::steady_clock::now() + ms;
    log("fault: connections refused for " + std::to_string(ms.count()) + " ms");
}

void EventServer::refuseSignIns(std::chrono::milliseconds ms)
{
    refuseSignInsUntil_ = std::chrono::steady_clock::now() + ms;
    log("fault: sign-ins refused for " + std::to_string(ms.count()) + " ms");
}

void EventServer::onAccepted(asio::ip::tcp::socket socket)
{
    if (std::chrono::steady_clock::now() < refuseConnectionsUntil_) {
        // Closed before the greeting: the client sees a server that is not there.
        asio::error_code ignored;
        socket.close(ignored);
        log("connection refused (fault)");
        return;
    }
    auto session = std::make_shared<Session>();
    session->id = nextSession_++;
    session->socket = std::make_shared<FramedSocket>(std::move(socket));
    session->socket->setMaxQueuedBytes(limits_.maxQueuedBytes);
    session->socket->setFrameTimeout(limits_.frameTimeout);
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
    expectSignIn(session);
}

void EventServer::onFrame(const std::shared_ptr<Session> &session, std::string &&body)
{
    if (session->decoding) {
        session->waitingBytes += body.size();
        if (session->waitingBytes > limits_.maxQueuedBytes) {
            log("session " + std::to_string(session->id) +
                ": protocol error: too many requests waiting");
            session->socket->end(FramedSocket::EndReason::ProtocolError,
                                 "over " + std::to_string(limits_.maxQueuedBytes) +
                                     " bytes of requests waiting");
            return;
        }
        session->waiting.push_back(std::move(body));
        return;
    }
    if (body.size() >= kDecodeApartBytes)
        decodeApart(session, std::move(body));
    else
        dispatch(session, decodeRequest(body));
}

void EventServer::decodeApart(const std::shared_ptr<Session> &session, std::string &&body)
{
    log("session " + std::to_string(session->id) + ": decoding a request of " +
        std::to_string(body.size()) + " bytes apart");
    session->decoding = true;
    std::weak_ptr<bool> alive = alive_;
    std::weak_ptr<Session> weak = session;
    asio::post(decoder_, [this, alive, weak, body = std::move(body)]() mutable {
        // On the helper thread: only the frame itself is touched here.
        auto request = std::make_shared<std::optional<Request>>(decodeRequest(body));
        std::string().swap(body);
        asio::post(io_, [this, alive, weak, request] {
            auto s = weak.lock();
            if (s && !alive.expired())
                onDecoded(s, std::move(*request));
        });
    });
}

void EventServer::onDecoded(const std::shared_ptr<Session> &session,
                            std::optional<Request> &&request)
{
    session->decoding = false;
    dispatch(session, std::move(request));
    while (!session->decoding && !session->waiting.empty() && session->socket->isOpen()) {
        auto body = std::move(session->waiting.front());
        session->waiting.pop_front();
        session->waitingBytes -= body.size();
        onFrame(session, std::move(body));
    }
}

std::optional<EventServer::Request> EventServer::decodeRequest(const std::string &body)
{
    auto frame = wire::parseObject(body);
    Request r;
    if (!frame || !wire::readInt(*frame, "id", r.id) || !wire::readString(*frame, "op", r.op) ||
        !frame->contains("args") || !(*frame)["args"].is_object())
        return std::nullopt;
    if (r.op == "sendEvent")
        r.event = SiteState::prepareEvent((*frame)["args"]);
    else
        r.args = std::move((*frame)["args"]);
    return r;
}

void EventServer::dispatch(const std::shared_ptr<Session> &session,
                           std::optional<Request> &&request)
{
    if (!request) {
        log("session " + std::to_string(session->id) + ": protocol error: malformed request frame");
        session->socket->end(FramedSocket::EndReason::ProtocolError, "malformed request frame");
        return;
    }
    if (hold_ || (!heldOperation_.empty() && request->op == heldOperation_)) {
        held_.push_back({session, std::move(*request)});
        if (onHeld)
            onHeld();
        return;
    }
    answer(*session, std::move(*request));
}

void EventServer::sendAnswer(Session &session, std::int64_t id, Answer &a)
{
    // Each part goes out as soon as it is written, and is freed before the next: a list of
    // 100 000 objects then never sits in memory twice, and the client decodes the first parts
    // while the later ones are still being written.
    auto fits = [](const std::string &frame) { return frame.size() <= zarn::wire::kMaxFrameSize; };
    const std::string head = "{\"id\":" + std::to_string(id) + ",\"part\":";
    for (std::size_t i = 0; a.code == 0 && a.partTexts && i < a.partTexts->size(); ++i) {
        std::string frame = head + (*a.partTexts)[i] + "}";
        if (!fits(frame)) {
            a.code = zarn::HandlerError::ServerError;
            break;
        }
        session.socket->send(frame);
    }
    for (auto &part : a.parts) {
        if (a.code != 0)
            break;
        std::string frame = wire::dump(Json{{"id", id}, {"part", std::move(part)}});
        part = Json();
        if (!fits(frame)) {
            a.code = zarn::HandlerError::ServerError;
            break;
        }
        session.socket->send(frame);
    }
    if (a.code == 0) {
        std::string frame = wire::dump(Json{{"id", id}, {"result", std::move(a.result)}});
        if (fits(frame)) {
            session.socket->send(frame);
            return;
        }
        a.code = zarn::HandlerError::ServerError;
    }
    if (a.code == zarn::HandlerError::ServerError && a.text.empty())
        // A frame over the limit would end the client's connection: answer with an error.
        a.text = "the answer exceeds the frame limit of " +
                 std::to_string(zarn::wire::kMaxFrameSize) + " bytes";
    session.socket->send(
        wire::dump(Json{{"id", id}, {"error", {{"code", a.code}, {"text", a.text}}}}));
}

void EventServer::answer(Session &session, Request &&request)
{
    const auto id = request.id;
    const auto &op = request.op;
    Answer a;
    if (op == "signIn" && std::chrono::steady_clock::now() < refuseSignInsUntil_) {
        a.code = zarn::HandlerError::WrongCredentials;
        a.text = "wrong user name or password";
    } else if (request.event) {
        a = state_.handleEvent(std::move(*request.event), session.user);
    } else {
        a = state_.handle(op, request.args, session.user);
    }
    sendAnswer(session, id, a);
    std::string line = "session " + std::to_string(session.id) + " " + clipText(op);
    if (a.code == 0)
        line += " -> ok" + (a.detail.empty() ? std::string() : ": " + clipText(a.detail));
    else
        line += " -> error " + std::to_string(a.code) + ": " + clipText(a.text);
    log(line);
    if (op == "signIn" && a.code == 0)
        sendValues(session);
}

void EventServer::sendValues(Session &session)
{
    // Behind the sign-in's answer on the same socket: the client is signed in when they come.
    const auto pushes = state_.valuePushes();
    for (const auto &push : pushes)
        session.socket->send(wire::dump(push));
    log("session " + std::to_string(session.id) + ": sent the values of " +
        std::to_string(pushes.size()) + " sensors and actuators");
}

void EventServer::replaceSite(Site site)
{
    state_.replace(std::move(site));
    log("site replaced: " + std::to_string(state_.objectCount()) + " objects");
    siteEvents_.start(state_.schedule());
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
    heldOperation_.clear();
    answerHeld(false);
}

void EventServer::setHeldOperation(const std::string &op)
{
    heldOperation_ = op;
}

void EventServer::answerHeldNewestFirst()
{
    answerHeld(true);
}

void EventServer::answerHeld(bool newestFirst)
{
    auto held = std::move(held_);
    held_.clear();
    if (newestFirst)
        std::reverse(held.begin(), held.end());
    for (auto &h : held) {
        if (auto s = h.session.lock(); s && s->socket->isOpen())
            answer(*s, std::move(h.request));
    }
}

void EventServer::pushToSignedIn(const Json &push)
{
    sendToSessions(push, 0);
}

void EventServer::pushToUser(std::int64_t userId, const Json &push)
{
    sendToSessions(push, userId);
}

void EventServer::pushEncoded(std::int64_t onlyUser, const std::string &body)
{
    sendTextToSessions(body, onlyUser);
}

void EventServer::sendToSessions(const Json &push, std::int64_t onlyUser)
{
    sendTextToSessions(wire::dump(push), onlyUser);
}

void EventServer::sendTextToSessions(const std::string &text, std::int64_t onlyUser)
{
    if (text.size() > zarn::wire::kMaxFrameSize) {
        log("push of " + std::to_string(text.size()) + " bytes exceeds the frame limit, not sent");
        return;
    }
    // A client that fell too far behind is dropped inside send(), which changes sessions_.
    std::vector<std::shared_ptr<Session>> targets;
    for (auto &[id, s] : sessions_) {
        if (onlyUser == 0 ? s->user != 0 : s->user == onlyUser)
            targets.push_back(s);
    }
    for (auto &s : targets)
        s->socket->send(text);
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
