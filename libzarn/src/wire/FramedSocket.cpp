#include "wire/FramedSocket.h"

#include <algorithm>

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

namespace {
// Bytes read per step of a body: the buffer grows with what arrived, never with what a header
// merely announced.
constexpr std::size_t kReadChunk = 64 * 1024;
} // namespace

void FramedSocket::readHeader()
{
    auto self = shared_from_this();
    socket_.async_read_some(asio::buffer(header_ + headerHave_, sizeof header_ - headerHave_),
                            [self](const asio::error_code &ec, std::size_t n) {
                                if (self->ended_)
                                    return;
                                if (ec)
                                    return self->fail(ec);
                                self->onHeaderBytes(n);
                            });
}

void FramedSocket::onHeaderBytes(std::size_t n)
{
    if (headerHave_ == 0 && n > 0)
        frameStarted();
    headerHave_ += n;
    if (headerHave_ < sizeof header_)
        return readHeader();
    headerHave_ = 0;
    const std::size_t size = (std::size_t(header_[0]) << 24) | (std::size_t(header_[1]) << 16) |
                             (std::size_t(header_[2]) << 8) | std::size_t(header_[3]);
    if (size > maxFrame_) {
        end(EndReason::ProtocolError, "frame of " + std::to_string(size) +
                                          " bytes exceeds the limit of " +
                                          std::to_string(maxFrame_));
        return;
    }
    bodySize_ = size;
    bodyHave_ = 0;
    body_.clear();
    onBodyBytes(0);
}

void FramedSocket::readBody()
{
    const std::size_t chunk = std::min(kReadChunk, bodySize_ - bodyHave_);
    body_.resize(bodyHave_ + chunk);
    auto self = shared_from_this();
    socket_.async_read_some(asio::buffer(&body_[bodyHave_], chunk),
                            [self](const asio::error_code &ec, std::size_t n) {
                                if (self->ended_)
                                    return;
                                if (ec)
                                    return self->fail(ec);
                                self->onBodyBytes(n);
                            });
}

void FramedSocket::onBodyBytes(std::size_t n)
{
    bodyHave_ += n;
    body_.resize(bodyHave_);
    if (bodyHave_ < bodySize_)
        return readBody();
    ++framesDone_;
    if (frameTimer_)
        frameTimer_->cancel();
    std::string body;
    body.swap(body_);
    if (handlers_.frame)
        handlers_.frame(std::move(body));
    // The frame handler may have ended the socket.
    if (!ended_)
        readHeader();
}

void FramedSocket::frameStarted()
{
    if (frameTimeout_.count() <= 0)
        return;
    if (!frameTimer_)
        frameTimer_ = std::make_unique<asio::steady_timer>(socket_.get_executor());
    frameTimer_->expires_after(frameTimeout_);
    std::weak_ptr<FramedSocket> weak = shared_from_this();
    frameTimer_->async_wait([weak, frame = framesDone_](const asio::error_code &ec) {
        auto self = weak.lock();
        if (ec || !self || self->ended_ || self->framesDone_ != frame)
            return;
        self->end(EndReason::ProtocolError,
                  "incomplete frame after " + std::to_string(self->frameTimeout_.count()) + " ms");
    });
}

bool FramedSocket::send(const std::string &body)
{
    if (ended_ || closeWhenFlushed_ || body.size() > maxFrame_)
        return false;
    queue_.push_back(encodeFrame(body));
    queued_ += queue_.back().size();
    if (queued_ > maxQueued_) {
        end(EndReason::NetworkError, "peer fell behind: over " + std::to_string(maxQueued_) +
                                         " bytes waiting to be written");
        return false;
    }
    if (!writing_)
        writeNext();
    return true;
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
                          self->queued_ -= self->queue_.front().size();
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
    queued_ = 0;
    std::string().swap(body_);
    if (frameTimer_)
        frameTimer_->cancel();
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
