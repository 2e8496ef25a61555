#include "ConnectionImpl.h"

#include "ClientImpl.h"

#include <algorithm>
#include <iterator>

namespace ardix::zarn::detail {

using wire::FramedSocket;
using wire::Json;

namespace {
// The queue of requests keeps its buffer up to this many for the next burst.
constexpr std::size_t kKeepQueued = 1024;
} // namespace

ConnectionImpl::ConnectionImpl(const std::shared_ptr<ContextImpl> &context,
                               ConnectionCallbacks callbacks)
    : context_(context)
    , io_(context->io())
    , callbacks_(std::move(callbacks))
    , resolver_(io_)
    , connecting_(io_)
    , openTimer_(io_)
    , sweepTimer_(io_)
{}

template <typename F> void ConnectionImpl::post(F &&f)
{
    if (auto ctx = context_.lock())
        ctx->post(std::forward<F>(f));
}

void ConnectionImpl::log(LogLevel level, const std::string &text) const
{
    if (auto ctx = context_.lock())
        ctx->log(level, text);
}

bool ConnectionImpl::logs(LogLevel level) const
{
    auto ctx = context_.lock();
    return ctx && ctx->logger().enabled(level);
}

// ---- public entry points (any thread) ----

void ConnectionImpl::open(std::string host, int port, Connection::OpenOk ok,
                          Connection::OpenFail fail)
{
    endBatch();
    auto self = shared_from_this();
    post([self, host = std::move(host), port, ok = std::move(ok), fail = std::move(fail)]() {
        if (self->state_ != Connection::Closed) {
            self->gate_->run([&] {
                if (fail)
                    fail(ConnectionError(ConnectionError::AlreadyOpen,
                                         "connection is already opening or open"));
            });
            return;
        }
        self->openOk_ = ok;
        self->openFail_ = fail;
        self->doOpen(host, port);
    });
}

void ConnectionImpl::close()
{
    endBatch();
    auto self = shared_from_this();
    if (auto ctx = context_.lock())
        ctx->postIfStarted([self] { self->doClose(); });
}

void ConnectionImpl::request(std::string op, Json args, PendingRequest request)
{
    bool first = false;
    {
        std::lock_guard<std::mutex> lock(batchesMutex_);
        if (!batchOpen_) {
            batchSizes_.push_back(0);
            batchOpen_ = true;
            first = true;
        }
        queued_.push_back({std::move(op), std::move(args), std::move(request)});
        ++batchSizes_.back();
    }
    if (first) {
        auto self = shared_from_this();
        post([self] { self->sendBatch(); });
    }
}

void ConnectionImpl::endBatch()
{
    std::lock_guard<std::mutex> lock(batchesMutex_);
    batchOpen_ = false;
}

void ConnectionImpl::attach(const std::shared_ptr<ClientImpl> &client)
{
    // Under a lock rather than posted, so that building a Client never starts the I/O thread.
    std::lock_guard<std::mutex> lock(clientsMutex_);
    clients_.push_back(client);
}

// ---- opening ----

void ConnectionImpl::doOpen(const std::string &host, int port)
{
    if (host.empty() || port < 1 || port > 65535) {
        setState(Connection::Opening);
        failOpen(ConnectionError::InvalidArgument,
                 "invalid address " + host + ":" + std::to_string(port));
        return;
    }
    const std::uint64_t generation = ++generation_;
    peer_ = host + ":" + std::to_string(port);
    log(LogLevel::Info, "connecting to " + peer_);
    setState(Connection::Opening);

    const auto timeout = std::chrono::milliseconds(openTimeoutMs_.load());
    auto self = shared_from_this();
    openTimer_.expires_after(timeout);
    openTimer_.async_wait([self, generation, timeout](const asio::error_code &ec) {
        if (ec || generation != self->generation_ || self->state_ != Connection::Opening)
            return;
        self->failOpen(ConnectionError::Timeout, "no answer from " + self->peer_ + " within " +
                                                     std::to_string(timeout.count()) + " ms");
    });

    resolver_.async_resolve(
        host, std::to_string(port),
        [self, generation](const asio::error_code &ec,
                           asio::ip::tcp::resolver::results_type results) {
            if (generation != self->generation_ || self->state_ != Connection::Opening)
                return;
            if (ec) {
                self->failOpen(ConnectionError::HostNotFound,
                               "cannot resolve " + self->peer_ + ": " + ec.message());
                return;
            }
            asio::async_connect(
                self->connecting_, results,
                [self, generation](const asio::error_code &ec, const asio::ip::tcp::endpoint &) {
                    if (generation != self->generation_ || self->state_ != Connection::Opening)
                        return;
                    if (ec) {
                        const int code = ec == asio::error::connection_refused
                                             ? ConnectionError::Refused
                                             : ConnectionError::NetworkError;
                        self->failOpen(code,
                                       "cannot connect to " + self->peer_ + ": " + ec.message());
                        return;
                    }
                    self->onConnected(generation, std::move(self->connecting_));
                    self->connecting_ = asio::ip::tcp::socket(self->io_);
                });
        });
}

void ConnectionImpl::onConnected(std::uint64_t generation, asio::ip::tcp::socket socket)
{
    socket_ = std::make_shared<FramedSocket>(std::move(socket));
    std::weak_ptr<ConnectionImpl> weak = shared_from_this();
    FramedSocket::Handlers handlers;
    handlers.frame = [weak](std::string &&body) {
        if (auto self = weak.lock())
            self->handleFrame(std::move(body));
    };
    handlers.closed = [weak, generation](FramedSocket::EndReason reason, const std::string &text) {
        if (auto self = weak.lock())
            self->onSocketEnded(generation, reason, text);
    };
    socket_->start(std::move(handlers));
}

void ConnectionImpl::failOpen(int code, const std::string &text)
{
    ++generation_; // late completions of this attempt are ignored from here on
    openTimer_.cancel();
    resolver_.cancel();
    asio::error_code ignored;
    connecting_.close(ignored);
    if (auto socket = std::exchange(socket_, nullptr))
        socket->end(FramedSocket::EndReason::LocalClose, "open failed");
    log(LogLevel::Warning, "open failed: " + text);
    auto fail = std::move(openFail_);
    openOk_ = nullptr;
    openFail_ = nullptr;
    setState(Connection::Closed);
    gate_->run([&] {
        if (fail)
            fail(ConnectionError(code, text));
    });
}

// ---- closing ----

void ConnectionImpl::doClose()
{
    const auto s = state();
    if (s == Connection::Opening) {
        failOpen(ConnectionError::Aborted, "closed while opening");
        return;
    }
    if (s != Connection::Open)
        return;
    setState(Connection::Closing);
    ++generation_;
    if (auto socket = std::exchange(socket_, nullptr))
        socket->end(FramedSocket::EndReason::LocalClose, "closed");
    failAll(HandlerError::ConnectionLost, "connection closed");
    notifyClientsClosed();
    log(LogLevel::Info, "closed connection to " + peer_);
    setState(Connection::Closed);
}

void ConnectionImpl::onSocketEnded(std::uint64_t generation, FramedSocket::EndReason reason,
                                   const std::string &text)
{
    if (generation != generation_)
        return;
    int code = ConnectionError::NetworkError;
    if (reason == FramedSocket::EndReason::PeerClosed)
        code = ConnectionError::ClosedByPeer;
    else if (reason == FramedSocket::EndReason::ProtocolError)
        code = ConnectionError::ProtocolError;
    socket_.reset();
    if (state() == Connection::Opening) {
        failOpen(code, text + " (before the server's greeting)");
        return;
    }
    if (state() != Connection::Open)
        return;
    ++generation_;
    log(LogLevel::Warning, "connection to " + peer_ + " broke: " + text);
    gate_->run([&] {
        if (callbacks_.error)
            callbacks_.error(ConnectionError(code, text));
    });
    failAll(HandlerError::ConnectionLost, "connection lost: " + text);
    notifyClientsClosed();
    setState(Connection::Closed);
}

void ConnectionImpl::setState(Connection::State state)
{
    const auto previous = static_cast<Connection::State>(state_.exchange(state));
    if (previous == state)
        return;
    gate_->run([&] {
        if (callbacks_.stateChanged)
            callbacks_.stateChanged(state, previous);
    });
}

void ConnectionImpl::failAll(int code, const std::string &text)
{
    // Taken out first: a fail function may issue new requests, which must not be failed here.
    auto pending = std::move(pending_);
    pending_.clear();
    sweepTimer_.cancel();
    for (auto &[id, request] : pending)
        request.onError(HandlerError(code, text));
}

std::vector<std::shared_ptr<ClientImpl>> ConnectionImpl::liveClients()
{
    std::lock_guard<std::mutex> lock(clientsMutex_);
    std::vector<std::shared_ptr<ClientImpl>> out;
    for (auto &weak : clients_) {
        if (auto c = weak.lock())
            out.push_back(std::move(c));
    }
    clients_.erase(
        std::remove_if(clients_.begin(), clients_.end(), [](const auto &w) { return w.expired(); }),
        clients_.end());
    return out;
}

void ConnectionImpl::notifyClientsClosed()
{
    for (auto &client : liveClients())
        client->connectionClosed();
}

// ---- frames ----

void ConnectionImpl::protocolError(const std::string &text)
{
    log(LogLevel::Warning, "protocol error from " + peer_ + ": " + text);
    if (socket_)
        socket_->end(FramedSocket::EndReason::ProtocolError, text);
}

void ConnectionImpl::handleFrame(std::string &&body)
{
    auto frame = wire::parseObject(body);
    if (!frame) {
        protocolError("frame is not a JSON object");
        return;
    }
    if (state() == Connection::Opening)
        handleHello(*frame);
    else if (frame->contains("push"))
        handlePush(*frame);
    else if (frame->contains("id"))
        handleAnswer(*frame);
    else
        protocolError("frame is neither an answer nor a push");
}

void ConnectionImpl::handleHello(const Json &frame)
{
    std::string hello;
    std::int64_t version = 0;
    if (!wire::readString(frame, "hello", hello) || hello != "zarn" ||
        !wire::readInt(frame, "version", version)) {
        protocolError("the peer did not greet as an event server");
        return;
    }
    if (version != wire::kProtocolVersion) {
        protocolError("unsupported protocol version " + std::to_string(version));
        return;
    }
    openTimer_.cancel();
    log(LogLevel::Info, "connected to " + peer_);
    auto ok = std::move(openOk_);
    openOk_ = nullptr;
    openFail_ = nullptr;
    setState(Connection::Open);
    gate_->run([&] {
        if (ok)
            ok();
    });
}

void ConnectionImpl::handleAnswer(const Json &frame)
{
    std::int64_t id = 0;
    if (!wire::readInt(frame, "id", id)) {
        protocolError("answer without an integer id");
        return;
    }
    auto it = pending_.find(id);
    if (it == pending_.end()) {
        // An answer that arrives after its request timed out.
        log(LogLevel::Debug, "dropping answer to request " + std::to_string(id));
        return;
    }
    if (auto part = frame.find("part"); part != frame.end()) {
        bool good = false;
        try {
            good = it->second.onPart && it->second.onPart(*part);
        } catch (const HandlerError &e) {
            return refuseAnswer(id, e);
        }
        if (!good) {
            auto request = std::move(it->second);
            pending_.erase(it);
            request.onError(HandlerError(HandlerError::BadAnswer, "malformed partial answer"));
            protocolError("malformed partial answer to request " + std::to_string(id));
        }
        return;
    }
    auto request = std::move(it->second);
    pending_.erase(it);
    if (auto result = frame.find("result"); result != frame.end()) {
        bool good = false;
        try {
            good = request.onResult(*result);
        } catch (const HandlerError &e) {
            log(LogLevel::Warning, "request " + std::to_string(id) + " failed: " + e.text());
            request.onError(e);
            return;
        }
        if (!good) {
            request.onError(HandlerError(HandlerError::BadAnswer, "malformed answer"));
            protocolError("malformed answer to request " + std::to_string(id));
        }
        return;
    }
    auto error = frame.find("error");
    std::int64_t code = 0;
    std::string text;
    if (error == frame.end() || !error->is_object() || !wire::readInt(*error, "code", code) ||
        !wire::readString(*error, "text", text)) {
        request.onError(HandlerError(HandlerError::BadAnswer, "malformed answer"));
        protocolError("answer to request " + std::to_string(id) + " has no result or error");
        return;
    }
    request.onError(HandlerError(static_cast<int>(code), text));
}

void ConnectionImpl::refuseAnswer(std::int64_t id, const HandlerError &error)
{
    // Later parts of the same answer find no request and are dropped.
    auto it = pending_.find(id);
    if (it == pending_.end())
        return;
    auto request = std::move(it->second);
    pending_.erase(it);
    log(LogLevel::Warning, "request " + std::to_string(id) + " failed: " + error.text());
    request.onError(error);
}

void ConnectionImpl::handlePush(const Json &frame)
{
    std::string kind;
    if (!wire::readString(frame, "push", kind)) {
        protocolError("push without a name");
        return;
    }
    const auto clients = liveClients();
    if (kind == "objectsChanged") {
        for (auto &c : clients)
            c->objectsChanged();
    } else if (kind == "event") {
        auto ev = frame.find("event");
        auto broadcast = frame.find("broadcast");
        auto event = ev == frame.end() ? std::nullopt : wire::eventFromJson(*ev);
        if (!event || broadcast == frame.end() || !broadcast->is_boolean())
            return protocolError("malformed event push");
        for (auto &c : clients)
            c->event(*event, broadcast->get<bool>());
    } else if (kind == "sensorValue" || kind == "actuatorValue") {
        std::int64_t id = 0;
        auto v = frame.find("value");
        auto value = v == frame.end() ? std::nullopt : wire::valueFromJson(*v);
        if (!wire::readInt(frame, "objectId", id) || !value)
            return protocolError("malformed " + kind + " push");
        ValuePtr ptr(*value);
        for (auto &c : clients) {
            if (kind == "sensorValue")
                c->sensorValue(id, ptr);
            else
                c->actuatorValue(id, ptr);
        }
    } else {
        log(LogLevel::Debug, "ignoring unknown push " + kind);
    }
}

// ---- requests ----

void ConnectionImpl::sendBatch()
{
    // Every batch has its own post; whichever post runs first takes the oldest batch.
    {
        std::lock_guard<std::mutex> lock(batchesMutex_);
        if (batchSizes_.empty())
            return;
        const auto n = batchSizes_.front();
        batchSizes_.erase(batchSizes_.begin());
        if (batchSizes_.empty()) {
            batchOpen_ = false;
            taken_.swap(queued_);
        } else {
            std::move(queued_.begin(), queued_.begin() + n, std::back_inserter(taken_));
            queued_.erase(queued_.begin(), queued_.begin() + n);
        }
    }
    auto socket = socket_;
    if (socket)
        socket->holdWrites();
    for (auto &q : taken_)
        doRequest(q.op, q.args, q.request);
    if (socket)
        socket->releaseWrites();
    taken_.clear();
    if (taken_.capacity() > kKeepQueued)
        std::vector<QueuedRequest>().swap(taken_);
}

void ConnectionImpl::doRequest(std::string &op, Json &args, PendingRequest &request)
{
    if (state() != Connection::Open || !socket_) {
        request.onError(HandlerError(HandlerError::NotConnected, "not connected"));
        return;
    }
    const std::int64_t id = nextId_++;
    if (logs(LogLevel::Debug))
        log(LogLevel::Debug, "request " + std::to_string(id) + " " + op);
    auto socket = socket_;
    // The same frame as dumping {"id","op","args"}, without building and copying that object.
    // Operation names are the library's own plain ASCII words.
    if (!socket->send("{\"id\":" + std::to_string(id) + ",\"op\":\"" + op +
                      "\",\"args\":" + wire::dump(args) + "}")) {
        // Either the request alone outgrows a frame (the connection stays), or the server
        // stopped reading and the socket ended (the connection is already failing).
        if (socket->isOpen())
            request.onError(HandlerError(HandlerError::BadRequest,
                                         "request exceeds the frame limit of " +
                                             std::to_string(wire::kMaxFrameSize) + " bytes"));
        else
            request.onError(HandlerError(HandlerError::ConnectionLost, "connection lost"));
        return;
    }
    const auto timeout = requestTimeoutMs_.load();
    if (timeout > 0)
        request.deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout);
    const auto deadline = request.deadline;
    pending_.emplace(id, std::move(request));
    armSweep(deadline);
}

