#include "StandaloneMpv.h"

#include "BenchSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>

namespace {

// mpv's own lines, at its verbose level, once the first picture after a (re)start is on screen.
// With the low-latency profile only the second one is written.
const QByteArray kFirstPictureLines[] = {"first video frame after restart shown",
                                         "playback restart complete"};

long queryIntProperty(QLocalSocket &socket, const char *property)
{
    socket.write(QJsonDocument(QJsonObject{{"command", QJsonArray{"get_property", property}}})
                     .toJson(QJsonDocument::Compact) +
                 '\n');
    socket.waitForBytesWritten(1000);
    while (socket.canReadLine() || socket.waitForReadyRead(2000)) {
        // Event lines come and go on the same socket; the answer is the line with "error".
        const QJsonObject reply = QJsonDocument::fromJson(socket.readLine()).object();
        if (reply.contains(QStringLiteral("error")))
            return reply.value(QStringLiteral("data")).toInt();
    }
    return -1;
}

} // namespace

StandaloneMpv::StandaloneMpv(const QString &url, const QRect &geometry, const QStringList &options,
                             const QString &socketPath)
    : m_socketPath(socketPath)
{
    QStringList arguments{QStringLiteral("--no-config"), QStringLiteral("--vo=gpu"),
                          QStringLiteral("--gpu-context=x11egl"), QStringLiteral("--no-border"),
                          // The console's players run no scripts either.
                          QStringLiteral("--load-scripts=no"), QStringLiteral("--ytdl=no"),
                          QStringLiteral("--msg-level=all=no,cplayer=v"),
                          QStringLiteral("--geometry=%1x%2+%3+%4")
                              .arg(geometry.width())
                              .arg(geometry.height())
                              .arg(geometry.x())
                              .arg(geometry.y()),
                          QStringLiteral("--input-ipc-server=%1").arg(socketPath)};
    for (const QString &option : options)
        arguments << QStringLiteral("--") + option;
    arguments << url;
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    QObject::connect(&m_process, &QProcess::readyRead, [this] { readOutput(); });
    m_sinceStart.start();
    m_process.start(QStringLiteral("mpv"), arguments);
    m_process.waitForStarted();
}

StandaloneMpv::~StandaloneMpv()
{
    m_process.disconnect();
    m_process.terminate();
    if (!m_process.waitForFinished(5000))
        m_process.kill();
    m_process.waitForFinished(1000);
}

void StandaloneMpv::readOutput()
{
    m_pending += m_process.readAll();
    for (const QByteArray &line : kFirstPictureLines)
        if (m_firstPictureMs < 0 && m_pending.contains(line))
            m_firstPictureMs = m_sinceStart.elapsed();
    // Only the tail can hold the start of a line not seen whole yet.
    if (m_pending.size() > 4096)
        m_pending = m_pending.right(64);
}

double StandaloneMpv::cpuSeconds() const
{
    return bench::processCpuSeconds(m_process.processId());
}

long StandaloneMpv::droppedFrames() const
{
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (!socket.waitForConnected(2000))
        return -1;
    const long output = queryIntProperty(socket, "frame-drop-count");
    const long decoder = queryIntProperty(socket, "decoder-frame-drop-count");
    return output < 0 || decoder < 0 ? -1 : output + decoder;
}

qint64 StandaloneMpv::waitForFirstPicture(int timeoutMs)
{
    bench::spinUntil([this] { return m_firstPictureMs >= 0; }, timeoutMs);
    return m_firstPictureMs;
}
