// Placeholder bodies so the interface builds; the I/O implementation replaces this file.
#include "zarn/Client.h"

namespace ardix::zarn {
namespace detail {
class ContextOwner {
public:
    Logger logger;
};
class ConnectionOwner {
public:
    Context context;
};
class ClientOwner {
public:
    Connection connection;
};
} // namespace detail

Context::Context()
    : d_(std::make_shared<detail::ContextOwner>()) {}
Context::Context(Logger logger)
    : Context() {
    d_->logger = std::move(logger);
}
const Logger &Context::logger() const {
    return d_->logger;
}
std::thread::id Context::ioThreadId() const {
    return {};
}
bool Context::isIoThread() const {
    return false;
}
std::shared_ptr<detail::ContextImpl> Context::impl() const {
    return nullptr;
}

Connection::Connection()
    : d_(std::make_shared<detail::ConnectionOwner>()) {}
Connection::Connection(ConnectionCallbacks, Context context)
    : Connection() {
    d_->context = std::move(context);
}
void Connection::open(const std::string &, int, OpenOk, OpenFail) {}
void Connection::close() {}
Connection::State Connection::state() const {
    return Closed;
}
Context Connection::context() const {
    return d_->context;
}
void Connection::setOpenTimeout(std::chrono::milliseconds) {}
void Connection::setRequestTimeout(std::chrono::milliseconds) {}
std::shared_ptr<detail::ConnectionImpl> Connection::impl() const {
    return nullptr;
}

Client::Client()
    : d_(std::make_shared<detail::ClientOwner>()) {}
Client::Client(ClientCallbacks, Connection connection)
    : Client() {
    d_->connection = std::move(connection);
}
void Client::signIn(const std::string &, const std::string &, SignInOk, Fail) {}
void Client::getObjects(ObjectsOk, Fail) {}
void Client::getDynamicAttribute(std::int64_t, const std::string &, AttributesOk, Fail) {}
void Client::createDynamicAttribute(std::int64_t, const std::string &, const Value &, Done, Fail) {}
void Client::setDynamicAttribute(std::int64_t, const std::string &, const Value &, Done, Fail) {}
void Client::removeDynamicAttribute(std::int64_t, const std::string &, Done, Fail) {}
void Client::getActuatorValue(std::int64_t, ValueOk, Fail) {}
void Client::setActuatorValue(std::int64_t, const Value &, Done, Fail) {}
void Client::bindStream(std::int64_t, const std::vector<BindingPair> &, Done, Fail) {}
void Client::unbindStream(std::int64_t, std::int64_t, Done, Fail) {}
void Client::searchChunks(std::int64_t, int, std::int64_t, std::int64_t, ChunksOk, Fail) {}
void Client::getStreamInfo(std::int64_t, std::int64_t, StreamInfoOk, Fail) {}
void Client::sendEvent(const Event &, EventOk, Fail) {}
Connection Client::connection() const {
    return d_->connection;
}
std::int64_t Client::userId() const {
    return 0;
}
} // namespace ardix::zarn
