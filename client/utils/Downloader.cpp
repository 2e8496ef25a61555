#include "Downloader.h"

#include "StreamAddress.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QQmlEngine>
#include <QTemporaryDir>
#include <QUrl>

#include <utility>

namespace {

void registerDownloader()
{
    qmlRegisterType<Downloader>("Native", 1, 0, "Downloader");
}

const QString kOutputName = QStringLiteral("recorder");
constexpr int kDefaultStallTimeout = 15000;
// What the network layer may hold for us before it stops reading from the gateway: without
// a bound, a gateway faster than the disk fills the memory.
constexpr qint64 kReadBufferSize = 1024 * 1024;
constexpr qint64 kUnknownSizeLimit = qint64(4) * 1024 * 1024 * 1024;

// One private folder per process, made with owner-only rights under the temporary-files
// location: a fixed name in the shared folder could be a link planted by another user, and
// two consoles would overwrite each other's recording.
QTemporaryDir &privateFolder()
{
    static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/ardix-client-XXXXXX"));
    return folder;
}

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerDownloader)

Downloader::Downloader(QObject *parent)
    : QObject(parent)
{
    m_stallTimer.setInterval(kDefaultStallTimeout);
    connect(&m_stallTimer, &QTimer::timeout, this, &Downloader::checkRate);
}

Downloader::~Downloader()
{
    dropCurrentManager();
}

QString Downloader::outputFilePath()
{
    QTemporaryDir &folder = privateFolder();
    if (!folder.isValid())
        return QString();
    return QDir(folder.path()).filePath(kOutputName);
}

void Downloader::setFilePath(const QString &filePath)
{
    if (m_filePath == filePath)
        return;
    m_filePath = filePath;
    emit filePathChanged();
}

void Downloader::setUrl(const QString &url)
{
    if (m_url == url)
        return;
    m_url = url;
    emit urlChanged();
}

void Downloader::setExpectedSize(qint64 size)
{
    if (m_expectedSize == size)
        return;
    m_expectedSize = size;
    emit expectedSizeChanged();
}

void Downloader::setStallTimeout(int milliseconds)
{
    if (milliseconds <= 0 || m_stallTimer.interval() == milliseconds)
        return;
    m_stallTimer.setInterval(milliseconds);
    emit stallTimeoutChanged();
}

qint64 Downloader::bytesTotal() const
{
    return m_announced > 0 ? m_announced : m_expectedSize;
}

qint64 Downloader::sizeLimit(qint64 expected)
{
    return expected > 0 ? expected + expected / 2 + 1024 * 1024 : kUnknownSizeLimit;
}

void Downloader::download()
{
    // The previous request, if any, ends here without a finished() of its own.
    const bool wasRunning = running();
    dropCurrentManager();
    m_writeError.clear();
    m_abortReason.clear();
    m_cancelling = false;
    m_received = m_announced = m_receivedAtCheck = 0;
    emit progressChanged();
    if (wasRunning)
        emit runningChanged();

    m_filePath = outputFilePath();
    if (!openFreshOutputFile()) {
        qWarning() << "Downloader: cannot create the output file:" << m_writeError;
        return finishEarly(QStringLiteral("Writing the recording failed: %1").arg(m_writeError));
    }
    const QUrl address(m_url, QUrl::TolerantMode);
    const QString scheme = address.scheme();
    if (!address.isValid() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        qWarning() << "Downloader: not an HTTP address:" << StreamAddress::redacted(m_url);
        return finishEarly(tr("Not an HTTP address"));
    }

    m_manager = new QNetworkAccessManager;
    connect(m_manager, &QNetworkAccessManager::finished, this, &Downloader::handleFinished);
    QNetworkRequest request(address);
    request.setRawHeader("User-Agent", "Ardix client");
    // A redirect answers with something other than the recording: it fails like any non-2xx.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    m_reply = m_manager->get(request);
    m_reply->setReadBufferSize(kReadBufferSize);
    connect(m_reply, &QNetworkReply::readyRead, this, &Downloader::handleReadyRead);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &Downloader::handleMetaData);
    m_stallTimer.start();
    emit runningChanged();
}

void Downloader::finishEarly(const QString &reason)
{
    m_file.close();
    QFile::remove(m_filePath);
    m_httpStatus = 0;
    m_wasCancelled = false;
    m_errorString = reason;
    m_succeeded = false;
    emit finished();
}

// Every download starts from an empty file that this process has just created: whatever
// stands at the name (an old file, a link, a folder) is removed first, and creation refuses
// to follow a link. When the name cannot be freed, a fresh name in the same folder is used
// rather than appending to old content.
bool Downloader::openFreshOutputFile()
{
    if (m_filePath.isEmpty()) {
        m_writeError = QStringLiteral("no private temporary folder");
        return false;
    }
    const QString folder = QFileInfo(m_filePath).absolutePath();
    QString candidate = m_filePath;
    for (int attempt = 1; attempt <= 100; ++attempt) {
        QFile::remove(candidate);
        m_file.setFileName(candidate);
        if (m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            m_file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
            m_filePath = candidate;
            return true;
        }
        candidate = QDir(folder).filePath(kOutputName + QStringLiteral("-%1").arg(attempt));
    }
    m_writeError = m_file.errorString();
    return false;
}

