#include "wire/FramedSocket.h"

#include <algorithm>
#include <cstring>

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
    readMore();
}

namespace {
// Frames up to this size are carved out of one shared read buffer, many per read.
constexpr std::size_t kReadBuffer = 16 * 1024;
// Bytes read per step of a larger body: its buffer grows with what arrived, never with what a
// header merely announced.
constexpr std::size_t kReadChunk = 64 * 1024;
// While writes are held, a queue that reached this size is written anyway, so that the peer
// starts on a long burst while the rest of it is still being made.
constexpr std::size_t kWriteEarly = 64 * 1024;
// A write buffer that grew past this is given back once written.
constexpr std::size_t kKeepWriteBuffer = 1024 * 1024;

std::size_t frameLength(const char *header)
{
    const auto *h = reinterpret_cast<const unsigned char *>(header);
    return (std::size_t(h[0]) << 24) | (std::size_t(h[1]) << 16) | (std::size_t(h[2]) << 8) |
           std::size_t(h[3]);
}
} // namespace

void FramedSocket::readMore()
{
    if (inStart_ > 0) {
        std::memmove(&in_[0], in_.data() + inStart_, inEnd_ - inStart_);
        inEnd_ -= inStart_;
        inStart_ = 0;
    }
    if (in_.size() < inEnd_ + kReadBuffer)
        in_.resize(inEnd_ + kReadBuffer);
    auto self = shared_from_this();
    socket_.async_read_some(asio::buffer(&in_[inEnd_], in_.size() - inEnd_),
                            [self](const asio::error_code &ec, std::size_t n) {
                                if (self->ended_)
                                    return;
                                if (ec)
                                    return self->fail(ec);
                                self->onRead(n);
                            });
}

void FramedSocket::onRead(std::size_t n)
{
    inEnd_ += n;
    deliverFrames();
    if (ended_)
        return;
    if (inStart_ == inEnd_)
        inStart_ = inEnd_ = 0;
    // What is left is the start of a frame: from here it has frameTimeout_ to complete.
    if ((large_ || inEnd_ > inStart_) && !frameOpen_)
        frameStarted();
    if (large_)
        readLargeBody();
    else
        readMore();
}

void FramedSocket::deliverFrames()
{
    holdWrites();
    while (!ended_ && takeFrame()) {
    }
    releaseWrites();
}

bool FramedSocket::takeFrame()
{
    const std::size_t have = inEnd_ - inStart_;
    if (have < 4)
        return false;
    const std::size_t size = frameLength(in_.data() + inStart_);
    if (size > maxFrame_) {
        end(EndReason::ProtocolError, "frame of " + std::to_string(size) +
                                          " bytes exceeds the limit of " +
                                          std::to_string(maxFrame_));
        return false;
    }
    if (have - 4 < size) {
        if (size > kReadBuffer) {
            // Too large for the shared buffer: the rest of this frame is read into its own.
            body_.assign(in_.data() + inStart_ + 4, have - 4);
            bodySize_ = size;
            large_ = true;
            inStart_ = inEnd_ = 0;
        }
        return false;
    }
    std::string body(in_.data() + inStart_ + 4, size);
    inStart_ += 4 + size;
    frameDone();
    if (handlers_.frame)
        handlers_.frame(std::move(body));
    return true;
}

void FramedSocket::readLargeBody()
{
    const std::size_t had = body_.size();
    const std::size_t chunk = std::min(kReadChunk, bodySize_ - had);
    body_.resize(had + chunk);
    auto self = shared_from_this();
    socket_.async_read_some(asio::buffer(&body_[had], chunk),
                            [self, had](const asio::error_code &ec, std::size_t n) {
                                if (self->ended_)
                                    return;
                                if (ec)
                                    return self->fail(ec);
                                self->onLargeBytes(had, n);
                            });
}

void FramedSocket::onLargeBytes(std::size_t had, std::size_t n)
{
    body_.resize(had + n);
    if (body_.size() < bodySize_)
        return readLargeBody();
    large_ = false;
    frameDone();
    std::string body;
    body.swap(body_);
    holdWrites();
    if (handlers_.frame)
        handlers_.frame(std::move(body));
    releaseWrites();
    // The frame handler may have ended the socket.
    if (!ended_)
        readMore();
}

void FramedSocket::frameStarted()
{
    frameOpen_ = true;
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

void FramedSocket::frameDone()
{
    ++framesDone_;
    if (frameOpen_ && frameTimer_)
        frameTimer_->cancel();
    frameOpen_ = false;
}

bool FramedSocket::send(const std::string &body)
{
    if (ended_ || closeWhenFlushed_ || body.size() > maxFrame_)
        return false;
    const auto n = static_cast<std::uint32_t>(body.size());
    const char header[4] = {static_cast<char>((n >> 24) & 0xff),
                            static_cast<char>((n >> 16) & 0xff), static_cast<char>((n >> 8) & 0xff),
                            static_cast<char>(n & 0xff)};
    out_.append(header, sizeof header);
    out_.append(body);
    if (out_.size() + writingBuf_.size() > maxQueued_) {
        end(EndReason::NetworkError, "peer fell behind: over " + std::to_string(maxQueued_) +
                                         " bytes waiting to be written");
        return false;
    }
    if (!writing_ && (writeHolds_ == 0 || out_.size() >= kWriteEarly))
        writeNext();
    return true;
}

void FramedSocket::releaseWrites()
{
    if (--writeHolds_ == 0 && !writing_ && !ended_ && !out_.empty())
        writeNext();
}

void FramedSocket::writeNext()
{
    if (out_.empty()) {
        writing_ = false;
        if (closeWhenFlushed_)
            end(EndReason::LocalClose, "closed");
        return;
    }
    writing_ = true;
    writingBuf_.clear();
    writingBuf_.swap(out_);
    auto self = shared_from_this();
    asio::async_write(socket_, asio::buffer(writingBuf_),
                      [self](const asio::error_code &ec, std::size_t) {
                          if (self->ended_) {
                              std::string().swap(self->writingBuf_);
                              return;
                          }
                          if (ec)
                              return self->fail(ec);
                          if (self->writingBuf_.capacity() > kKeepWriteBuffer)
                              std::string().swap(self->writingBuf_);
                          self->writeNext();
                      });
}

void FramedSocket::closeAfterWrites()
{
    if (ended_)
        return;
    closeWhenFlushed_ = true;
    if (!writing_)
        writeNext();
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
    std::string().swap(out_);
    std::string().swap(in_);
    inStart_ = inEnd_ = 0;
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
