// zarn-sim: the simulated site as a program.
//   zarn-sim --site FILE [--port N] [--host ADDRESS]
// SIGHUP reloads the site file; SIGINT and SIGTERM stop the program.
#include "Simulator.h"

#include <asio.hpp>

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>

using namespace ardix::sim;

namespace {

struct Arguments
{
    std::string site;
    std::string host = "127.0.0.1";
    long port = kDefaultEventPort;
};

void usage()
{
    std::cerr << "usage: zarn-sim --site FILE [--port N] [--host ADDRESS]\n"
                 "  --site FILE     site file (see docs/site-file.md)\n"
                 "  --port N        event server port, 0 for any free one (default "
              << kDefaultEventPort
              << ")\n"
                 "  --host ADDRESS  address to listen on (default 127.0.0.1)\n"
                 "SIGHUP reloads the site file; SIGINT/SIGTERM stop.\n";
}

bool parse(int argc, char **argv, Arguments &args)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--site" && hasValue) {
            args.site = argv[++i];
        } else if (a == "--host" && hasValue) {
            args.host = argv[++i];
        } else if (a == "--port" && hasValue) {
            char *end = nullptr;
            args.port = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || args.port < 0 || args.port > 65535)
                return false;
        } else {
            return false;
        }
    }
    return !args.site.empty();
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
    auto site = Site::fromFile(args.site, nowMs(), error);
    if (!site) {
        std::cerr << "zarn-sim: " << error << std::endl;
        return 1;
    }
    SimulatorOptions options;
    options.site = std::move(*site);
    options.host = args.host;
    options.eventPort = static_cast<unsigned short>(args.port);
    // Signals are caught before the server starts, so an early SIGHUP cannot end the process.
    asio::io_context io;
    asio::signal_set signals(io, SIGINT, SIGTERM, SIGHUP);
    Simulator simulator(std::move(options));
    if (!simulator.start(&error)) {
        std::cerr << "zarn-sim: " << error << std::endl;
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
        if (auto fresh = Site::fromFile(args.site, nowMs(), err)) {
            std::cerr << "zarn-sim: reloading " << args.site << std::endl;
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
