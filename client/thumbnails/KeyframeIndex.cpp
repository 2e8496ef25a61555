#include "KeyframeIndex.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace {

// Reads the head of a file from memory; the rest of the file reads as its end, while its
// size is the whole file's, so that the demuxer finds its index and never the video.
struct HeadReader
{
    const QByteArray *head = nullptr;
    qint64 totalSize = 0;
    qint64 pos = 0;

    static int read(void *opaque, uint8_t *buffer, int size)
    {
        auto *self = static_cast<HeadReader *>(opaque);
        const qint64 left = self->head->size() - self->pos;
        if (left <= 0)
            return AVERROR_EOF;
        const int n = int(std::min<qint64>(left, size));
        std::memcpy(buffer, self->head->constData() + self->pos, size_t(n));
        self->pos += n;
        return n;
    }

    static int64_t seek(void *opaque, int64_t offset, int whence)
    {
        auto *self = static_cast<HeadReader *>(opaque);
        if (whence & AVSEEK_SIZE)
            return self->totalSize;
        switch (whence & ~AVSEEK_FORCE) {
        case SEEK_SET:
            break;
        case SEEK_CUR:
            offset += self->pos;
            break;
        case SEEK_END:
            offset += self->totalSize;
            break;
        default:
            return AVERROR(EINVAL);
        }
        if (offset < 0 || offset > self->totalSize)
            return AVERROR(EINVAL);
        self->pos = offset;
        return offset;
    }
};

} // namespace

qint64 KeyframeIndex::headNeeded(const QByteArray &head, qint64 maxHead)
{
    qint64 pos = 0;
    bool first = true;
    while (pos + 8 <= head.size()) {
        const auto *p = reinterpret_cast<const uchar *>(head.constData() + pos);
        qint64 size = qFromBigEndian<quint32>(p);
        const QByteArray type(head.constData() + pos + 4, 4);
        if (first && type != "ftyp")
            return -1;
        first = false;
        if (size == 1) {
            if (pos + 16 > head.size())
                return 0;
            size = qint64(qFromBigEndian<quint64>(p + 8));
        }
        if (size < 8)
            return -1;
        if (type == "moov")
            return pos + size <= maxHead ? pos + size : -1;
        // The video before the index: the index is not at the head.
        if (type == "mdat")
            return -1;
        pos += size;
    }
    return pos < maxHead ? 0 : -1;
}

KeyframeIndex::HeadStep KeyframeIndex::nextHeadStep(const QByteArray &head, qint64 total)
{
    const qint64 needed = headNeeded(head, maxHead);
    if (needed < 0 || (needed == 0 && head.size() >= total))
        return {HeadStep::NoIndex, 0, -1};
    if (needed == 0 || needed > head.size())
        return {HeadStep::Read, needed, std::max<qint64>(head.size() + headStep, needed) - 1};
    return {HeadStep::Parse, needed, -1};
}

std::shared_ptr<const KeyframeIndex> KeyframeIndex::parse(const QByteArray &head, qint64 totalSize,
                                                          QString *error)
{
    HeadReader reader{&head, std::max<qint64>(totalSize, head.size()), 0};
    constexpr int kBufferSize = 64 * 1024;
    auto *buffer = static_cast<unsigned char *>(av_malloc(kBufferSize));
    AVIOContext *io = buffer ? avio_alloc_context(buffer, kBufferSize, 0, &reader,
                                                  &HeadReader::read, nullptr, &HeadReader::seek)
                             : nullptr;
    AVFormatContext *format = io ? avformat_alloc_context() : nullptr;
    const auto release = [&] {
        if (format)
            avformat_close_input(&format);
        if (io) {
            av_freep(&io->buffer);
            avio_context_free(&io);
        } else {
            av_free(buffer);
        }
    };
    if (!format) {
        *error = QStringLiteral("out of memory");
        release();
        return nullptr;
    }
    format->pb = io;
    format->flags |= AVFMT_FLAG_CUSTOM_IO;
    const AVInputFormat *mp4 = av_find_input_format("mp4");
    if (avformat_open_input(&format, nullptr, mp4, nullptr) < 0) {
        *error = QStringLiteral("the head of the recording is no MP4");
        format = nullptr; // freed by avformat_open_input on failure
        release();
        return nullptr;
    }
    const int video = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (video < 0) {
        *error = QStringLiteral("the recording holds no video");
        release();
        return nullptr;
    }
    AVStream *stream = format->streams[video];
    std::shared_ptr<KeyframeIndex> index(new KeyframeIndex);
    index->m_codec = avcodec_parameters_alloc();
    if (!index->m_codec || avcodec_parameters_copy(index->m_codec, stream->codecpar) < 0) {
        *error = QStringLiteral("out of memory");
        release();
        return nullptr;
    }
    const qint64 start = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
    const int entries = avformat_index_get_entries_count(stream);
    for (int i = 0; i < entries; ++i) {
        const AVIndexEntry *entry = avformat_index_get_entry(stream, i);
        if (!entry || !(entry->flags & AVINDEX_KEYFRAME) || entry->size <= 0 || entry->pos < 0 ||
            entry->pos + entry->size > totalSize)
            continue;
        const qint64 ms =
            av_rescale_q(entry->timestamp - start, stream->time_base, AVRational{1, 1000});
        index->m_keyframes.append(Keyframe{ms, entry->pos, entry->size});
    }
    release();
    std::sort(index->m_keyframes.begin(), index->m_keyframes.end(),
              [](const Keyframe &a, const Keyframe &b) { return a.ms < b.ms; });
    if (index->m_keyframes.isEmpty()) {
        *error = QStringLiteral("the recording's index lists no keyframe");
        return nullptr;
    }
    return index;
}

KeyframeIndex::~KeyframeIndex()
{
    avcodec_parameters_free(&m_codec);
}

KeyframeIndex::Keyframe KeyframeIndex::at(qint64 offsetMs) const
{
    if (m_keyframes.isEmpty())
        return {};
    auto it = std::upper_bound(m_keyframes.begin(), m_keyframes.end(), offsetMs,
                               [](qint64 ms, const Keyframe &k) { return ms < k.ms; });
    return it == m_keyframes.begin() ? m_keyframes.first() : *(it - 1);
}
