#pragma once

#include <QFile>
#include <QObject>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;

// Fetches a recording over HTTP into the process's one output file, chunk by chunk, so the
// player can open the file once `finished()` arrives. The file lives in a private folder of
// this process (owner-only), so no other user can read it or plant a link in its place.
class Downloader : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString filePath READ filePath WRITE setFilePath NOTIFY filePathChanged)
    Q_PROPERTY(QString url READ url WRITE setUrl NOTIFY urlChanged)
    // The outcome of the last request that ended; read them on finished().
    Q_PROPERTY(bool succeeded READ succeeded NOTIFY finished)
    Q_PROPERTY(int httpStatus READ httpStatus NOTIFY finished)
    Q_PROPERTY(QString errorString READ errorString NOTIFY finished)

public:
    explicit Downloader(QObject *parent = nullptr);
    ~Downloader() override;

    QString filePath() const { return m_filePath; }
    void setFilePath(const QString &filePath);
    QString url() const { return m_url; }
    void setUrl(const QString &url);

    bool succeeded() const { return m_succeeded; }
    int httpStatus() const { return m_httpStatus; }
    QString errorString() const { return m_errorString; }

    // The output file of this process: "recorder" in a private temporary folder.
    static QString outputFilePath();

signals:
    void filePathChanged();
    void urlChanged();
    void finished();
    void cancelled();

public slots:
    void download();
    void cancel();

private slots:
    void handleReadyRead();
    void handleFinished(QNetworkReply *reply);

private:
    bool openFreshOutputFile();
    void writeAvailable(QNetworkReply *reply);
    void dropCurrentManager();

    QString m_filePath;
    QString m_url;
    QNetworkReply *m_reply = nullptr;
    QNetworkAccessManager *m_manager = nullptr;
    QFile m_file;
    QString m_writeError;
    bool m_succeeded = false;
    int m_httpStatus = 0;
    QString m_errorString;
};
