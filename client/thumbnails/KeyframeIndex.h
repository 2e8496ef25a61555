#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

#include <memory>

struct AVCodecParameters;

// Where the keyframes of one MP4 recording lie, read from the head of the file (its "moov"
// box, which a recording made with faststart carries before its video), and what decodes them.
// Lets one byte range of the recording fetch the keyframe at or before any moment.
class KeyframeIndex
{
public:
    struct Keyframe
    {
        qint64 ms = -1; // from the recording's start
        qint64 pos = 0; // byte offset in the file
        int size = 0;   // bytes
    };

    // How much of the file's head holds its "moov" box: its end, once the top-level boxes in
    // head reach it; 0 while head is too short to tell; -1 when head is no MP4 or its index is
    // not at its head (or larger than maxHead).
    static qint64 headNeeded(const QByteArray &head, qint64 maxHead);

    // A recording's head is read in steps of headStep bytes, up to maxHead: an index larger
    // than that (a recording of many hours) is not read.
    static constexpr qint64 headStep = 512 * 1024;
    static constexpr qint64 maxHead = 16 * 1024 * 1024;
    // What to do with the head read so far of a file of `total` bytes: parse its first `needed`
    // bytes, read on up to byte `to` (inclusive), or give up: no index at its head.
    struct HeadStep
    {
        enum Kind { Parse, Read, NoIndex } kind = NoIndex;
        qint64 needed = 0;
        qint64 to = -1;
    };
    static HeadStep nextHeadStep(const QByteArray &head, qint64 total);

    // The index read from the head of a file of totalSize bytes; null, with the reason in
    // error, when the head is no usable MP4 with one video stream.
    static std::shared_ptr<const KeyframeIndex> parse(const QByteArray &head, qint64 totalSize,
                                                      QString *error);

    ~KeyframeIndex();
    KeyframeIndex(const KeyframeIndex &) = delete;
    KeyframeIndex &operator=(const KeyframeIndex &) = delete;

    // The keyframe at or before offsetMs (the first one for a moment before it); ms -1 when
    // the recording has none.
    Keyframe at(qint64 offsetMs) const;
    int count() const { return m_keyframes.size(); }
    // Every keyframe, by time.
    const QVector<Keyframe> &keyframes() const { return m_keyframes; }
    // The video's decoder parameters (codec, size, its configuration bytes).
    const AVCodecParameters *codec() const { return m_codec; }

private:
    KeyframeIndex() = default;

    QVector<Keyframe> m_keyframes; // by time
    AVCodecParameters *m_codec = nullptr;
};
