#include "TimelineThumbnails.h"

#include "ContentRange.h"
#include "KeyframeIndex.h"
#include "ThumbnailCache.h"
#include "ThumbnailDecoder.h"

#include <QCoreApplication>
#include <QDebug>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QQmlEngine>
#include <QSet>
#include <QThreadPool>

namespace {

void registerTimelineThumbnails()
{
    qmlRegisterType<TimelineThumbnails>("Native", 1, 0, "TimelineThumbnails");
}

// A keyframe larger than this is no keyframe of a camera's recording.
constexpr int kMaxKeyframe = 8 * 1024 * 1024;
// Recordings whose index is kept.
constexpr int kMaxRecordings = 16;
constexpr int kTimeoutMs = 10000;

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerTimelineThumbnails)

// Every instance's pictures, indexes and failed recordings, on the GUI thread only.
struct TimelineThumbnails::Known
{
    ThumbnailCache pictures{256};
    QHash<QString, std::shared_ptr<const KeyframeIndex>> indexes;
    QSet<QString> failed;
};

std::shared_ptr<TimelineThumbnails::Known> TimelineThumbnails::sharedKnown()
{
    // Kept while an instance lives: the last one gone, what was known goes with it.
    static std::weak_ptr<Known> shared;
    std::shared_ptr<Known> known = shared.lock();
    if (!known) {
        known = std::make_shared<Known>();
        shared = known;
    }
    return known;
}

TimelineThumbnails::TimelineThumbnails(QObject *parent)
    : QObject(parent)
    , m_known(sharedKnown())
{}

TimelineThumbnails::~TimelineThumbnails()
{
    if (m_reply)
        m_reply->abort();
}

bool TimelineThumbnails::refuses(const QString &url) const
{
    return m_known->failed.contains(url);
}

std::shared_ptr<const KeyframeIndex> TimelineThumbnails::indexOf(const QString &url) const
{
    return m_known->indexes.value(url);
}

void TimelineThumbnails::keepIndex(const QString &url, std::shared_ptr<const KeyframeIndex> index)
{
    QHash<QString, std::shared_ptr<const KeyframeIndex>> &indexes = m_known->indexes;
    // Bounded: the indexes of other recordings go when too many are kept.
    while (indexes.size() >= kMaxRecordings) {
        auto other = indexes.begin();
        if (other.key() == url)
            ++other;
        indexes.erase(other);
    }
    indexes.insert(url, std::move(index));
}

void TimelineThumbnails::show(const QString &url, qint64 offsetMs)
{
    m_wantedUrl = url;
    m_wantedOffset = std::max<qint64>(0, offsetMs);
    if (!m_busy)
        next();
}

void TimelineThumbnails::clear()
{
    m_wantedUrl.clear();
    m_wantedOffset = -1;
    setImage(QImage(), -1);
}

void TimelineThumbnails::setImage(const QImage &image, qint64 offset)
{
    if (image.isNull() && m_image.isNull() && offset == m_imageOffset)
        return;
    m_image = image;
    m_imageOffset = offset;
    emit imageChanged();
}

void TimelineThumbnails::next()
{
    m_busy = false;
    const QString url = m_wantedUrl;
    if (url.isEmpty())
        return;
    if (refuses(url)) {
        setImage(QImage(), -1);
        return;
    }
    const std::shared_ptr<const KeyframeIndex> index = indexOf(url);
    if (!index) {
        const qint64 from = m_heads.value(url).bytes.size();
        fetchHead(url, from, from + KeyframeIndex::headStep - 1);
        return;
    }
    const KeyframeIndex::Keyframe keyframe = index->at(m_wantedOffset);
    const QString key = url + QLatin1Char('#') + QString::number(keyframe.pos);
    const QImage cached = m_known->pictures.take(key);
    if (!cached.isNull()) {
        setImage(cached, keyframe.ms);
        return;
    }
    if (keyframe.size > kMaxKeyframe) {
        fail(url, QStringLiteral("a keyframe of %1 bytes").arg(keyframe.size));
        return;
    }
    fetchKeyframe(url, index, keyframe);
}

void TimelineThumbnails::fetchHead(const QString &url, qint64 from, qint64 to)
{
    m_busy = true;
    QNetworkRequest request{QUrl(url)};
    request.setRawHeader("Range", QStringLiteral("bytes=%1-%2").arg(from).arg(to).toLatin1());
    request.setTransferTimeout(kTimeoutMs);
    m_reply = m_network.get(request);
    QNetworkReply *reply = m_reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply, url] {
        reply->deleteLater();
        headArrived(reply, url);
    });
}

