#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

class KeyframeIndex;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

// Decodes keyframes of one recording, one after another, into small grey pictures (an eighth
// of the video's width and height, at least 16 pixels wide), the picture a motion search
// compares. Each keyframe decodes on its own: no frame between them is needed. One decoder
// per thread; the pictures of a recording all have the same size.
class MotionDecoder
{
public:
    // The grey picture of a recording `videoWidth` wide: an eighth of it, at least 16.
    static int pictureWidth(int videoWidth);

    explicit MotionDecoder(const KeyframeIndex &index);
    ~MotionDecoder();
    MotionDecoder(const MotionDecoder &) = delete;
    MotionDecoder &operator=(const MotionDecoder &) = delete;

    // Whether the recording's video is H.264 and its decoder opened; why not in error().
    bool isOpen() const { return m_open; }
    QString error() const { return m_error; }
    int width() const { return m_width; }
    int height() const { return m_height; }

    // The grey picture (width() x height() bytes) of one keyframe's bytes; empty, with the
    // reason in error(), when they do not decode.
    QByteArray decode(const char *data, int size);

private:
    AVCodecContext *m_context = nullptr;
    AVFrame *m_frame = nullptr;
    AVPacket *m_packet = nullptr;
    SwsContext *m_scale = nullptr;
    int m_width = 0;
    int m_height = 0;
    bool m_open = false;
    QString m_error;
};
