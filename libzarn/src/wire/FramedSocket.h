#pragma once

#include <asio.hpp>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace ardix::zarn::wire {

// Largest frame body either side accepts (and sends).
constexpr std::size_t kMaxFrameSize = 16u * 1024u * 1024u;
// Default bound of the bytes queued for writing: a peer that stops reading falls this far
// behind at most before its connection is dropped.
constexpr std::size_t kMaxQueuedBytes = 64u * 1024u * 1024u;

// A TCP socket that speaks length-prefixed frames: 4 bytes big-endian length, then the body.
// Used from one I/O thread only (both the library and the simulator run one per io_context).
// `closed` is reported exactly once, for whatever reason the socket ended first.
class FramedSocket : public std::enable_shared_from_this<FramedSocket>
{
public:
    enum class EndReason { PeerClosed, NetworkError, ProtocolError, LocalClose };
    struct Handlers
    {
        std::function<void(std::string &&body)> frame;
        std::function<void(EndReason reason, const std::string &text)> closed;
    };

    explicit FramedSocket(asio::ip::tcp::socket socket, std::size_t maxFrame = kMaxFrameSize);

    // Starts reading; frames and the end arrive through the handlers.
    void start(Handlers handlers);
    // Queues one frame; frames go out in call order. Ignored once the socket ended. A body
    // over the frame limit is not sent (false); a queue over its bound ends the socket.
    bool send(const std::string &body);
    // While held (calls nest), sent frames only queue; the last release writes them all at
    // once. Frames read together are delivered under such a hold, so the answers to a burst
    // of requests leave in one write rather than one write each.
    void holdWrites() { ++writeHolds_; }
    void releaseWrites();
    // Bounds the bytes waiting to be written; see kMaxQueuedBytes.
    void setMaxQueuedBytes(std::size_t bytes) { maxQueued_ = bytes; }
    // Ends the socket when a frame, once begun, is not complete within `timeout` (0: never).
    void setFrameTimeout(std::chrono::milliseconds timeout) { frameTimeout_ = timeout; }
    // Ends the socket after the frames already queued are written (or failed).
    void closeAfterWrites();
    // Ends the socket now with the given reason; frames still queued are dropped.
    void end(EndReason reason, const std::string &text);

    bool isOpen() const { return !ended_; }
    asio::ip::tcp::socket &socket() { return socket_; }
    std::string peer() const { return peer_; }

private:
    void readMore();
    void onRead(std::size_t n);
    void deliverFrames();
    bool takeFrame();
    void readLargeBody();
    void onLargeBytes(std::size_t had, std::size_t n);
    void frameStarted();
    void frameDone();
    void writeNext();
    void fail(const asio::error_code &ec);

    asio::ip::tcp::socket socket_;
    std::size_t maxFrame_;
    Handlers handlers_;
    // Bytes read and not yet delivered are in_[inStart_, inEnd_): one read brings as many
    // small frames as have arrived. A frame larger than that buffer is read into body_ alone.
    std::string in_;
    std::size_t inStart_ = 0;
    std::size_t inEnd_ = 0;
    std::size_t bodySize_ = 0;
    std::string body_;
    bool large_ = false;
    // Frames queued while a write is under way are written together by the next one.
    std::string out_;
    std::string writingBuf_;
    std::size_t maxQueued_ = kMaxQueuedBytes;
    int writeHolds_ = 0;
    std::chrono::milliseconds frameTimeout_{0};
    std::unique_ptr<asio::steady_timer> frameTimer_;
    std::uint64_t framesDone_ = 0;
    bool frameOpen_ = false;
    bool writing_ = false;
    bool closeWhenFlushed_ = false;
    bool ended_ = false;
    std::string peer_;
};

// The 4-byte big-endian length prefix followed by the body.
std::string encodeFrame(const std::string &body);

} // namespace ardix::zarn::wire
