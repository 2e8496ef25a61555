#include "RtspProbe.h"

#include <QUrl>

const QString RtspProbe::refused = QStringLiteral("refused");
const QString RtspProbe::notRtsp = QStringLiteral("notrtsp");
const QString RtspProbe::noAnswer = QStringLiteral("noanswer");
const QString RtspProbe::speaksRtsp = QStringLiteral("rtsp");

namespace {

// An RTSP status line is short; a server that sends more without a line break is no RTSP one.
constexpr int kMaxFirstLine = 256;

} // namespace

RtspProbe::RtspProbe(QObject *parent)
    : QObject(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] { finish(noAnswer); });
    connect(&m_socket, &QTcpSocket::connected, this, [this] {
        // Without credentials: any status, 401 included, proves an RTSP server.
        m_socket.write(QByteArrayLiteral("OPTIONS * RTSP/1.0\r\nCSeq: 1\r\n"
                                         "User-Agent: Ardix\r\n\r\n"));
    });
    connect(&m_socket, &QTcpSocket::readyRead, this, [this] {
        m_answer += m_socket.read(kMaxFirstLine - m_answer.size());
        const int end = m_answer.indexOf('\n');
        if (end >= 0)
            finish(fromFirstLine(m_answer.left(end)));
        else if (m_answer.size() >= kMaxFirstLine)
            finish(notRtsp);
    });
    connect(&m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
        if (!running())
            return;
        if (e == QAbstractSocket::ConnectionRefusedError)
            finish(refused);
        else if (e == QAbstractSocket::RemoteHostClosedError)
            finish(m_answer.isEmpty() ? notRtsp : fromFirstLine(m_answer));
        else
            finish(noAnswer);
    });
}

RtspProbe::~RtspProbe()
{
    // The socket outlives the timer its handlers look at: it must not call them while it goes.
    disconnect(&m_socket, nullptr, this, nullptr);
    m_socket.abort();
}

void RtspProbe::start(const QString &address, int timeoutMs)
{
    stop();
    const QUrl url(address);
    m_answer.clear();
    m_timer.start(timeoutMs);
    m_socket.connectToHost(url.host(), static_cast<quint16>(url.port(554)));
}

void RtspProbe::stop()
{
    m_timer.stop();
    m_socket.abort();
}

QString RtspProbe::fromFirstLine(const QByteArray &line)
{
    return line.startsWith("RTSP/") ? speaksRtsp : notRtsp;
}

void RtspProbe::finish(const QString &verdict)
{
    if (!running())
        return;
    stop();
    emit finished(verdict);
}
