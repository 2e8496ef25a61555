#pragma once

#include "zarn/ConnectionError.h"
#include "zarn/Context.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace ardix::zarn {

struct ConnectionCallbacks;

namespace detail {
class ConnectionImpl;
class ConnectionOwner;
} // namespace detail

// One TCP connection to the event server. A shared handle: copies (and the Clients built on
// it) refer to the same connection, which closes when the last of them goes away.
// Callbacks and open's ok/fail run on the context's I/O thread and never after the last
// handle is gone.
class Connection
{
public:
    enum State { Closed = 0, Opening = 1, Open = 2, Closing = 3 };

    using OpenOk = std::function<void()>;
    using OpenFail = std::function<void(const ConnectionError &)>;

    // A closed connection without callbacks on a context of its own.
    Connection();
    Connection(ConnectionCallbacks callbacks, Context context);

    // Connects to host:port (name or address, UTF-8) and waits for the server's greeting.
    // Exactly one of ok/fail is called: fail for a refused port, an unknown host, a port that
    // does not answer within the open timeout (5 s by default), a peer that does not speak
    // the protocol, or when the connection is already opening or open.
    void open(const std::string &host, int port, OpenOk ok, OpenFail fail);
    // Closes the connection; pending requests fail with ConnectionLost. Closing a closed
    // connection does nothing.
    void close();

    // The state as last reported through the stateChanged callback.
    State state() const;
    Context context() const;

    // Bound for open() (resolve, connect and greeting together). Default 5 s.
    void setOpenTimeout(std::chrono::milliseconds timeout);
    // Bound for each request's answer; 0 waits for ever. Default 30 s.
    void setRequestTimeout(std::chrono::milliseconds timeout);

    std::shared_ptr<detail::ConnectionImpl> impl() const;

private:
    std::shared_ptr<detail::ConnectionOwner> d_;
};

// What a Connection reports on its own (not tied to a request).
struct ConnectionCallbacks
{
    // Every change of state, with the state before it.
    std::function<void(Connection::State state, Connection::State previous)> stateChanged;
    // The open connection broke: the server closed it, the network failed, or either side
    // sent a malformed frame. Followed by the change to Closed.
    std::function<void(const ConnectionError &error)> error;
};

} // namespace ardix::zarn
