#include "ThumbnailDecoder.h"

#include "KeyframeIndex.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <memory>

namespace {

struct CodecFree
{
    void operator()(AVCodecContext *c) const { avcodec_free_context(&c); }
};
struct FrameFree
{
    void operator()(AVFrame *f) const { av_frame_free(&f); }
};
struct PacketFree
{
    void operator()(AVPacket *p) const { av_packet_free(&p); }
};

} // namespace

QImage ThumbnailDecoder::decode(const KeyframeIndex &index, const QByteArray &keyframe, int width,
                                QString *error)
{
    const AVCodecParameters *parameters = index.codec();
    const AVCodec *codec = parameters ? avcodec_find_decoder(parameters->codec_id) : nullptr;
    if (!codec || keyframe.isEmpty() || width < 1) {
        *error = QStringLiteral("nothing to decode");
        return {};
    }
    std::unique_ptr<AVCodecContext, CodecFree> context(avcodec_alloc_context3(codec));
    std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    if (!context || !frame || !packet ||
        avcodec_parameters_to_context(context.get(), parameters) < 0) {
        *error = QStringLiteral("out of memory");
        return {};
    }
    context->thread_count = 1;
    if (avcodec_open2(context.get(), codec, nullptr) < 0 ||
        av_new_packet(packet.get(), int(keyframe.size())) < 0) {
        *error = QStringLiteral("the decoder did not open");
        return {};
    }
    memcpy(packet->data, keyframe.constData(), size_t(keyframe.size()));
    packet->flags |= AV_PKT_FLAG_KEY;
    int got = -1;
    if (avcodec_send_packet(context.get(), packet.get()) >= 0 &&
        avcodec_send_packet(context.get(), nullptr) >= 0)
        got = avcodec_receive_frame(context.get(), frame.get());
    if (got < 0 || frame->width < 1 || frame->height < 1 || frame->width > 16384 ||
        frame->height > 16384) {
        *error = QStringLiteral("the keyframe did not decode");
        return {};
    }
    const int height = std::max(1, int(qint64(width) * frame->height / frame->width));
    QImage image(width, height, QImage::Format_RGB32);
    SwsContext *scale =
        sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format), width, height,
                       AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!scale || image.isNull()) {
        sws_freeContext(scale);
        *error = QStringLiteral("the picture could not be scaled");
        return {};
    }
    uint8_t *planes[4] = {image.bits(), nullptr, nullptr, nullptr};
    int strides[4] = {int(image.bytesPerLine()), 0, 0, 0};
    sws_scale(scale, frame->data, frame->linesize, 0, frame->height, planes, strides);
    sws_freeContext(scale);
    return image;
}
