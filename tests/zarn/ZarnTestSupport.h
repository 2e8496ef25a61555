#pragma once

// Shared by the libzarn suites: outcome recorders that wait on a condition (never a fixed
// sleep), a push recorder, raw protocol sockets and a fixture around the in-process simulator.

#include "Simulator.h"
#include "wire/Codec.h"
#include "wire/FramedSocket.h"
#include "zarn/zarn.h"

#include <gtest/gtest.h>

#include <asio.hpp>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace ardix::zarn::test {

using namespace std::chrono_literals;
constexpr auto kWait = 10s;

// Records the one outcome of a request: its value or its error, how often and on which thread.
template <typename T> class Outcome : public std::enable_shared_from_this<Outcome<T>>
{
public:
    static std::shared_ptr<Outcome> make() { return std::make_shared<Outcome>(); }

    void setValue(T v)
    {
        record([&] { value = std::move(v); });
    }
    void setError(const HandlerError &e)
    {
        record([&] { error = e; });
    }
    Client::Fail fail()
    {
        auto self = this->shared_from_this();
        return [self](const HandlerError &e) { self->setError(e); };
    }
    std::function<void(T)> ok()
    {
        auto self = this->shared_from_this();
        return [self](T v) { self->setValue(std::move(v)); };
    }
    bool wait(std::chrono::milliseconds timeout = kWait)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, timeout, [&] { return calls > 0; });
    }
    int callCount()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return calls;
    }
    // The error code after waiting, 0 for success, -1 when nothing came.
    int code()
    {
        if (!wait())
            return -1;
        std::lock_guard<std::mutex> lock(mutex);
        return error ? error->code() : 0;
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::optional<T> value;
    std::optional<HandlerError> error;
    int calls = 0;
    std::thread::id thread;

private:
    template <typename F> void record(F &&f)
    {
        std::lock_guard<std::mutex> lock(mutex);
        f();
        ++calls;
        thread = std::this_thread::get_id();
        changed.notify_all();
    }
};

using Done = Outcome<bool>;
inline Client::Done doneOk(const std::shared_ptr<Done> &d)
{
    return [d] { d->setValue(true); };
}

// Everything a client was pushed, with a wait for a condition over it.
struct Pushes
{
    std::mutex mutex;
    std::condition_variable changed;
    int objectsChanged = 0;
    std::vector<Event> events, broadcasts;
    std::vector<std::pair<std::int64_t, Value>> sensors, actuators;
    std::vector<std::pair<int, int>> states; // (state, previous)
    std::vector<ConnectionError> errors;

    template <typename F> void add(F &&f)
    {
        std::lock_guard<std::mutex> lock(mutex);
        f();
        changed.notify_all();
    }
    template <typename P> bool waitFor(P &&pred, std::chrono::milliseconds timeout = kWait)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, timeout, pred);
    }
    ClientCallbacks clientCallbacks();
    ConnectionCallbacks connectionCallbacks();
};

inline ClientCallbacks Pushes::clientCallbacks()
{
    return ClientCallbacks{
        [this] { add([&] { ++objectsChanged; }); },
        [this](const Event &e) { add([&] { events.push_back(e); }); },
        [this](const Event &e) { add([&] { broadcasts.push_back(e); }); },
        [this](std::int64_t id, ValuePtr v) { add([&] { sensors.emplace_back(id, *v); }); },
        [this](std::int64_t id, ValuePtr v) { add([&] { actuators.emplace_back(id, *v); }); }};
}

inline ConnectionCallbacks Pushes::connectionCallbacks()
{
    return ConnectionCallbacks{
        [this](Connection::State s, Connection::State p) {
            add([&] { states.emplace_back(s, p); });
        },
        [this](const ConnectionError &e) { add([&] { errors.push_back(e); }); }};
}

// A blocking socket that speaks frames, for driving either side of the protocol by hand.
class RawPeer
{
public:
    explicit RawPeer(asio::ip::tcp::socket s)
        : socket(std::move(s))
    {}
    static RawPeer connect(unsigned short port)
    {
        static asio::io_context io;
        asio::ip::tcp::socket s(io);
        s.connect({asio::ip::make_address("127.0.0.1"), port});
        return RawPeer(std::move(s));
    }
    void sendRaw(const std::string &bytes) { asio::write(socket, asio::buffer(bytes)); }
    void sendFrame(const std::string &body) { sendRaw(wire::encodeFrame(body)); }
    void sendJson(const wire::Json &j) { sendFrame(wire::dump(j)); }
    // The next frame, or nothing when the peer closed.
    std::optional<wire::Json> readFrame()
    {
        unsigned char h[4];
        asio::error_code ec;
        asio::read(socket, asio::buffer(h), ec);
        if (ec)
            return std::nullopt;
        std::string body((std::size_t(h[0]) << 24) | (h[1] << 16) | (h[2] << 8) | h[3], '\0');
        asio::read(socket, asio::buffer(body.data(), body.size()), ec);
        if (ec)
            return std::nullopt;
        return wire::Json::parse(body, nullptr, false);
    }
    // The next frame that is no push, or nothing when the peer closed.
    std::optional<wire::Json> readAnswer()
    {
        auto frame = readFrame();
        while (frame && frame->is_object() && frame->contains("push"))
            frame = readFrame();
        return frame;
    }
    asio::ip::tcp::socket socket;
};

