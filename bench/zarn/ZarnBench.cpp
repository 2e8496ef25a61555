// libzarn against the in-process simulator over loopback TCP: fetching large object trees, the
// round trip of a small request and bursts of them in flight at once, with the same round trip
// and burst over a bare blocking socket as the reference for the library's own cost.
#include "Simulator.h"
#include "wire/Codec.h"
#include "wire/FramedSocket.h"
#include "zarn/zarn.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <future>
#include <map>
#include <memory>

using namespace ardix;
using namespace ardix::zarn;

namespace {

// One simulator and one signed-in client per site size, kept for the whole run.
struct Setup
{
    std::unique_ptr<sim::Simulator> simulator;
    Context context;
    Connection connection;
    Client client;

    explicit Setup(std::size_t objects)
    {
        sim::SimulatorOptions options;
        options.site = sim::Site::generated(objects);
        options.log = [](const std::string &) {};
        simulator = std::make_unique<sim::Simulator>(std::move(options));
        simulator->start();
        connection = Connection(ConnectionCallbacks{}, context);
        client = Client(ClientCallbacks{}, connection);
        std::promise<void> ready;
        connection.open("127.0.0.1", simulator->eventPort(),
                        [&] {
                            client.signIn("operator", "operator",
                                          [&](std::int64_t) { ready.set_value(); }, {});
                        },
                        {});
        ready.get_future().wait();
    }
    static Setup &forSize(std::size_t objects)
    {
        static std::map<std::size_t, std::unique_ptr<Setup>> setups;
        auto &s = setups[objects];
        if (!s)
            s = std::make_unique<Setup>(objects);
        return *s;
    }
};

void BM_GetObjects(benchmark::State &state)
{
    const auto n = static_cast<std::size_t>(state.range(0));
    auto &s = Setup::forSize(n);
    for (auto _ : state) {
        std::promise<std::size_t> got;
        s.client.getObjects(
            [&](const std::vector<Object> &o, std::int64_t) { got.set_value(o.size()); },
            [&](const HandlerError &) { got.set_value(0); });
        if (got.get_future().get() != n)
            state.SkipWithError("getObjects failed");
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
    state.counters["us_per_object"] = benchmark::Counter(
        static_cast<double>(state.iterations() * n),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert, benchmark::Counter::kIs1000);
}
BENCHMARK(BM_GetObjects)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SmallRequestRoundTrip(benchmark::State &state)
{
    auto &s = Setup::forSize(100);
    for (auto _ : state) {
        std::promise<void> got;
        s.client.getDynamicAttribute(
            2, "", [&](const NameValueMap &) { got.set_value(); },
            [&](const HandlerError &) { got.set_value(); });
        got.get_future().wait();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SmallRequestRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();

// N small requests issued back to back from one thread without waiting for any answer; the
// burst is done when the last answer arrived. Measures pipelining on one connection.
void BM_PipelinedRequests(benchmark::State &state)
{
    const auto n = state.range(0);
    auto &s = Setup::forSize(100);
    std::int64_t failures = 0;
    for (auto _ : state) {
        std::atomic<std::int64_t> left{n};
        std::atomic<std::int64_t> failed{0};
        std::promise<void> done;
        auto finish = [&] {
            if (left.fetch_sub(1) == 1)
                done.set_value();
        };
        for (std::int64_t i = 0; i < n; ++i)
            s.client.getDynamicAttribute(
                2, "", [&](const NameValueMap &) { finish(); },
                [&](const HandlerError &) {
                    ++failed;
                    finish();
                });
        done.get_future().wait();
        failures += failed.load();
    }
    if (failures > 0)
        state.SkipWithError("requests failed");
    state.SetItemsProcessed(state.iterations() * n);
    state.counters["requests_per_s"] = benchmark::Counter(
        static_cast<double>(state.iterations() * n), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PipelinedRequests)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The same request written and read on a blocking socket by the calling thread: no library
// thread, no hand-over, the floor that the library's round trip is compared with.
void BM_RawSocketRoundTrip(benchmark::State &state)
{
    auto &s = Setup::forSize(100);
    asio::io_context io;
    asio::ip::tcp::socket socket(io);
    socket.connect({asio::ip::make_address("127.0.0.1"), s.simulator->eventPort()});
    socket.set_option(asio::ip::tcp::no_delay(true));
    auto readFrame = [&] {
        unsigned char h[4];
        asio::read(socket, asio::buffer(h));
        std::string body((std::size_t(h[0]) << 24) | (h[1] << 16) | (h[2] << 8) | h[3], '\0');
        asio::read(socket, asio::buffer(body.data(), body.size()));
        return wire::Json::parse(body);
    };
    auto call = [&](std::int64_t id, const char *op, wire::Json args) {
        const auto frame = wire::encodeFrame(
            wire::dump(wire::Json{{"id", id}, {"op", op}, {"args", std::move(args)}}));
        asio::write(socket, asio::buffer(frame));
        return readFrame();
    };
    readFrame(); // greeting
    call(1, "signIn", {{"user", "operator"}, {"password", "operator"}});
    std::int64_t id = 2;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            call(id++, "getDynamicAttribute", {{"objectId", 2}, {"name", ""}}));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RawSocketRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The same burst written by the calling thread in one write on a bare blocking socket, then
// its answers read: what the simulator alone manages, the ceiling for the library's burst.
void BM_RawSocketPipelined(benchmark::State &state)
{
    const auto n = state.range(0);
    auto &s = Setup::forSize(100);
    asio::io_context io;
    asio::ip::tcp::socket socket(io);
    socket.connect({asio::ip::make_address("127.0.0.1"), s.simulator->eventPort()});
    socket.set_option(asio::ip::tcp::no_delay(true));
    asio::streambuf in;
    auto readFrame = [&] {
        asio::read(socket, in, asio::transfer_at_least(in.size() >= 4 ? 0 : 4 - in.size()));
        const auto *h = static_cast<const unsigned char *>(in.data().data());
        const std::size_t size = (std::size_t(h[0]) << 24) | (h[1] << 16) | (h[2] << 8) | h[3];
        if (in.size() < 4 + size)
            asio::read(socket, in, asio::transfer_at_least(4 + size - in.size()));
        const auto *body = static_cast<const char *>(in.data().data()) + 4;
        auto frame = wire::Json::parse(body, body + size);
        in.consume(4 + size);
        return frame;
    };
    auto frame = [](std::int64_t id, const char *op, wire::Json args) {
        return wire::encodeFrame(
            wire::dump(wire::Json{{"id", id}, {"op", op}, {"args", std::move(args)}}));
    };
    readFrame(); // greeting
    asio::write(socket,
                asio::buffer(frame(1, "signIn", {{"user", "operator"}, {"password", "operator"}})));
    while (!readFrame().contains("id")) {
    }
    std::int64_t id = 2;
    for (auto _ : state) {
        std::string burst;
        for (std::int64_t i = 0; i < n; ++i)
            burst += frame(id++, "getDynamicAttribute", {{"objectId", 2}, {"name", ""}});
        asio::write(socket, asio::buffer(burst));
        for (std::int64_t i = 0; i < n; ++i)
            benchmark::DoNotOptimize(readFrame());
    }
    state.SetItemsProcessed(state.iterations() * n);
    state.counters["requests_per_s"] = benchmark::Counter(
        static_cast<double>(state.iterations() * n), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RawSocketPipelined)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
