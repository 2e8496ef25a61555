#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QString>
#include <QTimer>

class QNetworkAccessManager;
class QNetworkReply;

// Fetches a recording over HTTP into the process's one output file, chunk by chunk, so the
// player can open the file once `finished()` arrives. The file lives in a private folder of
// this process (owner-only), so no other user can read it or plant a link in its place.
// The gateway is not trusted: an answer that is not 2xx, a body that runs well past the
// recording's size and a gateway that stops sending all end the download as failed.
class Downloader : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString filePath READ filePath WRITE setFilePath NOTIFY filePathChanged)
    Q_PROPERTY(QString url READ url WRITE setUrl NOTIFY urlChanged)
    // The recording's size as the server lists it; 0 when unknown.
    Q_PROPERTY(
        qint64 expectedSize READ expectedSize WRITE setExpectedSize NOTIFY expectedSizeChanged)
    // A download that receives less than minimumRate bytes a second over this many
    // milliseconds (nothing at all included) has stalled.
    Q_PROPERTY(int stallTimeout READ stallTimeout WRITE setStallTimeout NOTIFY stallTimeoutChanged)
    Q_PROPERTY(bool running READ running NOTIFY runningChanged)
    Q_PROPERTY(qint64 bytesReceived READ bytesReceived NOTIFY progressChanged)
    // What the whole body should hold, from the answer or else from expectedSize; 0 unknown.
    Q_PROPERTY(qint64 bytesTotal READ bytesTotal NOTIFY progressChanged)
    // The outcome of the last request that ended; read them on finished().
    Q_PROPERTY(bool succeeded READ succeeded NOTIFY finished)
    // Set when the request ended through cancel(): nothing went wrong.
    Q_PROPERTY(bool wasCancelled READ wasCancelled NOTIFY finished)
    Q_PROPERTY(int httpStatus READ httpStatus NOTIFY finished)
    Q_PROPERTY(QString errorString READ errorString NOTIFY finished)

public:
    // Bytes a second below which a running download counts as stalled.
    static constexpr qint64 minimumRate = 1024;

    explicit Downloader(QObject *parent = nullptr);
    ~Downloader() override;

    QString filePath() const { return m_filePath; }
    void setFilePath(const QString &filePath);
    QString url() const { return m_url; }
    void setUrl(const QString &url);
    qint64 expectedSize() const { return m_expectedSize; }
    void setExpectedSize(qint64 size);
    int stallTimeout() const { return m_stallTimer.interval(); }
    void setStallTimeout(int milliseconds);

    bool running() const { return m_reply != nullptr; }
    qint64 bytesReceived() const { return m_received; }
    qint64 bytesTotal() const;
    bool succeeded() const { return m_succeeded; }
    bool wasCancelled() const { return m_wasCancelled; }
    int httpStatus() const { return m_httpStatus; }
    QString errorString() const { return m_errorString; }

    // The output file of this process: "recorder" in a private temporary folder.
    static QString outputFilePath();
    // The most a body may hold for a recording of `expected` bytes (0: size unknown).
    static qint64 sizeLimit(qint64 expected);

signals:
    void filePathChanged();
    void urlChanged();
    void expectedSizeChanged();
    void stallTimeoutChanged();
    void runningChanged();
    void progressChanged();
    void finished();
    void cancelled();

public slots:
    void download();
    void cancel();

private slots:
    void handleReadyRead();
    void handleMetaData();
    void handleFinished(QNetworkReply *reply);
    void checkRate();

private:
    bool openFreshOutputFile();
    void writeAvailable(QNetworkReply *reply);
    void failAndAbort(const QString &reason);
    void finishEarly(const QString &reason);
    QString tooMuch() const;
    QString outcomeOf(QNetworkReply *reply) const;
    void dropCurrentManager();

    QString m_filePath;
    QString m_url;
    qint64 m_expectedSize = 0;
    QNetworkReply *m_reply = nullptr;
    QNetworkAccessManager *m_manager = nullptr;
    QFile m_file;
    QString m_writeError;
    // Why this side ended the request, if it did.
    QString m_abortReason;
    bool m_cancelling = false;
    qint64 m_received = 0;
    qint64 m_announced = 0;
    qint64 m_receivedAtCheck = 0;
    QTimer m_stallTimer;
    bool m_succeeded = false;
    bool m_wasCancelled = false;
    int m_httpStatus = 0;
    QString m_errorString;
};
