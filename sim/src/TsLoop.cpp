#include "TsLoop.h"

#include <algorithm>

namespace ardix::sim {

namespace {

constexpr std::uint8_t kSync = 0x47;
constexpr std::int64_t kTimeMask = (std::int64_t(1) << 33) - 1;

int pidOf(const std::uint8_t *p)
{
    return ((p[1] & 0x1f) << 8) | p[2];
}

bool unitStart(const std::uint8_t *p)
{
    return (p[1] & 0x40) != 0;
}

bool hasAdaptation(const std::uint8_t *p)
{
    return (p[3] & 0x20) != 0;
}

bool hasPayload(const std::uint8_t *p)
{
    return (p[3] & 0x10) != 0;
}

// Offset of the payload within the packet, or 0 when there is none.
std::size_t payloadStart(const std::uint8_t *p)
{
    if (!hasPayload(p))
        return 0;
    const std::size_t start = hasAdaptation(p) ? 5 + std::size_t(p[4]) : 4;
    return start < TsLoop::kPacketSize ? start : 0;
}

bool startsPes(const std::uint8_t *p, std::size_t at)
{
    return at != 0 && at + 9 <= TsLoop::kPacketSize && p[at] == 0 && p[at + 1] == 0 &&
           p[at + 2] == 1;
}

std::int64_t readTimestamp(const std::uint8_t *t)
{
    return (std::int64_t(t[0] & 0x0e) << 29) | (std::int64_t(t[1]) << 22) |
           (std::int64_t(t[2] & 0xfe) << 14) | (std::int64_t(t[3]) << 7) | (t[4] >> 1);
}

void writeTimestamp(std::uint8_t *t, std::int64_t value)
{
    value &= kTimeMask;
    t[0] = static_cast<std::uint8_t>((t[0] & 0xf1) | ((value >> 29) & 0x0e));
    t[1] = static_cast<std::uint8_t>(value >> 22);
    t[2] = static_cast<std::uint8_t>(((value >> 14) & 0xfe) | 1);
    t[3] = static_cast<std::uint8_t>(value >> 7);
    t[4] = static_cast<std::uint8_t>(((value << 1) & 0xfe) | 1);
}

// The PTS of a PES that starts at `at`, if it carries one.
std::optional<std::int64_t> pesTime(const std::uint8_t *p, std::size_t at)
{
    if (!startsPes(p, at) || (p[at + 7] & 0x80) == 0 || at + 14 > TsLoop::kPacketSize)
        return std::nullopt;
    return readTimestamp(p + at + 9);
}

// A keyframe is marked by the random-access flag, or shows an SPS or IDR slice early on.
bool isKeyframe(const std::uint8_t *p, std::size_t at)
{
    if (hasAdaptation(p) && p[4] > 0 && (p[5] & 0x40) != 0)
        return true;
    const std::size_t es = at + 9 + p[at + 8];
    for (std::size_t i = es; i + 3 < TsLoop::kPacketSize; ++i) {
        if (p[i] == 0 && p[i + 1] == 0 && p[i + 2] == 1) {
            const int type = p[i + 3] & 0x1f;
            if (type == 5 || type == 7)
                return true;
        }
    }
    return false;
}

} // namespace

std::optional<TsLoop> TsLoop::fromBytes(std::string bytes, std::string &error)
{
    TsLoop loop;
    if (bytes.empty() || bytes.size() % kPacketSize != 0) {
        error = "not a stream of 188-byte packets";
        return std::nullopt;
    }
    const auto *data = reinterpret_cast<const std::uint8_t *>(bytes.data());
    std::vector<std::int64_t> pts;
    for (std::size_t off = 0; off < bytes.size(); off += kPacketSize) {
        const std::uint8_t *p = data + off;
        if (p[0] != kSync) {
            error = "lost packet sync at byte " + std::to_string(off);
            return std::nullopt;
        }
        const std::size_t at = payloadStart(p);
        if (!unitStart(p) || !startsPes(p, at) || (p[at + 3] & 0xf0) != 0xe0)
            continue;
        if (loop.videoPid_ < 0)
            loop.videoPid_ = pidOf(p);
        if (pidOf(p) != loop.videoPid_)
            continue;
        const auto time = pesTime(p, at);
        if (!time) {
            error = "a video frame without a time stamp";
            return std::nullopt;
        }
        loop.frames_.push_back({off, 0, 0, isKeyframe(p, at)});
        pts.push_back(*time);
    }
    if (loop.frames_.size() < 2 || !loop.frames_.front().key) {
        error = "no video, or the video does not start with a keyframe";
        return std::nullopt;
    }
    for (std::size_t i = 0; i < loop.frames_.size(); ++i) {
        auto &f = loop.frames_[i];
        f.size =
            (i + 1 < loop.frames_.size() ? loop.frames_[i + 1].offset : bytes.size()) - f.offset;
        f.time = (pts[i] - pts.front()) & kTimeMask;
    }
    for (std::size_t off = 0; off < loop.frames_.front().offset; off += kPacketSize) {
        if (pidOf(data + off) == 0)
            loop.header_.push_back(off);
    }
    for (std::size_t off = 0; off < loop.frames_.front().offset; off += kPacketSize) {
        if (pidOf(data + off) != 0)
            loop.header_.push_back(off);
    }
    const std::int64_t last = loop.frames_.back().time;
    const std::int64_t step = last / std::int64_t(loop.frames_.size() - 1);
    loop.duration_ = last + std::max<std::int64_t>(step, 1);
    loop.bytes_ = std::move(bytes);
    return loop;
}

std::size_t TsLoop::keyframeAtOrBefore(std::int64_t time) const
{
    std::size_t found = 0;
    for (std::size_t i = 0; i < frames_.size() && frames_[i].time <= time; ++i) {
        if (frames_[i].key)
            found = i;
    }
    return found;
}

std::string TsLoop::accessUnit(std::size_t frame) const
{
    std::string out;
    const Frame &f = frames_.at(frame);
    const auto *data = reinterpret_cast<const std::uint8_t *>(bytes_.data());
    for (std::size_t off = f.offset; off + kPacketSize <= f.offset + f.size; off += kPacketSize) {
        const std::uint8_t *p = data + off;
        std::size_t at = payloadStart(p);
        if (pidOf(p) != videoPid_ || at == 0)
            continue;
        if (unitStart(p) && startsPes(p, at))
            at += 9 + std::size_t(p[at + 8]);
        if (at < kPacketSize)
            out.append(reinterpret_cast<const char *>(p + at), kPacketSize - at);
    }
    return out;
}

TsRewriter::TsRewriter(const TsLoop &loop)
    : loop_(loop)
{}

void TsRewriter::append(std::size_t offset, std::size_t size, std::string &out)
{
    const std::size_t begin = out.size();
    out.append(loop_.bytes(), offset, size);
    for (std::size_t off = begin; off + TsLoop::kPacketSize <= out.size();
         off += TsLoop::kPacketSize) {
        auto *p = reinterpret_cast<std::uint8_t *>(&out[off]);
        const int pid = pidOf(p);
        if (hasPayload(p)) {
            p[3] = static_cast<std::uint8_t>((p[3] & 0xf0) | nextCounter_[pid]);
            nextCounter_[pid] = (nextCounter_[pid] + 1) & 0x0f;
        }
        if (shift_ == 0)
            continue;
        if (hasAdaptation(p) && p[4] >= 7 && (p[5] & 0x10) != 0) {
            std::int64_t base = (std::int64_t(p[6]) << 25) | (std::int64_t(p[7]) << 17) |
                                (std::int64_t(p[8]) << 9) | (std::int64_t(p[9]) << 1) |
                                (p[10] >> 7);
            base = (base + shift_) & kTimeMask;
            p[6] = static_cast<std::uint8_t>(base >> 25);
            p[7] = static_cast<std::uint8_t>(base >> 17);
            p[8] = static_cast<std::uint8_t>(base >> 9);
            p[9] = static_cast<std::uint8_t>(base >> 1);
            p[10] = static_cast<std::uint8_t>((p[10] & 0x7f) | ((base & 1) << 7));
        }
        const std::size_t at = payloadStart(p);
        if (pid != loop_.videoPid() || !unitStart(p) || !startsPes(p, at))
            continue;
        const std::uint8_t flags = p[at + 7];
        if ((flags & 0x80) != 0 && at + 14 <= TsLoop::kPacketSize)
            writeTimestamp(p + at + 9, readTimestamp(p + at + 9) + shift_);
        if ((flags & 0xc0) == 0xc0 && at + 19 <= TsLoop::kPacketSize)
            writeTimestamp(p + at + 14, readTimestamp(p + at + 14) + shift_);
    }
}

} // namespace ardix::sim
