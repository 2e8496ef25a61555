// Runs zarn-sim as a child process and measures what hostile clients cost it:
//   1. resident memory with 200 connections that send only a 16 MiB frame header;
//   2. another client's round trips while an event with 80 000 fields is handled;
//   3. resident memory while a signed-in client stops reading and 1 MiB events are broadcast.
#include "wire/Codec.h"
#include "wire/FramedSocket.h"

#include <asio.hpp>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace wire = ardix::zarn::wire;
using Clock = std::chrono::steady_clock;

namespace {

asio::io_context io;

unsigned short freePort()
{
    asio::ip::tcp::acceptor a(io, {asio::ip::make_address("127.0.0.1"), 0});
    return a.local_endpoint().port();
}

double residentMiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            double kb = 0;
            status >> kb;
            return kb / 1024.0;
        }
    }
    return -1;
}

struct Peer
{
    asio::ip::tcp::socket socket{io};

    bool connect(unsigned short port)
    {
        asio::error_code ec;
        socket.connect({asio::ip::make_address("127.0.0.1"), port}, ec);
        return !ec && read();
    }
    void send(const wire::Json &j)
    {
        asio::write(socket, asio::buffer(wire::encodeFrame(wire::dump(j))));
    }
    bool read()
    {
        unsigned char h[4];
        asio::error_code ec;
        asio::read(socket, asio::buffer(h), ec);
        if (ec)
            return false;
        std::string body((std::size_t(h[0]) << 24) | (h[1] << 16) | (h[2] << 8) | h[3], '\0');
        asio::read(socket, asio::buffer(body.data(), body.size()), ec);
        return !ec;
    }
    void signIn()
    {
        send({{"id", 1},
              {"op", "signIn"},
              {"args", {{"user", "operator"}, {"password", "operator"}}}});
        read();
    }
    // One small request and its answer.
    double roundTripMs()
    {
        const auto t0 = Clock::now();
        send({{"id", 2}, {"op", "getActuatorValue"}, {"args", {{"id", 22}}}});
        read();
        return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    }
};

pid_t startSim(unsigned short port)
{
    const pid_t pid = fork();
    if (pid == 0) {
        std::freopen("/dev/null", "w", stderr);
        execl(ZARN_SIM_PROGRAM, ZARN_SIM_PROGRAM, "--site", ZARN_DEMO_SITE, "--port",
              std::to_string(port).c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    Peer probe;
    for (int i = 0; i < 200 && !probe.connect(port); ++i) {
        probe.socket = asio::ip::tcp::socket(io);
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return pid;
}

void stopSim(pid_t pid)
{
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

void headerOnlyConnections()
{
    const auto port = freePort();
    const pid_t pid = startSim(port);
    Peer client;
    client.connect(port);
    client.signIn();
    client.roundTripMs();
    const double before = residentMiB(pid);
    std::vector<std::unique_ptr<Peer>> peers;
    for (int i = 0; i < 200; ++i) {
        auto p = std::make_unique<Peer>();
        if (!p->connect(port))
            break;
        p->signIn();
        asio::write(p->socket, asio::buffer(std::string("\x01\x00\x00\x00", 4)));
        peers.push_back(std::move(p));
    }
    client.roundTripMs();
    client.roundTripMs();
    std::printf("200 header-only connections: %zu connected, server %.1f MiB before, %.1f MiB "
                "with them\n",
                peers.size(), before, residentMiB(pid));
    stopSim(pid);
}

void largeEventAndAnotherClient()
{
    const auto port = freePort();
    const pid_t pid = startSim(port);
    Peer sender, other;
    sender.connect(port);
    sender.signIn();
    other.connect(port);
    other.signIn();
    double idle = 1e9;
    for (int i = 0; i < 50; ++i)
        idle = std::min(idle, other.roundTripMs());

    wire::Json fields = wire::Json::array();
    for (int i = 0; i < 80000; ++i)
        fields.push_back({"field" + std::to_string(i), {{"kind", 30}, {"v", i}}});
    // Sent to a user nobody signed in as, so that only the handling is measured.
    const auto frame = wire::encodeFrame(wire::dump({{"id", 3},
                                                     {"op", "sendEvent"},
                                                     {"args",
                                                      {{"event",
                                                        {{"class", "big"},
                                                         {"eventId", 0},
                                                         {"sourceId", 0},
                                                         {"destinationId", 1},
                                                         {"timestamp", 0},
                                                         {"fields", fields}}}}}}));
    std::atomic<bool> answered{false};
    double worst = 0;
    int trips = 0;
    std::thread watcher([&] {
        while (!answered) {
            worst = std::max(worst, other.roundTripMs());
            ++trips;
        }
    });
    const auto t0 = Clock::now();
    asio::write(sender.socket, asio::buffer(frame));
    sender.read();
    const double handled = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    answered = true;
    watcher.join();
    std::printf("80 000-field event (%.1f MiB frame): answered after %.0f ms; another client's "
                "round trip %.2f ms idle, worst %.1f ms over %d trips meanwhile\n",
                frame.size() / 1048576.0, handled, idle, worst, trips);
    stopSim(pid);
}

void slowReader()
{
    const auto port = freePort();
    const pid_t pid = startSim(port);
    Peer stalled, sender;
    stalled.connect(port);
    stalled.signIn();
    sender.connect(port);
    sender.signIn();
    const double before = residentMiB(pid);
    const std::string blob(1024 * 1024, 'b');
    double peak = 0;
    for (int i = 0; i < 200; ++i) {
        sender.send({{"id", 10 + i},
                     {"op", "sendEvent"},
                     {"args",
                      {{"event",
                        {{"class", "flood"},
                         {"eventId", 0},
                         {"sourceId", 0},
                         {"destinationId", 0},
                         {"timestamp", 0},
                         {"fields", wire::Json::array({wire::Json::array(
                                        {"blob", {{"kind", 50}, {"v", blob}}})})}}}}}});
        sender.read(); // the push
        sender.read(); // the answer
        peak = std::max(peak, residentMiB(pid));
        if (i % 50 == 49)
            std::printf("  %d MiB sent\n", i + 1);
    }
    stalled.socket.non_blocking(true);
    std::printf("slow reader, 200 MiB broadcast: server %.1f MiB before, peak %.1f MiB, %.1f MiB "
                "after\n",
                before, peak, residentMiB(pid));
    stopSim(pid);
}

} // namespace

int main(int argc, char **argv)
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    const std::string only = argc > 1 ? argv[1] : "";
    if (only.empty() || only == "headers")
        headerOnlyConnections();
    if (only.empty() || only == "event")
        largeEventAndAnotherClient();
    if (only.empty() || only == "slow")
        slowReader();
    return 0;
}
