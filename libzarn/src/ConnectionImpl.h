#pragma once

#include "ContextImpl.h"
#include "Gate.h"
#include "wire/Codec.h"
#include "wire/FramedSocket.h"
#include "zarn/Connection.h"
#include "zarn/HandlerError.h"

#include <asio.hpp>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace ardix::zarn::detail {

class ClientImpl;

// One request waiting for its answer. The functions decode the answer and call the user's
// ok/fail through the client's gate; onResult/onPart return false for a malformed answer, and
// throw a HandlerError to refuse a well-formed one (the request fails, the connection stays).
struct PendingRequest
{
    std::function<bool(const wire::Json &part)> onPart;
    std::function<bool(const wire::Json &result)> onResult;
    std::function<void(const HandlerError &error)> onError;
    std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();
};

// A request on its way from the caller's thread to the I/O thread.
struct QueuedRequest
{
    std::string op;
    wire::Json args;
    PendingRequest request;
};

// The connection's state and socket. Public calls may come from any thread and are posted
// to the I/O thread; everything else runs there.
class ConnectionImpl : public std::enable_shared_from_this<ConnectionImpl>
{
public:
    ConnectionImpl(const std::shared_ptr<ContextImpl> &context, ConnectionCallbacks callbacks);

    void open(std::string host, int port, Connection::OpenOk ok, Connection::OpenFail fail);
    void close();
    void request(std::string op, wire::Json args, PendingRequest request);
    void attach(const std::shared_ptr<ClientImpl> &client);

    Connection::State state() const { return static_cast<Connection::State>(state_.load()); }
    void setOpenTimeout(std::chrono::milliseconds t) { openTimeoutMs_ = t.count(); }
    void setRequestTimeout(std::chrono::milliseconds t) { requestTimeoutMs_ = t.count(); }
    Gate &gate() { return *gate_; }

private:
    template <typename F> void post(F &&f);
    void log(LogLevel level, const std::string &text) const;
    bool logs(LogLevel level) const;
    void endBatch();
    void sendBatch();

    void doOpen(const std::string &host, int port);
    void onConnected(std::uint64_t generation, asio::ip::tcp::socket socket);
    void failOpen(int code, const std::string &text);
    void doClose();
    void onSocketEnded(std::uint64_t generation, wire::FramedSocket::EndReason reason,
                       const std::string &text);
    void setState(Connection::State state);
    void failAll(int code, const std::string &text);
    void notifyClientsClosed();
    std::vector<std::shared_ptr<ClientImpl>> liveClients();

    void handleFrame(std::string &&body);
    void handleHello(const wire::Json &frame);
    void handleAnswer(const wire::Json &frame);
    void refuseAnswer(std::int64_t id, const HandlerError &error);
    void handlePush(const wire::Json &frame);
    void protocolError(const std::string &text);
    void doRequest(std::string &op, wire::Json &args, PendingRequest &request);
    void armSweep(std::chrono::steady_clock::time_point deadline);
    void sweep();

    std::weak_ptr<ContextImpl> context_;
    asio::io_context &io_;
    ConnectionCallbacks callbacks_;
    std::shared_ptr<Gate> gate_ = std::make_shared<Gate>();
    asio::ip::tcp::resolver resolver_;
    asio::ip::tcp::socket connecting_;
    std::shared_ptr<wire::FramedSocket> socket_;
    asio::steady_timer openTimer_;
    asio::steady_timer sweepTimer_;
    bool sweepArmed_ = false;
    std::chrono::steady_clock::time_point sweepAt_;
    std::uint64_t sweepGeneration_ = 0;
    Connection::OpenOk openOk_;
    Connection::OpenFail openFail_;
    std::string peer_;
    std::uint64_t generation_ = 0;
    std::int64_t nextId_ = 1;
    std::unordered_map<std::int64_t, PendingRequest> pending_;
    // Requests wait here for the I/O thread in batches, one post per batch rather than one
    // per request: a burst from one thread is written in one go. open() and close() end the
    // current batch, so that a request made after them is handled after them.
    std::mutex batchesMutex_;
    std::vector<QueuedRequest> queued_;
    std::vector<std::size_t> batchSizes_; // of the batches in queued_, oldest first
    bool batchOpen_ = false;
    // The I/O thread's side of queued_: swapped with it, so that the buffers are reused.
    std::vector<QueuedRequest> taken_;
    std::mutex clientsMutex_;
    std::vector<std::weak_ptr<ClientImpl>> clients_;
    std::atomic<int> state_{Connection::Closed};
    std::atomic<std::int64_t> openTimeoutMs_{5000};
    std::atomic<std::int64_t> requestTimeoutMs_{30000};
};

// Shared by the user's Connection handles: when the last goes, callbacks stop and the socket
// closes.
class ConnectionOwner
{
public:
    ConnectionOwner(Context ctx, ConnectionCallbacks callbacks)
        : context(std::move(ctx))
        , impl(std::make_shared<ConnectionImpl>(context.impl(), std::move(callbacks)))
    {}
    ~ConnectionOwner()
    {
        impl->gate().close();
        impl->close();
    }
    Context context;
    std::shared_ptr<ConnectionImpl> impl;
};

} // namespace ardix::zarn::detail
