#pragma once

#include "EventServer.h"
#include "PosTextLog.h"
#include "ReceiptGenerator.h"
#include "Site.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace zmq {
class context_t;
class socket_t;
} // namespace zmq

namespace ardix::sim {

// Default port of a gateway's channel-text publisher (its "posPort" setting).
constexpr unsigned short kDefaultPosPort = 5556;

// The gateways' channel-text (POS) publishers: one ZeroMQ PUB socket per gateway whose
// streams have a "pos" script, bound on the gateway's "address" and "posPort" settings. Each
// script's texts go out in turn as two-frame messages (the stream id in decimal, the text)
// on a thread of the publisher's own, and every text sent is recorded in the PosTextLog. A
// stream whose "pos" has a generator and no texts publishes the generator's receipts at their
// times instead; they are not recorded, the generator being their record. At each start the
// publisher gives the PosTextLog every stream's history (docs/site-file.md).
class PosPublisher
{
public:
    PosPublisher(PosTextLog &record, LogFunction log);
    ~PosPublisher();
    PosPublisher(const PosPublisher &) = delete;
    PosPublisher &operator=(const PosPublisher &) = delete;

    // Binds the gateways of the site and starts the scripts. A gateway that cannot be bound
    // is logged and skipped. ephemeralPorts: each gateway binds a free port on its address
    // instead of its "posPort" (tests).
    void start(const Site &site, bool ephemeralPorts);
    void stop();

    // The port a gateway publishes on; 0 when it has no bound socket.
    unsigned short port(std::int64_t gatewayId) const;
    // Publishes one text on a stream's channel now and records it; false when the stream's
    // gateway has no bound socket.
    bool publish(std::int64_t streamId, const std::string &text);

private:
    struct Gateway
    {
        std::unique_ptr<zmq::socket_t> socket;
        unsigned short port = 0;
    };
    // A script's texts in turn, or (generator set) the generator's receipts.
    struct Script
    {
        std::int64_t streamId = 0;
        PosScript script;
        std::size_t next = 0;
        std::chrono::steady_clock::time_point due;
        std::shared_ptr<const ReceiptGenerator> generator;
        std::optional<Receipt> pending; // the generator's next receipt
    };
    using Lock = std::unique_lock<std::mutex>;

    void bindGateway(const SiteObject &gateway, bool ephemeralPorts);
    bool sendLocked(std::int64_t streamId, const std::string &text, bool record = true);
    void run();
    void sendNext(Script &script);
    void scheduleReceipt(Script &script, std::int64_t afterMs);
    void setHistories(const Site &site, std::int64_t startMs);

    PosTextLog &record_;
    LogFunction log_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::unique_ptr<zmq::context_t> context_;
    std::map<std::int64_t, Gateway> gateways_;       // by gateway id
    std::map<std::int64_t, std::int64_t> gatewayOf_; // stream id -> gateway id
    std::vector<Script> scripts_;
    std::thread thread_;
};

} // namespace ardix::sim
