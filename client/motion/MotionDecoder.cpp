#include "MotionDecoder.h"

#include "KeyframeIndex.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libswscale/swscale.h>
}

#include <cstring>

int MotionDecoder::pictureWidth(int videoWidth)
{
    return std::max(16, videoWidth / 8);
}

MotionDecoder::MotionDecoder(const KeyframeIndex &index)
{
    const AVCodecParameters *parameters = index.codec();
    if (!parameters || parameters->codec_id != AV_CODEC_ID_H264) {
        m_error = QStringLiteral("the recording is not H.264");
        return;
    }
    if (parameters->width < 16 || parameters->height < 16 || parameters->width > 16384 ||
        parameters->height > 16384) {
        m_error = QStringLiteral("the recording's picture size is not usable");
        return;
    }
    const AVCodec *codec = avcodec_find_decoder(parameters->codec_id);
    m_context = codec ? avcodec_alloc_context3(codec) : nullptr;
    m_frame = av_frame_alloc();
    m_packet = av_packet_alloc();
    if (!m_context || !m_frame || !m_packet ||
        avcodec_parameters_to_context(m_context, parameters) < 0) {
        m_error = QStringLiteral("out of memory");
        return;
    }
    // The search runs one decoder per thread of its own pool.
    m_context->thread_count = 1;
    if (avcodec_open2(m_context, codec, nullptr) < 0) {
        m_error = QStringLiteral("the decoder did not open");
        return;
    }
    m_width = pictureWidth(parameters->width);
    m_height = std::max(9, int(qint64(m_width) * parameters->height / parameters->width));
    m_open = true;
}

MotionDecoder::~MotionDecoder()
{
    sws_freeContext(m_scale);
    av_packet_free(&m_packet);
    av_frame_free(&m_frame);
    avcodec_free_context(&m_context);
}

QByteArray MotionDecoder::decode(const char *data, int size)
{
    if (!m_open || size <= 0) {
        m_error = QStringLiteral("nothing to decode");
        return {};
    }
    av_packet_unref(m_packet);
    if (av_new_packet(m_packet, size) < 0) {
        m_error = QStringLiteral("out of memory");
        return {};
    }
    std::memcpy(m_packet->data, data, size_t(size));
    m_packet->flags |= AV_PKT_FLAG_KEY;
    int got = -1;
    if (avcodec_send_packet(m_context, m_packet) >= 0 &&
        avcodec_send_packet(m_context, nullptr) >= 0)
        got = avcodec_receive_frame(m_context, m_frame);
    // Drained: the next keyframe starts afresh.
    avcodec_flush_buffers(m_context);
    if (got < 0 || m_frame->width < 16 || m_frame->height < 16 || m_frame->width > 16384 ||
        m_frame->height > 16384 || (m_frame->flags & AV_FRAME_FLAG_CORRUPT)) {
        av_frame_unref(m_frame);
        m_error = QStringLiteral("a keyframe did not decode");
        return {};
    }
    m_scale = sws_getCachedContext(m_scale, m_frame->width, m_frame->height,
                                   AVPixelFormat(m_frame->format), m_width, m_height,
                                   AV_PIX_FMT_GRAY8, SWS_AREA, nullptr, nullptr, nullptr);
    if (!m_scale) {
        av_frame_unref(m_frame);
        m_error = QStringLiteral("the picture could not be scaled");
        return {};
    }
    QByteArray grey(m_width * m_height, '\0');
    uint8_t *planes[4] = {reinterpret_cast<uint8_t *>(grey.data()), nullptr, nullptr, nullptr};
    int strides[4] = {m_width, 0, 0, 0};
    sws_scale(m_scale, m_frame->data, m_frame->linesize, 0, m_frame->height, planes, strides);
    av_frame_unref(m_frame);
    return grey;
}
