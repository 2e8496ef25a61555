#pragma once

#include "ConnectionImpl.h"
#include "Gate.h"
#include "zarn/Client.h"

#include <atomic>
#include <memory>

namespace ardix::zarn::detail {

// A client's callbacks and sign-in state. Pushes arrive from the connection on the I/O thread.
class ClientImpl
{
public:
    ClientImpl(ClientCallbacks callbacks, std::shared_ptr<ConnectionImpl> connection)
        : callbacks_(std::move(callbacks))
        , connection_(std::move(connection))
    {}

    const std::shared_ptr<Gate> &gate() const { return gate_; }
    ConnectionImpl &connection() { return *connection_; }
    std::int64_t userId() const { return userId_.load(); }
    void setUserId(std::int64_t id) { userId_ = id; }

    void objectsChanged();
    void event(const Event &event, bool broadcast);
    void sensorValue(std::int64_t id, const ValuePtr &value);
    void actuatorValue(std::int64_t id, const ValuePtr &value);
    void connectionClosed() { userId_ = 0; }

private:
    ClientCallbacks callbacks_;
    std::shared_ptr<ConnectionImpl> connection_;
    std::shared_ptr<Gate> gate_ = std::make_shared<Gate>();
    std::atomic<std::int64_t> userId_{0};
};

// Shared by the user's Client handles; its end closes the gate so nothing more is called.
class ClientOwner
{
public:
    ClientOwner(ClientCallbacks callbacks, Connection conn)
        : connection(std::move(conn))
        , impl(std::make_shared<ClientImpl>(std::move(callbacks), connection.impl()))
    {
        connection.impl()->attach(impl);
    }
    ~ClientOwner() { impl->gate()->close(); }
    Connection connection;
    std::shared_ptr<ClientImpl> impl;
};

} // namespace ardix::zarn::detail
