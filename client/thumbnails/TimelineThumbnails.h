#pragma once

#include "KeyframeIndex.h"

#include <QHash>
#include <QImage>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class QNetworkReply;

// The picture of a moment of a recording, for the timeline's hover: the keyframe at or before
// the moment, fetched with one HTTP byte range of the recording (its index, read once from the
// recording's head, says where) and decoded off the GUI thread, 160 pixels wide. Pictures and
// indexes are kept (bounded, least recently used first out), so going back over a stretch shows
// its pictures at once. Only the moment asked last is fetched: moments asked while one is on
// its way replace each other. A recording that cannot be read (refused, garbage) gives no
// picture and is not asked again for a while. What is known (pictures, indexes, recordings that
// failed) is shared by every instance: the hover's picture and the strip's pictures of the same
// timeline, or the timelines of two pages, fetch a recording's head and a keyframe once.
class TimelineThumbnails : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QImage image READ image NOTIFY imageChanged)
    // The moment (ms from the recording's start) of the keyframe image shows, -1 for none.
    Q_PROPERTY(qint64 imageOffset READ imageOffset NOTIFY imageChanged)

public:
    static constexpr int pictureWidth = 160;

    explicit TimelineThumbnails(QObject *parent = nullptr);
    ~TimelineThumbnails() override;

    QImage image() const { return m_image; }
    qint64 imageOffset() const { return m_imageOffset; }

    // Wants the picture of offsetMs into the recording at url (its address on the gateway).
    Q_INVOKABLE void show(const QString &url, qint64 offsetMs);
    // Wants no picture (the pointer left the timeline).
    Q_INVOKABLE void clear();
    // Whether the recording at url failed lately: it is not asked again for a while.
    bool refuses(const QString &url) const;

signals:
    void imageChanged();
    // The recording could not give a picture: why.
    void failed(const QString &url, const QString &why);

private:
    struct Known;
    // The head of a recording read so far, until its index can be parsed.
    struct Head
    {
        QByteArray bytes;
        qint64 totalSize = -1;
    };
    static std::shared_ptr<Known> sharedKnown();
    std::shared_ptr<const KeyframeIndex> indexOf(const QString &url) const;
    void keepIndex(const QString &url, std::shared_ptr<const KeyframeIndex> index);

    void next();
    void fetchHead(const QString &url, qint64 from, qint64 to);
    void headArrived(QNetworkReply *reply, const QString &url);
    void fetchKeyframe(const QString &url, const std::shared_ptr<const KeyframeIndex> &index,
                       const KeyframeIndex::Keyframe &keyframe);
    void keyframeArrived(QNetworkReply *reply, const QString &url,
                         const std::shared_ptr<const KeyframeIndex> &index,
                         const KeyframeIndex::Keyframe &keyframe);
    void pictureDecoded(const QString &key, qint64 ms, const QImage &picture, const QString &why);
    void fail(const QString &url, const QString &why);
    void setImage(const QImage &image, qint64 offset);

    QNetworkAccessManager m_network;
    QPointer<QNetworkReply> m_reply;
    bool m_busy = false;
    QString m_wantedUrl;
    qint64 m_wantedOffset = -1;
    QImage m_image;
    qint64 m_imageOffset = -1;
    QHash<QString, Head> m_heads;
    const std::shared_ptr<Known> m_known;
};
