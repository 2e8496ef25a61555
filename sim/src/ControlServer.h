#pragma once

#include "Simulator.h"

#include <asio.hpp>

#include <memory>
#include <string>
#include <vector>

namespace ardix::sim {

// The program's fault-injection interface: a TCP port on the loopback address that takes one
// command per line and answers "ok" or "error: <why>" (docs/site-file.md):
//   drop-connections SECONDS   drop every event-server connection, refuse new ones for SECONDS
//   refuse-signin SECONDS      refuse every sign-in for SECONDS
//   live STREAM stop|stall|play
//   recording STREAM stop|start               a gap in a stream's recording
//   searches STREAM                            "ok N": chunk searches of it answered so far
//   motion STREAM FROM TO                      "ok N" and a line per crossing the stream's
//                                              recordings show in [FROM, TO)
// and raises site events:
//   event SOURCE CLASS [TEXT...]              one now
//   flood SOURCE CLASS PER_SECOND SECONDS     many, in the background
class ControlServer
{
public:
    ControlServer(asio::io_context &io, Simulator &simulator, LogFunction log);
    // Binds 127.0.0.1:port (0: a free port); false with `error` set when it cannot.
    bool listen(unsigned short port, std::string &error);
    unsigned short port() const { return port_; }

    // Runs one command line; the answer without line end.
    std::string execute(const std::string &line);

private:
    struct Connection;
    void accept();
    void read(const std::shared_ptr<Connection> &connection);
    // Each command's answer; empty for "ok".
    std::string fault(const std::vector<std::string> &words);
    std::string live(const std::vector<std::string> &words);
    std::string recording(const std::vector<std::string> &words);
    std::string searches(const std::vector<std::string> &words);
    std::string motion(const std::vector<std::string> &words);
    std::string restartRtsp(const std::vector<std::string> &words);
    std::string event(const std::vector<std::string> &words, const std::string &line);
    std::string flood(const std::vector<std::string> &words);

    asio::io_context &io_;
    Simulator &simulator_;
    LogFunction log_;
    asio::ip::tcp::acceptor acceptor_;
    unsigned short port_ = 0;
};

} // namespace ardix::sim
