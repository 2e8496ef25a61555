#pragma once

#include "EventServer.h"
#include "Site.h"

#include <asio.hpp>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace ardix::sim {

// Default TCP port of the event server.
constexpr unsigned short kDefaultEventPort = 12240;

struct SimulatorOptions
{
    Site site;
    std::string host = "127.0.0.1";
    unsigned short eventPort = 0; // 0: an ephemeral port (tests)
    LogFunction log;              // one line per event; empty: stderr
    ServerLimits limits;          // timeouts and bounds of the event server's connections
};

// The simulated site in one object: today the event server; the gateway's HTTP service and
// the channel-text publisher join it here as further members started by start().
// Every public call is thread-safe: it runs on the simulator's own I/O thread and waits.
// The controls below do nothing before start().
class Simulator
{
public:
    explicit Simulator(SimulatorOptions options);
    ~Simulator();

    bool start(std::string *error = nullptr);
    void stop();
    unsigned short eventPort() const { return eventPort_; }

    void replaceSite(Site site);
    void notifyObjectsChanged();
    // Sets a sensor's or actuator's value and pushes it; false for an unknown id.
    bool setObjectValue(std::int64_t id, const zarn::Value &value);
    std::int64_t sendEvent(zarn::Event event);
    void closeAllConnections();
    void setHoldRequests(bool hold);
    // Waits until at least n requests are parked (setHoldRequests); false on timeout.
    bool waitForHeldRequests(std::size_t n, std::chrono::milliseconds timeout);
    std::size_t connectionCount();

private:
    template <typename F> auto call(F &&f) -> decltype(f());
    static void logToStderr(const std::string &line);

    SimulatorOptions options_;
    asio::io_context io_;
    std::optional<asio::executor_work_guard<asio::io_context::executor_type>> work_;
    std::unique_ptr<EventServer> events_;
    std::thread thread_;
    unsigned short eventPort_ = 0;
    std::mutex heldMutex_;
    std::condition_variable heldChanged_;
    std::size_t heldCount_ = 0;
};

} // namespace ardix::sim
