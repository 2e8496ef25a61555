#include "ControlServer.h"

#include <charconv>
#include <cstdio>
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

// The line after its first n words, as written (inner spaces kept), without trailing blanks.
std::string restAfterWords(const std::string &line, std::size_t n)
{
    const char *blank = " \t\n\v\f\r";
    std::size_t at = line.find_first_not_of(blank);
    for (std::size_t i = 0; i < n && at != std::string::npos; ++i)
        at = line.find_first_not_of(blank, line.find_first_of(blank, at));
    if (at == std::string::npos)
        return {};
    std::string rest = line.substr(at);
    rest.erase(rest.find_last_not_of(blank) + 1);
    return rest;
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
    std::string answer;
    if (w.size() == 2 && (w[0] == "drop-connections" || w[0] == "refuse-signin"))
        answer = fault(w);
    else if (w.size() == 3 && w[0] == "live")
        answer = live(w);
    else if (w.size() == 3 && w[0] == "recording")
        answer = recording(w);
    else if (w.size() == 2 && w[0] == "searches")
        answer = searches(w);
    else if (w.size() == 4 && w[0] == "motion")
        answer = motion(w);
    else if ((w.size() == 3 || w.size() == 4) && w[0] == "rtsp" && w[2] == "restart")
        answer = restartRtsp(w);
    else if (w.size() >= 3 && w[0] == "event")
        answer = event(w, line);
    else if (w.size() == 5 && w[0] == "flood")
        answer = flood(w);
    else
        answer = "error: unknown command; try drop-connections SECONDS, refuse-signin SECONDS, "
                 "live STREAM stop|stall|play, rtsp GATEWAY restart [SECONDS], event SOURCE CLASS "
                 "[TEXT...], "
                 "flood SOURCE CLASS PER_SECOND SECONDS, recording STREAM stop|start, "
                 "searches STREAM, motion STREAM FROM TO";
    if (answer.empty())
        answer = "ok";
    // A command answered with several lines logs the first.
    log_("control: " + clipText(line) + " -> " + answer.substr(0, answer.find('\n')));
    return answer;
}

std::string ControlServer::fault(const std::vector<std::string> &w)
{
    std::int64_t seconds = 0;
    if (!parseNumber(w[1], seconds) || seconds < 0 || seconds > 86400)
        return "error: SECONDS must be a whole number from 0 to 86400";
    if (w[0] == "drop-connections")
        simulator_.dropConnections(std::chrono::seconds(seconds));
    else
        simulator_.refuseSignIns(std::chrono::seconds(seconds));
    return {};
}

std::string ControlServer::live(const std::vector<std::string> &w)
{
    GatewayHttp::LiveFault fault = GatewayHttp::LiveFault::None;
    if (w[2] == "stop")
        fault = GatewayHttp::LiveFault::Stopped;
    else if (w[2] == "stall")
        fault = GatewayHttp::LiveFault::Stalled;
    else if (w[2] != "play")
        return "error: live takes stop, stall or play";
    std::int64_t stream = 0;
    if (!parseNumber(w[1], stream))
        return "error: STREAM must be a stream id";
    if (!simulator_.setLiveFault(stream, fault))
        return "error: no gateway serves stream " + w[1];
    return {};
}

std::string ControlServer::recording(const std::vector<std::string> &w)
{
    if (w[2] != "stop" && w[2] != "start")
        return "error: recording takes stop or start";
    std::int64_t stream = 0;
    if (!parseNumber(w[1], stream))
        return "error: STREAM must be a stream id";
    if (!simulator_.setRecording(stream, w[2] == "start"))
        return "error: stream " + w[1] + " does not go on recording";
    return {};
}

std::string ControlServer::searches(const std::vector<std::string> &w)
{
    std::int64_t stream = 0;
    if (!parseNumber(w[1], stream))
        return "error: STREAM must be a stream id";
    return "ok " + std::to_string(simulator_.chunkSearches(stream));
}

std::string ControlServer::motion(const std::vector<std::string> &w)
{
    // A month of ten-minute slots at most: an answer of a few thousand lines.
    constexpr std::int64_t kMostMs = 31 * 24 * 3600000LL;
    std::int64_t stream = 0, from = 0, to = 0;
    if (!parseNumber(w[1], stream))
        return "error: STREAM must be a stream id";
    if (!parseNumber(w[2], from) || !parseNumber(w[3], to) || to < from || to - from > kMostMs)
        return "error: FROM and TO must be ms since the epoch, FROM not after TO, at most 31 days "
               "apart";
    const auto crossings = simulator_.motion(stream, from, to);
    if (!crossings)
        return "error: no gateway serves stream " + w[1];
    std::string answer = "ok " + std::to_string(crossings->size());
    char box[96];
    for (const Crossing &c : *crossings) {
        std::snprintf(box, sizeof box, " %.3f %.3f %.3f %.3f", c.box.x, c.box.y, c.box.w, c.box.h);
        answer += "\n" + std::to_string(c.startMs) + " " + std::to_string(c.endMs) + " " +
                  MotionScene::kindName(c.kind) + box;
    }
    return answer;
}

std::string ControlServer::restartRtsp(const std::vector<std::string> &w)
{
    std::int64_t gateway = 0;
    std::int64_t seconds = 2;
    if (!parseNumber(w[1], gateway))
        return "error: GATEWAY must be a gateway id";
    if (w.size() == 4 && (!parseNumber(w[3], seconds) || seconds < 0 || seconds > 3600))
        return "error: SECONDS must be a whole number from 0 to 3600";
    if (!simulator_.restartRtsp(gateway, std::chrono::seconds(seconds)))
        return "error: no gateway " + w[1];
    return {};
}

std::string ControlServer::event(const std::vector<std::string> &w, const std::string &line)
{
    std::int64_t source = 0;
    if (!parseNumber(w[1], source))
        return "error: SOURCE must be an object id";
    const std::string text = w.size() > 3 ? restAfterWords(line, 3) : w[2];
    if (simulator_.raiseEvent(source, w[2], text) == 0)
        return "error: no object " + w[1];
    return {};
}

std::string ControlServer::flood(const std::vector<std::string> &w)
{
    std::int64_t source = 0, perSecond = 0, seconds = 0;
    if (!parseNumber(w[1], source))
        return "error: SOURCE must be an object id";
    if (!parseNumber(w[3], perSecond) || perSecond < 1 || perSecond > 10000)
        return "error: PER_SECOND must be a whole number from 1 to 10000";
    if (!parseNumber(w[4], seconds) || seconds < 1 || seconds > 3600)
        return "error: SECONDS must be a whole number from 1 to 3600";
    if (!simulator_.flood(source, w[2], static_cast<int>(perSecond), static_cast<int>(seconds)))
        return "error: no object " + w[1];
    return {};
}

} // namespace ardix::sim
