#pragma once

#include <QByteArray>
#include <QHash>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

#include <functional>

// A plain HTTP/1.1 server on loopback for the downloader's tests. Each path answers a fixed
// status and body; a held path sends its headers and then only the chunks the test pushes
// with sendChunk(), so a test decides when each part of the body arrives; a trickled path
// sends the same piece again and again at a fixed pace, as a slow or endless gateway does.
class LoopbackHttpServer : public QObject
{
    Q_OBJECT

public:
    explicit LoopbackHttpServer(QObject *parent = nullptr);

    bool listen();
    QUrl url(const QString &path) const;
    void answer(const QString &path, int status, const QByteArray &body);
    // The body of `path` is `length` bytes long and comes through sendChunk().
    void hold(const QString &path, qint64 length);
    // `piece` every `intervalMs` until the client leaves, announcing `length` bytes (none
    // announced when negative).
    void trickle(const QString &path, const QByteArray &piece, int intervalMs, qint64 length);
    // A redirect to `location`.
    void redirect(const QString &path, int status, const QByteArray &location);
    bool hasHeldClient() const { return m_held; }
    void sendChunk(const QByteArray &bytes);
    // The header lines of the last request, lower-cased names.
    QByteArray lastHeader(const QByteArray &name) const { return m_lastHeaders.value(name); }
    int requestCount() const { return m_requests; }

    // The body of `path` is `length` bytes made by `piece(offset)` (the bytes from offset on,
    // any amount) as the client reads them: a large body is never held whole.
    using Producer = std::function<QByteArray(qint64 offset)>;
    void stream(const QString &path, qint64 length, const Producer &piece);
    // The paths requested so far, oldest first.
    QStringList requestedPaths() const { return m_paths; }
    // Fixed answers go out `ms` after their request (none: at once), so a test sees how many
    // requests a client has open at a time.
    void setAnswerDelay(int ms) { m_delayMs = ms; }
    // The most requests that waited for their delayed answer at once.
    int mostWaiting() const { return m_mostWaiting; }

signals:
    void heldClientArrived();

private:
    struct Answer
    {
        Answer(int status_ = 200, QByteArray body_ = {}, qint64 heldLength_ = -1)
            : status(status_)
            , body(std::move(body_))
            , heldLength(heldLength_)
        {}
        int status = 200;
        QByteArray body;
        qint64 heldLength = -1;
        QByteArray location;
        QByteArray piece;
        int intervalMs = 0;
    };
    void startTrickle(QTcpSocket *socket, const Answer &answer);
    void readRequest(QTcpSocket *socket);
    void writeStreamed(QTcpSocket *socket, qint64 length, const Producer &piece);
    void answerLater(QTcpSocket *socket, const QByteArray &body);

    QTcpServer m_server;
    QHash<QString, Answer> m_answers;
    QHash<QByteArray, QByteArray> m_lastHeaders;
    QPointer<QTcpSocket> m_held;
    int m_requests = 0;
    QHash<QString, Producer> m_producers;
    QStringList m_paths;
    int m_delayMs = 0;
    int m_waiting = 0;
    int m_mostWaiting = 0;
};