void Downloader::cancel()
{
    if (QNetworkReply *reply = m_reply) {
        // The network layer reports the aborted reply as finished at once: finished()
        // goes out (through handleFinished) before cancelled(), with wasCancelled set.
        m_cancelling = true;
        reply->abort();
        // A reply that had ended already, its end not yet delivered, reports nothing more.
        if (m_reply == reply)
            handleFinished(reply);
    }
    emit cancelled();
}

void Downloader::handleReadyRead()
{
    auto *reply = qobject_cast<QNetworkReply *>(sender());
    if (!reply)
        return;
    writeAvailable(reply);
}

void Downloader::handleMetaData()
{
    auto *reply = qobject_cast<QNetworkReply *>(sender());
    if (!reply || reply != m_reply)
        return;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && (status.toInt() < 200 || status.toInt() > 299)) {
        const QByteArray location = reply->rawHeader("Location");
        if (!location.isEmpty())
            qWarning() << "Downloader: redirect not followed, to" << location;
        return failAndAbort(tr("The gateway answered HTTP %1").arg(status.toInt()));
    }
    const qint64 announced = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
    if (announced > sizeLimit(m_expectedSize))
        return failAndAbort(tooMuch());
    m_announced = qMax<qint64>(announced, 0);
    emit progressChanged();
}

QString Downloader::tooMuch() const
{
    return tr("The gateway sent more than the recording holds (over %1 bytes)")
        .arg(sizeLimit(m_expectedSize));
}

void Downloader::writeAvailable(QNetworkReply *reply)
{
    if (!reply->isOpen())
        return;
    const QByteArray bytes = reply->readAll();
    if (bytes.isEmpty() || !m_writeError.isEmpty() || !m_abortReason.isEmpty() || reply != m_reply)
        return;
    if (m_received + bytes.size() > sizeLimit(m_expectedSize))
        return failAndAbort(tooMuch());
    m_received += bytes.size();
    emit progressChanged();
    // Flushed per chunk, so the file on disk is complete up to the last chunk received.
    if (!m_file.isOpen() || m_file.write(bytes) != bytes.size() || !m_file.flush()) {
        m_writeError = m_file.errorString();
        // A recording with a hole is no recording: the download ends as failed.
        if (reply->isRunning())
            reply->abort();
    }
}

// Too little in a whole period: the gateway has stopped, or trickles so slowly that the
// recording would never arrive.
void Downloader::checkRate()
{
    if (!m_reply)
        return m_stallTimer.stop();
    const int period = m_stallTimer.interval();
    const qint64 got = m_received - m_receivedAtCheck;
    m_receivedAtCheck = m_received;
    if (got >= minimumRate * period / 1000)
        return;
    failAndAbort(
        tr("The gateway stopped sending: %1 bytes in the last %2 s").arg(got).arg(period / 1000.0));
}

void Downloader::failAndAbort(const QString &reason)
{
    if (m_abortReason.isEmpty())
        m_abortReason = reason;
    qWarning() << "Downloader: stopping" << StreamAddress::redacted(m_url) << "-" << reason;
    // Queued: the network layer may still be inside the reply's own signal, where an abort
    // would make it report the end twice. Until then, what arrives is dropped.
    QMetaObject::invokeMethod(
        this,
        [this, reply = QPointer<QNetworkReply>(m_reply)] {
            if (reply && reply == m_reply && reply->isRunning() &&
                reply->error() == QNetworkReply::NoError)
                reply->abort();
        },
        Qt::QueuedConnection);
}

void Downloader::handleFinished(QNetworkReply *reply)
{
    writeAvailable(reply);
    reply->deleteLater();
    if (reply != m_reply)
        return;
    m_reply = nullptr;
    m_stallTimer.stop();
    m_file.close();

    m_httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    m_wasCancelled = std::exchange(m_cancelling, false);
    m_errorString = outcomeOf(reply);
    m_succeeded = m_errorString.isEmpty();
    // What a failed request left is no recording; a cancelled one keeps its part until the
    // next download.
    if (!m_succeeded && !m_wasCancelled)
        QFile::remove(m_filePath);
    emit runningChanged();
    emit finished();
}

QString Downloader::outcomeOf(QNetworkReply *reply) const
{
    if (!m_writeError.isEmpty())
        return QStringLiteral("Writing the recording failed: %1").arg(m_writeError);
    if (!m_abortReason.isEmpty())
        return m_abortReason;
    if (reply->error() != QNetworkReply::NoError)
        return reply->errorString();
    if (m_httpStatus < 200 || m_httpStatus > 299)
        return tr("The gateway answered HTTP %1").arg(m_httpStatus);
    return QString();
}

void Downloader::dropCurrentManager()
{
    if (m_reply) {
        disconnect(m_reply, nullptr, this, nullptr);
        m_reply = nullptr;
    }
    if (m_manager) {
        disconnect(m_manager, nullptr, this, nullptr);
        delete m_manager;
        m_manager = nullptr;
    }
    m_file.close();
}
