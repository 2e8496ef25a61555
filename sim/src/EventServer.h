#pragma once

#include "SiteEvents.h"
#include "SiteState.h"
#include "wire/FramedSocket.h"

#include <asio.hpp>

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace ardix::sim {

using LogFunction = std::function<void(const std::string &line)>;

// How long and how far a client may keep the server waiting before its connection is dropped.
struct ServerLimits
{
    std::chrono::milliseconds frameTimeout{30000};  // a frame, once begun, must be complete
    std::chrono::milliseconds signInTimeout{30000}; // a new connection must have signed in
    std::size_t maxQueuedBytes = zarn::wire::kMaxQueuedBytes; // unread frames to one client
};

// The event server: accepts connections, greets them, answers their requests from a SiteState
// and fans out pushes, and raises the site's own events. Runs on one io_context thread; every
// member is called there. A large request frame is decoded on a helper thread meanwhile (see
// onFrame), so that one client's megabytes do not keep the others waiting.
class EventServer : public Pusher
{
public:
    EventServer(asio::io_context &io, Site site, LogFunction log);
    ~EventServer() override;

    // Binds and starts accepting; false with `error` set when the address is taken.
    bool listen(const std::string &host, unsigned short port, std::string &error);
    unsigned short port() const { return port_; }
    // Applies to connections accepted from here on.
    void setLimits(const ServerLimits &limits) { limits_ = limits; }
    // Stops accepting and closes every connection.
    void stop();

    SiteState &state() { return state_; }
    // The site's own events; its schedule runs from listen() on.
    SiteEvents &siteEvents() { return siteEvents_; }
    // Replaces the site, restarts its schedule and tells every signed-in client that the tree
    // changed.
    void replaceSite(Site site);
    void notifyObjectsChanged();
    // Drops every connection at once, as a crashing server would.
    void closeAllConnections();
    // While held, requests are parked unanswered; releasing answers them in order and ends
    // setHeldOperation too.
    void setHoldRequests(bool hold);
    // Parks only the requests of operation `op` ("" none) while every other is answered at
    // once: a slow operation beside fast ones, whose answer comes after theirs.
    void setHeldOperation(const std::string &op);
    // Answers the parked requests newest first and goes on holding: a server that finishes
    // requests in another order than they came.
    void answerHeldNewestFirst();
    std::size_t heldRequests() const { return held_.size(); }
    std::size_t connectionCount() const { return sessions_.size(); }
    // Faults for tests and demos: for the next `ms`, every new connection is closed at once
    // (as by a server that is down), or every sign-in is refused with "wrong credentials".
    void refuseConnections(std::chrono::milliseconds ms);
    void refuseSignIns(std::chrono::milliseconds ms);
    // Called whenever a request is parked (for tests that wait for it).
    std::function<void()> onHeld;

    void pushToSignedIn(const Json &push) override;
    void pushToUser(std::int64_t userId, const Json &push) override;
    void pushEncoded(std::int64_t onlyUser, const std::string &body) override;

    // Request frames from this size on are decoded on the helper thread.
    static constexpr std::size_t kDecodeApartBytes = 256 * 1024;
    void after(int ms, std::function<void()> fn) override;

private:
    struct Session
    {
        std::uint64_t id = 0;
        std::shared_ptr<zarn::wire::FramedSocket> socket;
        std::int64_t user = 0;
        std::unique_ptr<asio::steady_timer> signInTimer;
        // While one of its frames is decoded apart, the session's later frames wait here, so
        // that its requests are still answered in order.
        bool decoding = false;
        std::deque<std::string> waiting;
        std::size_t waitingBytes = 0;
    };
    // A request frame read into its parts; sendEvent's event comes decoded and checked.
    struct Request
    {
        std::int64_t id = 0;
        std::string op;
        Json args;
        std::optional<PreparedEvent> event;
    };
    struct HeldRequest
    {
        std::weak_ptr<Session> session;
        Request request;
    };

    void accept();
    void onAccepted(asio::ip::tcp::socket socket);
    void onAcceptFailed(const std::string &reason);
    void expectSignIn(const std::shared_ptr<Session> &session);
    void sendToSessions(const Json &push, std::int64_t onlyUser);
    void onFrame(const std::shared_ptr<Session> &session, std::string &&body);
    void decodeApart(const std::shared_ptr<Session> &session, std::string &&body);
    void onDecoded(const std::shared_ptr<Session> &session, std::optional<Request> &&request);
    void dispatch(const std::shared_ptr<Session> &session, std::optional<Request> &&request);
    static std::optional<Request> decodeRequest(const std::string &body);
    void sendAnswer(Session &session, std::int64_t id, Answer &a);
    void answer(Session &session, Request &&request);
    void answerHeld(bool newestFirst);
    void sendValues(Session &session);
    void sendTextToSessions(const std::string &text, std::int64_t onlyUser);
    void log(const std::string &line) const;

    asio::io_context &io_;
    LogFunction log_;
    SiteState state_;
    SiteEvents siteEvents_{state_, *this, [this](const std::string &line) { log(line); }};
    asio::ip::tcp::acceptor acceptor_;
    asio::steady_timer retryTimer_;
    unsigned short port_ = 0;
    std::uint64_t nextSession_ = 1;
    ServerLimits limits_;
    std::chrono::steady_clock::time_point lastAcceptReport_;
    std::size_t acceptFailures_ = 0;
    std::map<std::uint64_t, std::shared_ptr<Session>> sessions_;
    std::map<std::uint64_t, std::unique_ptr<asio::steady_timer>> timers_;
    std::uint64_t nextTimer_ = 1;
    bool hold_ = false;
    std::string heldOperation_;
    std::chrono::steady_clock::time_point refuseConnectionsUntil_;
    std::chrono::steady_clock::time_point refuseSignInsUntil_;
    std::deque<HeldRequest> held_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    // The helper thread for large frames; declared last so that it stops first.
    asio::thread_pool decoder_{1};
};

} // namespace ardix::sim
