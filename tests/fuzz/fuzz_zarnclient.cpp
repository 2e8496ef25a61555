// libFuzzer target: the console library's whole read path. A server on loopback greets, then
// sends the input as it stands (frames, partial frames, anything) to a connection that has four
// requests pending: the frame reader, the answer and push decoders and the request table all
// read it. Beyond crashes, hangs and leaks: every request ends exactly once.
#include "wire/Codec.h"
#include "wire/FramedSocket.h"
#include "zarn/zarn.h"

#include <asio.hpp>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <future>
#include <memory>

namespace zarn = ardix::zarn;
namespace wire = ardix::zarn::wire;

namespace {

struct Server
{
    asio::io_context io;
    asio::ip::tcp::acceptor acceptor{io, {asio::ip::make_address("127.0.0.1"), 0}};
};

Server &server()
{
    static Server *s = new Server;
    return *s;
}

// Counts how often the requests ended; more than once per request is a defect.
struct Ends
{
    std::atomic<int> count{0};
    void end()
    {
        if (++count > 4)
            __builtin_trap();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    zarn::Context context;
    auto closed = std::make_shared<std::promise<void>>();
    auto done = std::make_shared<std::atomic<bool>>(false);
    zarn::ConnectionCallbacks callbacks;
    callbacks.stateChanged = [closed, done](zarn::Connection::State state,
                                            zarn::Connection::State) {
        if (state == zarn::Connection::Closed && !done->exchange(true))
            closed->set_value();
    };
    zarn::Connection connection(callbacks, context);
    zarn::Client client(zarn::ClientCallbacks{}, connection);
    auto ends = std::make_shared<Ends>();
    auto opened = std::make_shared<std::promise<bool>>();
    connection.open(
        "127.0.0.1", server().acceptor.local_endpoint().port(),
        [opened] { opened->set_value(true); },
        [opened](const zarn::ConnectionError &) { opened->set_value(false); });

    asio::ip::tcp::socket peer(server().io);
    asio::error_code ec;
    do // libFuzzer's timer signal interrupts the blocking accept
        server().acceptor.accept(peer, ec);
    while (ec == asio::error::interrupted);
    asio::write(peer, asio::buffer(wire::encodeFrame(R"({"hello":"zarn","version":1})")), ec);
    const bool open = opened->get_future().get();
    if (open) {
        auto fail = [ends](const zarn::HandlerError &) { ends->end(); };
        client.getObjects([ends](const std::vector<zarn::Object> &, std::int64_t) { ends->end(); },
                          fail);
        client.getDynamicAttribute(
            1, "", [ends](const zarn::NameValueMap &) { ends->end(); }, fail);
        client.getActuatorValue(
            22, [ends](zarn::ValuePtr) { ends->end(); }, fail);
        client.searchChunks(
            31, 0, 0, 1, [ends](const std::vector<zarn::StreamChunk> &) { ends->end(); }, fail);
        // The requests are written before the input, so that answers find them pending.
        for (int i = 0; i < 4; ++i) {
            unsigned char header[4];
            asio::read(peer, asio::buffer(header), ec);
            std::string body((std::size_t(header[0]) << 24) | (header[1] << 16) | (header[2] << 8) |
                                 header[3],
                             '\0');
            asio::read(peer, asio::buffer(body.data(), body.size()), ec);
        }
        asio::write(peer, asio::buffer(data, size), ec);
    }
    peer.close(ec);
    closed->get_future().wait();
    // Requests fail before the change to Closed is reported: each has ended by now.
    if (open && ends->count != 4)
        __builtin_trap();
    return 0;
}
