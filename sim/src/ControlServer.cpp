#include "ControlServer.h"

#include <charconv>
#include <sstream>
#include <vector>

namespace ardix::sim {

namespace {

constexpr std::size_t kMaxLine = 1024;

bool parseNumber(const std::string &text, std::int64_t &value)
{
    const char *end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && ptr == end;
}

std::vector<std::string> words(const std::string &line)
{
    std::istringstream in(line);
    std::vector<std::string> out;
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

} // namespace

struct ControlServer::Connection
{
    explicit Connection(asio::ip::tcp::socket s)
        : socket(std::move(s))
    {}
    asio::ip::tcp::socket socket;
    asio::streambuf input{kMaxLine};
    std::string answer;
};

ControlServer::ControlServer(asio::io_context &io, Simulator &simulator, LogFunction log)
    : io_(io)
    , simulator_(simulator)
    , log_(std::move(log))
    , acceptor_(io)
{}

bool ControlServer::listen(unsigned short port, std::string &error)
{
    const asio::ip::tcp::endpoint endpoint(asio::ip::address_v4::loopback(), port);
    asio::error_code ec;
    acceptor_.open(endpoint.protocol(), ec);
    if (!ec)
        acceptor_.set_option(asio::ip::tcp::acceptor::reuse_address(true), ec);
    if (!ec)
        acceptor_.bind(endpoint, ec);
    if (!ec)
        acceptor_.listen(asio::socket_base::max_listen_connections, ec);
    if (ec) {
        error = "cannot listen for control commands on 127.0.0.1:" + std::to_string(port) + ": " +
                ec.message();
        return false;
    }
    port_ = acceptor_.local_endpoint().port();
    log_("control listening on 127.0.0.1:" + std::to_string(port_));
    accept();
    return true;
}

void ControlServer::accept()
{
    acceptor_.async_accept([this](const asio::error_code &ec, asio::ip::tcp::socket socket) {
        if (ec == asio::error::operation_aborted)
            return;
        if (!ec)
            read(std::make_shared<Connection>(std::move(socket)));
        accept();
    });
}

void ControlServer::read(const std::shared_ptr<Connection> &connection)
{
    asio::async_read_until(
        connection->socket, connection->input, '\n',
        [this, connection](const asio::error_code &ec, std::size_t) {
            if (ec)
                return; // closed, or a line longer than the limit: the connection ends
            std::istream in(&connection->input);
            std::string line;
            std::getline(in, line);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            connection->answer = execute(line) + "\n";
            asio::async_write(connection->socket, asio::buffer(connection->answer),
                              [this, connection](const asio::error_code &e, std::size_t) {
                                  if (!e)
                                      read(connection);
                              });
        });
}

std::string ControlServer::execute(const std::string &line)
{
    const auto w = words(line);
    std::int64_t number = 0;
    std::string answer;
    if (w.size() == 2 && (w[0] == "drop-connections" || w[0] == "refuse-signin")) {
        if (!parseNumber(w[1], number) || number < 0 || number > 86400)
            answer = "error: SECONDS must be a whole number from 0 to 86400";
        else if (w[0] == "drop-connections")
            simulator_.dropConnections(std::chrono::seconds(number));
        else
            simulator_.refuseSignIns(std::chrono::seconds(number));
    } else if (w.size() == 3 && w[0] == "live") {
        GatewayHttp::LiveFault fault = GatewayHttp::LiveFault::None;
        if (w[2] == "stop")
            fault = GatewayHttp::LiveFault::Stopped;
        else if (w[2] == "stall")
            fault = GatewayHttp::LiveFault::Stalled;
        else if (w[2] != "play")
            answer = "error: live takes stop, stall or play";
        if (answer.empty() && !parseNumber(w[1], number))
            answer = "error: STREAM must be a stream id";
        if (answer.empty() && !simulator_.setLiveFault(number, fault))
            answer = "error: no gateway serves stream " + w[1];
    } else {
        answer = "error: unknown command; try drop-connections SECONDS, refuse-signin SECONDS, "
                 "live STREAM stop|stall|play";
    }
    if (answer.empty())
        answer = "ok";
    log_("control: " + clipText(line) + " -> " + answer);
    return answer;
}

} // namespace ardix::sim
