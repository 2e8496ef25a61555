// zarn-sim: the simulated site as a program.
//   zarn-sim --site FILE [--port N] [--host ADDRESS] [--http-port N] [--control-port N]
//   zarn-sim --generate-site CAMERAS [the same options]
// SIGHUP reloads the site file; SIGINT and SIGTERM stop the program.
#include "ControlServer.h"
#include "Simulator.h"
#include "SiteGenerator.h"

#include <asio.hpp>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>

using namespace ardix::sim;

namespace {

struct Arguments
{
    std::string site;
    std::int64_t generate = 0; // cameras of a generated site; 0: the site file
    std::string host = "127.0.0.1";
    long port = kDefaultEventPort;
    long httpPort = -1;    // -1: each gateway's own
    long rtspPort = -1;    // -1: each gateway's own
    long controlPort = -1; // -1: no control interface
    MediaMaker::Options media;
};

bool parsePort(const char *text, long &port)
{
    char *end = nullptr;
    port = std::strtol(text, &end, 10);
    return *end == '\0' && *text != '\0' && port >= 0 && port <= 65535;
}

void usage()
{
    std::cerr << "usage: zarn-sim --site FILE [--port N] [--host ADDRESS] [--http-port N]\n"
                 "                [--rtsp-port N] [--control-port N]\n"
                 "       zarn-sim --generate-site CAMERAS [the same options]\n"
                 "  --site FILE     site file (see docs/site-file.md)\n"
                 "  --generate-site CAMERAS  a made-up chain of that many cameras (1 to "
              << SiteGenerator::kMaxCameras
              << ")\n"
                 "  --port N        event server port, 0 for any free one (default "
              << kDefaultEventPort
              << ")\n"
                 "  --host ADDRESS  address to listen on (default 127.0.0.1)\n"
                 "  --http-port N   port of every gateway's HTTP service, 0 for free ones\n"
                 "                  (default: each gateway's \"httpPort\", 9554)\n"
                 "  --rtsp-port N   port of every gateway's RTSP service, 0 for free ones\n"
                 "                  (default: each gateway's \"rtspPort\", 8554)\n"
                 "  --control-port N  fault and event commands on 127.0.0.1:N, 0 for a free port\n"
                 "  --sub-profile WxH@FPS  live \"sub\" pictures (default 320x180@15)\n"
                 "SIGHUP reloads the site file; SIGINT/SIGTERM stop.\n";
}

// A whole number of cameras the generator takes; else why not, on stderr.
bool parseCameras(const char *text, std::int64_t &cameras)
{
    char *end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text, &end, 10);
    const bool number = *text != '\0' && *end == '\0' && errno == 0;
    cameras = number ? value : 0;
    const std::string why = SiteGenerator::refusal(cameras);
    if (number && why.empty())
        return true;
    std::cerr << "zarn-sim: --generate-site: the number of cameras must be a whole number from 1 "
                 "to "
              << SiteGenerator::kMaxCameras << ", not \"" << text << "\"" << std::endl;
    return false;
}

bool parse(int argc, char **argv, Arguments &args)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--site" && hasValue) {
            args.site = argv[++i];
        } else if (a == "--generate-site" && hasValue) {
            if (!parseCameras(argv[++i], args.generate))
                return false;
        } else if (a == "--host" && hasValue) {
            args.host = argv[++i];
        } else if (a == "--port" && hasValue) {
            if (!parsePort(argv[++i], args.port))
                return false;
        } else if (a == "--http-port" && hasValue) {
            if (!parsePort(argv[++i], args.httpPort))
                return false;
        } else if (a == "--rtsp-port" && hasValue) {
            if (!parsePort(argv[++i], args.rtspPort))
                return false;
        } else if (a == "--control-port" && hasValue) {
            if (!parsePort(argv[++i], args.controlPort))
                return false;
        } else if (a == "--sub-profile" && hasValue) {
            if (!MediaMaker::parseSubProfile(argv[++i], args.media))
                return false;
        } else {
            return false;
        }
    }
    return args.site.empty() != (args.generate == 0);
}

