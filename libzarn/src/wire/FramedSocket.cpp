#include "wire/FramedSocket.h"

namespace ardix::zarn::wire {

std::string encodeFrame(const std::string &body)
{
    const auto n = static_cast<std::uint32_t>(body.size());
    std::string out;
    out.reserve(body.size() + 4);
    out += static_cast<char>((n >> 24) & 0xff);
    out += static_cast<char>((n >> 16) & 0xff);
    out += static_cast<char>((n >> 8) & 0xff);
    out += static_cast<char>(n & 0xff);
    out += body;
    return out;
}

FramedSocket::FramedSocket(asio::ip::tcp::socket socket, std::size_t maxFrame)
    : socket_(std::move(socket))
    , maxFrame_(maxFrame)
{
    asio::error_code ec;
    auto ep = socket_.remote_endpoint(ec);
    if (!ec)
        peer_ = ep.address().to_string() + ":" + std::to_string(ep.port());
    socket_.set_option(asio::ip::tcp::no_delay(true), ec);
}

void FramedSocket::start(Handlers handlers)
{
    handlers_ = std::move(handlers);
    readHeader();
}

void FramedSocket::readHeader()
{
    auto self = shared_from_this();
    asio::async_read(
        socket_, asio::buffer(header_), [self](const asio::error_code &ec, std::size_t) {
            if (self->ended_)
                return;
            if (ec)
                return self->fail(ec);
            const std::size_t size =
                (std::size_t(self->header_[0]) << 24) | (std::size_t(self->header_[1]) << 16) |
                (std::size_t(self->header_[2]) << 8) | std::size_t(self->header_[3]);
            if (size > self->maxFrame_) {
                self->end(EndReason::ProtocolError, "frame of " + std::to_string(size) +
                                                        " bytes exceeds the limit of " +
                                                        std::to_string(self->maxFrame_));
                return;
            }
            self->readBody(size);
        });
}

void FramedSocket::readBody(std::size_t size)
{
    body_.assign(size, '\0');
    auto self = shared_from_this();
    asio::async_read(socket_, asio::buffer(body_.data(), body_.size()),
                     [self](const asio::error_code &ec, std::size_t) {
                         if (self->ended_)
                             return;
                         if (ec)
                             return self->fail(ec);
                         std::string body;
                         body.swap(self->body_);
                         if (self->handlers_.frame)
                             self->handlers_.frame(std::move(body));
                         // The frame handler may have ended the socket.
                         if (!self->ended_)
                             self->readHeader();
                     });
}

void FramedSocket::send(const std::string &body)
{
    if (ended_ || closeWhenFlushed_)
        return;
    queue_.push_back(encodeFrame(body));
    if (!writing_)
        writeNext();
}

void FramedSocket::writeNext()
{
    if (queue_.empty()) {
        writing_ = false;
        if (closeWhenFlushed_)
            end(EndReason::LocalClose, "closed");
        return;
    }
    writing_ = true;
    auto self = shared_from_this();
    asio::async_write(socket_, asio::buffer(queue_.front()),
                      [self](const asio::error_code &ec, std::size_t) {
                          if (self->ended_)
                              return;
                          if (ec)
                              return self->fail(ec);
                          self->queue_.pop_front();
                          self->writeNext();
                      });
}

void FramedSocket::closeAfterWrites()
{
    if (ended_)
        return;
    closeWhenFlushed_ = true;
    if (!writing_)
        end(EndReason::LocalClose, "closed");
}

void FramedSocket::fail(const asio::error_code &ec)
{
    if (ec == asio::error::eof || ec == asio::error::connection_reset ||
        ec == asio::error::broken_pipe)
        end(EndReason::PeerClosed, "connection closed by peer");
    else
        end(EndReason::NetworkError, ec.message());
}

void FramedSocket::end(EndReason reason, const std::string &text)
{
    if (ended_)
        return;
    ended_ = true;
    queue_.clear();
    asio::error_code ignored;
    socket_.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
    socket_.close(ignored);
    // Release the handlers (and the owners they capture) only after the current call chain:
    // end() may run inside the frame handler itself.
    auto closed = std::move(handlers_.closed);
    asio::post(socket_.get_executor(), [h = std::move(handlers_)] {});
    handlers_ = {};
    if (closed)
        closed(reason, text);
}

} // namespace ardix::zarn::wire
