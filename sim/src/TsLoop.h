#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ardix::sim {

// A prepared MPEG-TS file of H.264 video that is played as an endless loop: its packets are
// indexed by video frame (where each frame's packets start, its time, whether it is a
// keyframe), so that a live connection can start on a keyframe and be paced frame by frame.
class TsLoop
{
public:
    static constexpr std::size_t kPacketSize = 188;
    static constexpr std::int64_t kClock = 90000; // ticks per second of PTS and PCR bases

    struct Frame
    {
        std::size_t offset = 0; // first byte of the packet that starts the frame
        std::size_t size = 0;   // bytes up to the next frame's first packet
        std::int64_t time = 0;  // ticks since the loop's first frame
        bool key = false;
    };

    // Indexes a whole file; nothing (and `error` set) when it is not a loopable stream of
    // 188-byte packets with a keyframe first.
    static std::optional<TsLoop> fromBytes(std::string bytes, std::string &error);

    const std::string &bytes() const { return bytes_; }
    // Offsets of the packets before the first frame, the program association table first and
    // then the others in file order (PMT, SDT): what a player needs before any video.
    const std::vector<std::size_t> &headerPackets() const { return header_; }
    const std::vector<Frame> &frames() const { return frames_; }
    std::int64_t duration() const { return duration_; }
    int videoPid() const { return videoPid_; }
    // The index of the last keyframe at or before `time` (ticks into the loop).
    std::size_t keyframeAtOrBefore(std::int64_t time) const;
    // The H.264 of one frame as it was encoded (Annex B start codes), out of its transport and
    // PES headers: what an RTP packetiser takes.
    std::string accessUnit(std::size_t frame) const;

private:
    std::string bytes_;
    std::vector<Frame> frames_;
    std::vector<std::size_t> header_;
    std::int64_t duration_ = 0;
    int videoPid_ = -1;
};

// Copies a TsLoop's packets for one connection, so that the loop plays as one endless stream:
// continuity counters follow on per PID across the wrap, and every time stamp (PCR, PTS, DTS)
// of the n-th pass is moved on by n loop durations.
class TsRewriter
{
public:
    explicit TsRewriter(const TsLoop &loop);

    // Appends the packets of bytes [offset, offset + size) of the loop, rewritten, to out.
    void append(std::size_t offset, std::size_t size, std::string &out);
    // Called when the loop starts over: later time stamps are one loop duration further on.
    void wrap() { shift_ += loop_.duration(); }

private:
    const TsLoop &loop_;
    std::int64_t shift_ = 0;
    std::array<std::uint8_t, 8192> nextCounter_{};
};

} // namespace ardix::sim
