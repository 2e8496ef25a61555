#include "LoopbackHttpServer.h"

#include <QHostAddress>

#include <memory>

LoopbackHttpServer::LoopbackHttpServer(QObject *parent)
    : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

bool LoopbackHttpServer::listen()
{
    return m_server.listen(QHostAddress::LocalHost);
}

QUrl LoopbackHttpServer::url(const QString &path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
}

void LoopbackHttpServer::answer(const QString &path, int status, const QByteArray &body)
{
    m_answers.insert(path, Answer{status, body, -1});
}

void LoopbackHttpServer::hold(const QString &path, qint64 length)
{
    m_answers.insert(path, Answer{200, QByteArray(), length});
}

void LoopbackHttpServer::trickle(const QString &path, const QByteArray &piece, int intervalMs,
                                 qint64 length)
{
    Answer answer{200, QByteArray(), -1};
    answer.piece = piece;
    answer.intervalMs = intervalMs;
    answer.heldLength = length;
    m_answers.insert(path, answer);
}

void LoopbackHttpServer::redirect(const QString &path, int status, const QByteArray &location)
{
    Answer answer{status, QByteArray("moved\n"), -1};
    answer.location = location;
    m_answers.insert(path, answer);
}

void LoopbackHttpServer::startTrickle(QTcpSocket *socket, const Answer &answer)
{
    auto *timer = new QTimer(socket);
    connect(timer, &QTimer::timeout, socket, [socket, piece = answer.piece] {
        // A client that reads slowly is not buried under what it has not read yet.
        if (socket->bytesToWrite() < 1024 * 1024)
            socket->write(piece);
    });
    timer->start(answer.intervalMs);
}

void LoopbackHttpServer::sendChunk(const QByteArray &bytes)
{
    if (m_held)
        m_held->write(bytes);
}

void LoopbackHttpServer::readRequest(QTcpSocket *socket)
{
    const QByteArray pending = socket->property("pending").toByteArray() + socket->readAll();
    const int end = pending.indexOf("\r\n\r\n");
    if (end < 0) {
        socket->setProperty("pending", pending);
        return;
    }
    socket->setProperty("pending", QByteArray());
    ++m_requests;
    const QList<QByteArray> lines = pending.left(end).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    m_lastHeaders.clear();
    for (int i = 1; i < lines.size(); ++i) {
        const int colon = lines.at(i).indexOf(':');
        if (colon > 0)
            m_lastHeaders.insert(lines.at(i).left(colon).trimmed().toLower(),
                                 lines.at(i).mid(colon + 1).trimmed());
    }
    const QString path = QString::fromLatin1(requestLine.value(1));
    m_paths.append(path);
    const Answer answer = m_answers.value(path, Answer{404, QByteArray("no such path\n"), -1});
    const bool trickled = !answer.piece.isEmpty();
    const qint64 length =
        answer.heldLength >= 0 || trickled ? answer.heldLength : answer.body.size();
    QByteArray headers = "HTTP/1.1 " + QByteArray::number(answer.status) + " Status\r\n" +
                         "Content-Type: application/octet-stream\r\n";
    if (length >= 0)
        headers += "Content-Length: " + QByteArray::number(length) + "\r\n";
    if (!answer.location.isEmpty())
        headers += "Location: " + answer.location + "\r\n";
    socket->write(headers + "Connection: close\r\n\r\n");
    if (trickled)
        return startTrickle(socket, answer);
    if (answer.heldLength >= 0 && m_producers.contains(path)) {
        writeStreamed(socket, length, m_producers.value(path));
        return;
    }
    if (answer.heldLength >= 0) {
        m_held = socket;
        emit heldClientArrived();
        return;
    }
    if (m_delayMs > 0)
        return answerLater(socket, answer.body);
    socket->write(answer.body);
    socket->disconnectFromHost();
}

void LoopbackHttpServer::answerLater(QTcpSocket *socket, const QByteArray &body)
{
    m_mostWaiting = qMax(m_mostWaiting, ++m_waiting);
    QTimer::singleShot(m_delayMs, this, [this, socket = QPointer<QTcpSocket>(socket), body] {
        --m_waiting;
        if (!socket)
            return;
        socket->write(body);
        socket->disconnectFromHost();
    });
}

void LoopbackHttpServer::stream(const QString &path, qint64 length, const Producer &piece)
{
    hold(path, length);
    m_producers.insert(path, piece);
}

// At most about 1 MiB waits in the socket at any time: the next piece goes out as the client
// takes the previous ones.
void LoopbackHttpServer::writeStreamed(QTcpSocket *socket, qint64 length, const Producer &piece)
{
    const auto offset = std::make_shared<qint64>(0);
    const auto refill = [socket, length, piece, offset] {
        while (*offset < length && socket->bytesToWrite() < 1024 * 1024) {
            const qint64 written = socket->write(piece(*offset).left(int(length - *offset)));
            if (written <= 0)
                return;
            *offset += written;
        }
        if (*offset >= length && socket->bytesToWrite() == 0)
            socket->disconnectFromHost();
    };
    connect(socket, &QTcpSocket::bytesWritten, socket, refill);
    refill();
}