// A one-connection server on an ephemeral port whose behaviour the test scripts.
class FakeServer
{
public:
    using Script = std::function<void(RawPeer &peer)>;
    explicit FakeServer(Script script)
        : acceptor_(io_, {asio::ip::make_address("127.0.0.1"), 0})
    {
        port = acceptor_.local_endpoint().port();
        thread_ = std::thread([this, script] {
            asio::error_code ec;
            asio::ip::tcp::socket s(io_);
            acceptor_.accept(s, ec);
            if (ec)
                return;
            RawPeer peer(std::move(s));
            script(peer);
        });
    }
    ~FakeServer()
    {
        // A blocking accept() is not woken by close(); a last connection releases it.
        asio::error_code ec;
        asio::ip::tcp::socket wake(io_);
        wake.connect({asio::ip::make_address("127.0.0.1"), port}, ec);
        wake.close(ec);
        thread_.join();
    }
    unsigned short port = 0;

private:
    asio::io_context io_;
    asio::ip::tcp::acceptor acceptor_;
    std::thread thread_;
};

// The library connected to a scripted server: a context, a connection and a client, opened on
// the server's port by connectTo.
struct LibraryClient
{
    Context context;
    Pushes pushes;
    Connection connection{pushes.connectionCallbacks(), context};
    Client client{pushes.clientCallbacks(), connection};

    bool connectTo(unsigned short port)
    {
        auto opened = Outcome<bool>::make();
        connection.open("127.0.0.1", port, [opened] { opened->setValue(true); }, {});
        return opened->wait();
    }
};

// Runs a shell command; its exit status and standard output.
inline std::pair<int, std::string> runCommand(const std::string &command)
{
    std::string out;
    FILE *pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return {-1, out};
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe))
        out += buffer;
    const int status = ::pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

inline sim::Site loadDemoSite()
{
    std::string error;
    auto site = sim::Site::fromFile(ZARN_DEMO_SITE, sim::nowMs(), error);
    EXPECT_TRUE(site) << error;
    return site ? *site : sim::Site();
}

// The demo shop served in-process, with a signed-out client connected to it.
class SimFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        sim::SimulatorOptions options;
        // Channel texts on a free port: the demo's 5556 belongs to the screen tests.
        options.ephemeralPosPorts = true;
        options.site = site();
        options.limits = limits();
        options.log = [this](const std::string &line) {
            std::lock_guard<std::mutex> lock(logMutex);
            simLog.push_back(line);
        };
        adjust(options);
        simulator = std::make_unique<sim::Simulator>(std::move(options));
        std::string error;
        ASSERT_TRUE(simulator->start(&error)) << error;
        connection = Connection(pushes.connectionCallbacks(), context);
        client = Client(pushes.clientCallbacks(), connection);
        ASSERT_TRUE(open(connection));
    }
    void TearDown() override
    {
        client = Client();
        connection = Connection();
        simulator.reset();
    }
    // Lets a suite change the simulator's options before it starts.
    virtual void adjust(sim::SimulatorOptions &) {}
    virtual sim::Site site()
    {
        auto s = loadDemoSite();
        s.doorDelayMs = 50;
        s.events.clear(); // the demo's scheduled events would land among those a test counts
        return s;
    }
    virtual sim::ServerLimits limits() { return {}; }
    bool open(Connection &c)
    {
        auto r = Outcome<bool>::make();
        c.open(
            "127.0.0.1", simulator->eventPort(), [r] { r->setValue(true); },
            [r](const ConnectionError &e) { r->setError(HandlerError(e.code(), e.text())); });
        return r->code() == 0;
    }
    std::int64_t signIn(Client &c, const std::string &user = "operator",
                        const std::string &password = "operator")
    {
        auto r = Outcome<std::int64_t>::make();
        c.signIn(user, password, r->ok(), r->fail());
        return r->code() == 0 ? *r->value : 0;
    }
    std::vector<std::string> logLines()
    {
        std::lock_guard<std::mutex> lock(logMutex);
        return simLog;
    }

    std::unique_ptr<sim::Simulator> simulator;
    Pushes pushes;
    Context context;
    Connection connection;
    Client client;
    std::mutex logMutex;
    std::vector<std::string> simLog;
};

} // namespace ardix::zarn::test