// A port free now on host, for a service whose port must be known before it starts; 0 when
// none could be had.
unsigned short freePort(const std::string &host)
{
    try {
        asio::io_context io;
        asio::ip::tcp::acceptor acceptor(io, {asio::ip::make_address(host), 0});
        return acceptor.local_endpoint().port();
    } catch (const std::exception &) {
        return 0;
    }
}

// The site of the file, or the generated one. A generated site's streams name the port of the
// one HTTP service their gateways share: --http-port sets it, and with 0 a free port is chosen
// here, once, so that the addresses name the port the service gets.
std::optional<Site> loadSite(Arguments &args, std::string &error)
{
    if (args.generate > 0 && args.httpPort < 0)
        return SiteGenerator::generate({args.generate, args.host});
    auto site =
        args.generate > 0 ? std::optional<Site>(Site()) : Site::fromFile(args.site, nowMs(), error);
    if (!site || (args.generate == 0 && (!site->generation || args.httpPort < 0)))
        return site;
    if (args.httpPort == 0)
        args.httpPort = freePort(args.host);
    if (args.httpPort == 0) {
        error = "no free port for the gateways' HTTP service on " + args.host;
        return std::nullopt;
    }
    auto generation =
        site->generation ? *site->generation : SiteGeneration{args.generate, args.host};
    generation.httpPort = static_cast<int>(args.httpPort);
    SiteGenerator::fill(generation, *site);
    if (site->name.empty())
        site->name = std::to_string(generation.cameras) + " generated cameras";
    return site;
}

} // namespace

int main(int argc, char **argv)
{
    Arguments args;
    if (!parse(argc, argv, args)) {
        usage();
        return 2;
    }
    std::string error;
    auto site = loadSite(args, error);
    if (!site) {
        std::cerr << "zarn-sim: " << error << std::endl;
        return 1;
    }
    SimulatorOptions options;
    options.site = std::move(*site);
    options.host = args.host;
    options.eventPort = static_cast<unsigned short>(args.port);
    options.media = args.media;
    if (args.httpPort >= 0)
        options.httpPort = static_cast<unsigned short>(args.httpPort);
    else
        options.httpPort.reset();
    if (args.rtspPort >= 0)
        options.rtspPort = static_cast<unsigned short>(args.rtspPort);
    else
        options.rtspPort.reset();
    // Signals are caught before the server starts, so an early SIGHUP cannot end the process.
    asio::io_context io;
    asio::signal_set signals(io, SIGINT, SIGTERM, SIGHUP);
    Simulator simulator(std::move(options));
    if (!simulator.start(&error)) {
        std::cerr << "zarn-sim: " << error << std::endl;
        return 1;
    }

    ControlServer control(io, simulator, [](const std::string &line) {
        std::cerr << "zarn-sim: " << line << std::endl;
    });
    if (args.controlPort >= 0 &&
        !control.listen(static_cast<unsigned short>(args.controlPort), error)) {
        std::cerr << "zarn-sim: " << error << std::endl;
        simulator.stop();
        return 1;
    }

    std::function<void(const asio::error_code &, int)> onSignal;
    onSignal = [&](const asio::error_code &ec, int signal) {
        if (ec)
            return;
        if (signal != SIGHUP) {
            std::cerr << "zarn-sim: stopping" << std::endl;
            io.stop();
            return;
        }
        std::string err;
        if (auto fresh = loadSite(args, err)) {
            std::cerr << "zarn-sim: reloading "
                      << (args.generate > 0 ? "the generated site" : args.site) << std::endl;
            simulator.replaceSite(std::move(*fresh));
        } else {
            std::cerr << "zarn-sim: reload failed, keeping the current site: " << err << std::endl;
        }
        signals.async_wait(onSignal);
    };
    signals.async_wait(onSignal);
    io.run();
    simulator.stop();
    return 0;
}