void ConnectionImpl::armSweep(std::chrono::steady_clock::time_point deadline)
{
    // One timer serves every pending request: it is set for the earliest deadline, and only
    // moved when a request with an even earlier one arrives.
    if (deadline == std::chrono::steady_clock::time_point::max() ||
        (sweepArmed_ && deadline >= sweepAt_))
        return;
    sweepArmed_ = true;
    sweepAt_ = deadline;
    const auto generation = ++sweepGeneration_;
    sweepTimer_.expires_at(deadline);
    std::weak_ptr<ConnectionImpl> weak = shared_from_this();
    sweepTimer_.async_wait([weak, generation](const asio::error_code &) {
        auto self = weak.lock();
        if (!self || generation != self->sweepGeneration_)
            return;
        self->sweepArmed_ = false;
        self->sweep();
    });
}

void ConnectionImpl::sweep()
{
    const auto now = std::chrono::steady_clock::now();
    std::vector<PendingRequest> expired;
    for (auto it = pending_.begin(); it != pending_.end();) {
        if (it->second.deadline <= now) {
            expired.push_back(std::move(it->second));
            it = pending_.erase(it);
        } else {
            ++it;
        }
    }
    auto earliest = std::chrono::steady_clock::time_point::max();
    for (const auto &[id, r] : pending_)
        earliest = std::min(earliest, r.deadline);
    armSweep(earliest);
    for (auto &r : expired)
        r.onError(HandlerError(HandlerError::Timeout, "no answer within the request timeout"));
}

} // namespace ardix::zarn::detail

namespace ardix::zarn {

Connection::Connection()
    : Connection(ConnectionCallbacks{}, Context())
{}

Connection::Connection(ConnectionCallbacks callbacks, Context context)
    : d_(std::make_shared<detail::ConnectionOwner>(std::move(context), std::move(callbacks)))
{}

void Connection::open(const std::string &host, int port, OpenOk ok, OpenFail fail)
{
    d_->impl->open(host, port, std::move(ok), std::move(fail));
}

void Connection::close()
{
    d_->impl->close();
}
Connection::State Connection::state() const
{
    return d_->impl->state();
}
Context Connection::context() const
{
    return d_->context;
}
void Connection::setOpenTimeout(std::chrono::milliseconds t)
{
    d_->impl->setOpenTimeout(t);
}
void Connection::setRequestTimeout(std::chrono::milliseconds t)
{
    d_->impl->setRequestTimeout(t);
}
std::shared_ptr<detail::ConnectionImpl> Connection::impl() const
{
    return d_->impl;
}

} // namespace ardix::zarn