void TimelineThumbnails::headArrived(QNetworkReply *reply, const QString &url)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    Head &head = m_heads[url];
    const ContentRange range = ContentRange::of(reply);
    const qint64 total = range.total;
    if (reply->error() != QNetworkReply::NoError || status != 206 || total <= 0 ||
        range.start != head.bytes.size()) {
        m_heads.remove(url);
        fail(url, QStringLiteral("the gateway answered %1 (%2) to a range of its head")
                      .arg(status)
                      .arg(reply->errorString()));
        return;
    }
    head.totalSize = total;
    head.bytes += reply->readAll();
    const KeyframeIndex::HeadStep step = KeyframeIndex::nextHeadStep(head.bytes, total);
    if (step.kind == KeyframeIndex::HeadStep::NoIndex) {
        m_heads.remove(url);
        fail(url, QStringLiteral("no index at the head of the recording"));
        return;
    }
    if (step.kind == KeyframeIndex::HeadStep::Read) {
        fetchHead(url, head.bytes.size(), step.to);
        return;
    }
    QString why;
    std::shared_ptr<const KeyframeIndex> index =
        KeyframeIndex::parse(head.bytes.left(int(step.needed)), total, &why);
    m_heads.remove(url);
    if (!index) {
        fail(url, why);
        return;
    }
    keepIndex(url, std::move(index));
    next();
}

void TimelineThumbnails::fetchKeyframe(const QString &url,
                                       const std::shared_ptr<const KeyframeIndex> &index,
                                       const KeyframeIndex::Keyframe &keyframe)
{
    m_busy = true;
    QNetworkRequest request{QUrl(url)};
    request.setRawHeader("Range", QStringLiteral("bytes=%1-%2")
                                      .arg(keyframe.pos)
                                      .arg(keyframe.pos + keyframe.size - 1)
                                      .toLatin1());
    request.setTransferTimeout(kTimeoutMs);
    m_reply = m_network.get(request);
    QNetworkReply *reply = m_reply;
    // The index it was read from decodes it, though other recordings' may have pushed it out.
    connect(reply, &QNetworkReply::finished, this, [this, reply, url, index, keyframe] {
        reply->deleteLater();
        keyframeArrived(reply, url, index, keyframe);
    });
}

void TimelineThumbnails::keyframeArrived(QNetworkReply *reply, const QString &url,
                                         const std::shared_ptr<const KeyframeIndex> &index,
                                         const KeyframeIndex::Keyframe &keyframe)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray bytes = reply->readAll();
    const qint64 ms = keyframe.ms;
    if (reply->error() != QNetworkReply::NoError || status != 206 ||
        ContentRange::of(reply).start != keyframe.pos) {
        fail(url, QStringLiteral("the gateway answered %1 (%2) to a keyframe's range")
                      .arg(status)
                      .arg(reply->errorString()));
        return;
    }
    const QString key = url + QLatin1Char('#') + QString::number(keyframe.pos);
    const QPointer<TimelineThumbnails> self(this);
    // Decoding takes milliseconds: on the thread pool, the picture posted back.
    QThreadPool::globalInstance()->start([self, index, bytes, key, ms] {
        QString why;
        const QImage picture = ThumbnailDecoder::decode(*index, bytes, pictureWidth, &why);
        // Posted to the application, on the GUI thread: whether this object still lives is
        // asked there, never here.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, key, ms, picture, why] {
                if (self)
                    self->pictureDecoded(key, ms, picture, why);
            },
            Qt::QueuedConnection);
    });
}

void TimelineThumbnails::pictureDecoded(const QString &key, qint64 ms, const QImage &picture,
                                        const QString &why)
{
    const QString url = key.section(QLatin1Char('#'), 0, -2);
    if (picture.isNull()) {
        fail(url, why);
        return;
    }
    m_known->pictures.put(key, picture);
    // Shown while it is still what is wanted; else the next wanted moment is fetched.
    const std::shared_ptr<const KeyframeIndex> index = indexOf(url);
    if (url == m_wantedUrl && index && index->at(m_wantedOffset).ms == ms)
        setImage(picture, ms);
    next();
}

void TimelineThumbnails::fail(const QString &url, const QString &why)
{
    qWarning().noquote() << "No timeline picture of" << url << "-" << why;
    QSet<QString> &refused = m_known->failed;
    if (refused.size() > 64)
        refused.clear();
    refused.insert(url);
    emit failed(url, why);
    if (url == m_wantedUrl)
        setImage(QImage(), -1);
    m_busy = false;
    if (!m_wantedUrl.isEmpty() && m_wantedUrl != url)
        next();
}
