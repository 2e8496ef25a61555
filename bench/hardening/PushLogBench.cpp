// The console's log file while a server pushes sensor values as fast as the console takes
// them for ten seconds. `bench_pushlog` measures the default; `bench_pushlog --debug` runs with
// the per-value lines on, as DEBUG "1" does. Prints the pushes delivered and the log's size.
#include "LogHandler.h"
#include "ZarnClient.h"
#include "ZarnObjectsRepository.h"

#include "wire/Codec.h"
#include "wire/FramedSocket.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <asio.hpp>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

namespace wire = ardix::zarn::wire;

namespace {

struct FloodServer
{
    asio::io_context io;
    asio::ip::tcp::acceptor acceptor{io, {asio::ip::make_address("127.0.0.1"), 0}};
    std::atomic<long> pushes{0};

    static bool readRequest(asio::ip::tcp::socket &s, wire::Json &out)
    {
        unsigned char h[4];
        asio::error_code ec;
        asio::read(s, asio::buffer(h), ec);
        std::string body((std::size_t(h[0]) << 24) | (h[1] << 16) | (h[2] << 8) | h[3], '\0');
        if (!ec)
            asio::read(s, asio::buffer(body.data(), body.size()), ec);
        if (ec)
            return false;
        out = wire::Json::parse(body, nullptr, false);
        return out.is_object();
    }
    static void send(asio::ip::tcp::socket &s, const wire::Json &j)
    {
        asio::error_code ec;
        asio::write(s, asio::buffer(wire::encodeFrame(wire::dump(j))), ec);
    }

    void run(std::chrono::seconds flood)
    {
        asio::ip::tcp::socket s(io);
        acceptor.accept(s);
        send(s, {{"hello", "zarn"}, {"version", 1}});
        wire::Json request;
        readRequest(s, request); // signIn
        send(s, {{"id", request["id"]}, {"result", {{"userId", 500}}}});
        readRequest(s, request); // getObjects
        const wire::Json sensor{{"id", 21},
                                {"name", "Door"},
                                {"type", 8},
                                {"class", "sensor.DOOR"},
                                {"parent", 0},
                                {"children", wire::Json::array()},
                                {"settings", wire::Json::array()},
                                {"serial", ""}};
        send(s, {{"id", request["id"]}, {"result", {{"rootId", 21}, {"objects", {sensor}}}}});
        const auto until = std::chrono::steady_clock::now() + flood;
        std::string batch;
        for (int i = 0; i < 100; ++i)
            batch += wire::encodeFrame(wire::dump({{"push", "sensorValue"},
                                                   {"objectId", 21},
                                                   {"value", {{"kind", 20}, {"v", i % 2 == 0}}}}));
        asio::error_code ec;
        while (!ec && std::chrono::steady_clock::now() < until) {
            asio::write(s, asio::buffer(batch), ec);
            pushes += 100;
        }
        s.close(ec);
    }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const bool debug = argc > 1 && QString::fromLatin1(argv[1]) == QLatin1String("--debug");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("clientLogs.txt"));
    LogHandler::setFilePath(path.toStdString(), false);
    LogHandler::install();
    if (debug)
        QLoggingCategory::setFilterRules(QStringLiteral("zarn.values.debug=true"));

    FloodServer server;
    std::thread serverThread([&] { server.run(std::chrono::seconds(10)); });
    ZarnObjectsRepository repository;
    ZarnClient client;
    client.setRepository(&repository);
    client.setHost(QStringLiteral("127.0.0.1"));
    client.setPort(server.acceptor.local_endpoint().port());
    QObject::connect(&client, &ZarnClient::connected, &client, [&] { client.login(); });
    QObject::connect(&client, &ZarnClient::loggedIn, &client, [&] { client.fetchObjects(); });
    // The change to Closed is posted after every push the server sent before closing.
    QObject::connect(
        &client, &ZarnClient::connectionStateChanged, &app,
        [&](int state, int) {
            if (state == ardix::zarn::Connection::Closed)
                app.quit();
        },
        Qt::QueuedConnection);
    const auto t0 = std::chrono::steady_clock::now();
    client.connectToZarn();
    app.exec();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    serverThread.join();
    std::printf("%s: %ld pushes in %.1f s, log file %lld bytes\n", debug ? "--debug" : "default",
                server.pushes.load(), seconds, static_cast<long long>(QFileInfo(path).size()));
    return 0;
}
