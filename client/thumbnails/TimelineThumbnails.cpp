#include "TimelineThumbnails.h"

#include "KeyframeIndex.h"
#include "ThumbnailDecoder.h"

#include <QCoreApplication>
#include <QDebug>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QQmlEngine>
#include <QRegularExpression>
#include <QThreadPool>

namespace {

void registerTimelineThumbnails()
{
    qmlRegisterType<TimelineThumbnails>("Native", 1, 0, "TimelineThumbnails");
}

// The head is read in steps of this size, up to the limit: an index larger than that (a
// recording of many hours) gives no pictures.
constexpr qint64 kHeadStep = 512 * 1024;
constexpr qint64 kMaxHead = 16 * 1024 * 1024;
// A keyframe larger than this is no keyframe of a camera's recording.
constexpr int kMaxKeyframe = 8 * 1024 * 1024;
// Recordings whose index is kept.
constexpr int kMaxRecordings = 16;
constexpr int kTimeoutMs = 10000;

// "bytes N-M/SIZE": SIZE, or -1.
qint64 totalOf(const QNetworkReply *reply)
{
    static const QRegularExpression range(QStringLiteral("^bytes (\\d+)-(\\d+)/(\\d+)$"));
    const auto match =
        range.match(QString::fromLatin1(reply->rawHeader(QByteArrayLiteral("Content-Range"))));
    return match.hasMatch() ? match.captured(3).toLongLong() : -1;
}

qint64 rangeStart(const QNetworkReply *reply)
{
    static const QRegularExpression range(QStringLiteral("^bytes (\\d+)-"));
    const auto match =
        range.match(QString::fromLatin1(reply->rawHeader(QByteArrayLiteral("Content-Range"))));
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerTimelineThumbnails)

TimelineThumbnails::TimelineThumbnails(QObject *parent)
    : QObject(parent)
{}

TimelineThumbnails::~TimelineThumbnails()
{
    if (m_reply)
        m_reply->abort();
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
    if (m_failed.contains(url)) {
        setImage(QImage(), -1);
        return;
    }
    const auto known = m_recordings.constFind(url);
    if (known == m_recordings.constEnd() || !known->index) {
        const qint64 from = known == m_recordings.constEnd() ? 0 : known->head.size();
        fetchHead(url, from, from + kHeadStep - 1);
        return;
    }
    const KeyframeIndex::Keyframe keyframe = known->index->at(m_wantedOffset);
    const QString key = url + QLatin1Char('#') + QString::number(keyframe.pos);
    const QImage cached = m_pictures.take(key);
    if (!cached.isNull()) {
        setImage(cached, keyframe.ms);
        return;
    }
    if (keyframe.size > kMaxKeyframe) {
        fail(url, QStringLiteral("a keyframe of %1 bytes").arg(keyframe.size));
        return;
    }
    fetchKeyframe(url, keyframe.pos, keyframe.size);
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
    Recording &recording = m_recordings[url];
    const qint64 total = totalOf(reply);
    if (reply->error() != QNetworkReply::NoError || status != 206 || total <= 0 ||
        rangeStart(reply) != recording.head.size()) {
        m_recordings.remove(url);
        fail(url, QStringLiteral("the gateway answered %1 (%2) to a range of its head")
                      .arg(status)
                      .arg(reply->errorString()));
        return;
    }
    recording.totalSize = total;
    recording.head += reply->readAll();
    const qint64 needed = KeyframeIndex::headNeeded(recording.head, kMaxHead);
    if (needed < 0 || (needed == 0 && recording.head.size() >= total)) {
        m_recordings.remove(url);
        fail(url, QStringLiteral("no index at the head of the recording"));
        return;
    }
    if (needed == 0 || needed > recording.head.size()) {
        const qint64 from = recording.head.size();
        fetchHead(url, from, std::max(from + kHeadStep, needed) - 1);
        return;
    }
    QString why;
    recording.index = KeyframeIndex::parse(recording.head.left(int(needed)), total, &why);
    recording.head.clear();
    if (!recording.index) {
        m_recordings.remove(url);
        fail(url, why);
        return;
    }
    // Bounded: the indexes of other recordings go when too many are kept.
    while (m_recordings.size() > kMaxRecordings) {
        auto other = m_recordings.begin();
        if (other.key() == url)
            ++other;
        m_recordings.erase(other);
    }
    next();
}

void TimelineThumbnails::fetchKeyframe(const QString &url, qint64 pos, int size)
{
    m_busy = true;
    QNetworkRequest request{QUrl(url)};
    request.setRawHeader("Range",
                         QStringLiteral("bytes=%1-%2").arg(pos).arg(pos + size - 1).toLatin1());
    request.setTransferTimeout(kTimeoutMs);
    m_reply = m_network.get(request);
    QNetworkReply *reply = m_reply;
    const qint64 ms = m_recordings.value(url).index->at(m_wantedOffset).ms;
    connect(reply, &QNetworkReply::finished, this, [this, reply, url, pos, ms] {
        reply->deleteLater();
        keyframeArrived(reply, url, pos, ms);
    });
}

void TimelineThumbnails::keyframeArrived(QNetworkReply *reply, const QString &url, qint64 pos,
                                         qint64 ms)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray bytes = reply->readAll();
    const std::shared_ptr<const KeyframeIndex> index = m_recordings.value(url).index;
    if (reply->error() != QNetworkReply::NoError || status != 206 || rangeStart(reply) != pos ||
        !index) {
        fail(url, QStringLiteral("the gateway answered %1 (%2) to a keyframe's range")
                      .arg(status)
                      .arg(reply->errorString()));
        return;
    }
    const QString key = url + QLatin1Char('#') + QString::number(pos);
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
    m_pictures.put(key, picture);
    // Shown while it is still what is wanted; else the next wanted moment is fetched.
    if (url == m_wantedUrl && m_recordings.contains(url) &&
        m_recordings.value(url).index->at(m_wantedOffset).ms == ms)
        setImage(picture, ms);
    next();
}

void TimelineThumbnails::fail(const QString &url, const QString &why)
{
    qWarning().noquote() << "No timeline picture of" << url << "-" << why;
    if (m_failed.size() > 64)
        m_failed.clear();
    m_failed.insert(url);
    emit failed(url, why);
    if (url == m_wantedUrl)
        setImage(QImage(), -1);
    m_busy = false;
    if (!m_wantedUrl.isEmpty() && m_wantedUrl != url)
        next();
}
