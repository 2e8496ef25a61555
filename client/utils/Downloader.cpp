#include "Downloader.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QQmlEngine>
#include <QTemporaryDir>
#include <QUrl>

namespace {

void registerDownloader()
{
    qmlRegisterType<Downloader>("Native", 1, 0, "Downloader");
}

const QString kOutputName = QStringLiteral("recorder");

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
{}

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

void Downloader::download()
{
    // The previous request, if any, ends here without a finished() of its own.
    dropCurrentManager();
    m_writeError.clear();

    m_filePath = outputFilePath();
    if (!openFreshOutputFile())
        qWarning() << "Downloader: cannot create the output file:" << m_writeError;

    m_manager = new QNetworkAccessManager;
    connect(m_manager, &QNetworkAccessManager::finished, this, &Downloader::handleFinished);
    QNetworkRequest request(QUrl(m_url, QUrl::TolerantMode));
    request.setRawHeader("User-Agent", "Ardix client");
    m_reply = m_manager->get(request);
    connect(m_reply, &QNetworkReply::readyRead, this, &Downloader::handleReadyRead);
    // A file that could not be made fails the request at once, through the usual path.
    if (!m_writeError.isEmpty())
        m_reply->abort();
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
    if (m_reply) {
        // The network layer reports the aborted reply as finished at once: finished()
        // goes out (through handleFinished) before cancelled().
        QNetworkReply *reply = m_reply;
        reply->abort();
        m_reply = nullptr;
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

void Downloader::writeAvailable(QNetworkReply *reply)
{
    const QByteArray bytes = reply->readAll();
    if (bytes.isEmpty() || !m_writeError.isEmpty())
        return;
    // Flushed per chunk, so the file on disk is complete up to the last chunk received.
    if (!m_file.isOpen() || m_file.write(bytes) != bytes.size() || !m_file.flush()) {
        m_writeError = m_file.errorString();
        // A recording with a hole is no recording: the download ends as failed.
        if (reply->isRunning())
            reply->abort();
    }
}

void Downloader::handleFinished(QNetworkReply *reply)
{
    writeAvailable(reply);
    if (reply == m_reply)
        m_reply = nullptr;
    reply->deleteLater();
    m_file.close();

    m_httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (!m_writeError.isEmpty())
        m_errorString = QStringLiteral("Writing the recording failed: %1").arg(m_writeError);
    else if (reply->error() != QNetworkReply::NoError)
        m_errorString = reply->errorString();
    else
        m_errorString.clear();
    m_succeeded = m_errorString.isEmpty();
    emit finished();
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
