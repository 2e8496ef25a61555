#include "BenchSite.h"

#include "BenchSupport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>

namespace {

quint16 freePort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

// Sixteen cells that take the demo's four cameras in turn.
QJsonObject bigLayout()
{
    const QStringList names{QStringLiteral("Entrance"), QStringLiteral("Till"),
                            QStringLiteral("Stockroom"), QStringLiteral("Car park")};
    QJsonArray cells;
    for (int i = 0; i < 16; ++i) {
        cells.append(QJsonObject{{"row", i / 4},
                                 {"col", i % 4},
                                 {"rowSpan", 1},
                                 {"colSpan", 1},
                                 {"type", "video"},
                                 {"label", QStringLiteral("%1 %2").arg(names.at(i % 4)).arg(i)},
                                 {"deviceId", "2"},
                                 {"objectId", QString::number(11 + i % 4)}});
    }
    return QJsonObject{{"numRows", 4}, {"numCols", 4}, {"elements", cells}};
}

} // namespace

BenchSite::~BenchSite()
{
    m_sim.terminate();
    if (!m_sim.waitForFinished(5000))
        m_sim.kill();
}

bool BenchSite::start(const QString &demoSite, const QString &simProgram, QString *error)
{
    m_eventPort = freePort();
    m_httpPort = freePort();
    m_rtspPort = freePort();
    m_posPort = freePort();
    m_controlPort = freePort();
    const QString path = m_folder.filePath(QStringLiteral("site.json"));
    if (!writeSite(demoSite, path, error))
        return false;
    // Its request log would drown the measurements.
    m_sim.setStandardOutputFile(QProcess::nullDevice());
    m_sim.setStandardErrorFile(QProcess::nullDevice());
    m_sim.start(simProgram, {QStringLiteral("--site"), path, QStringLiteral("--port"),
                             QString::number(m_eventPort), QStringLiteral("--control-port"),
                             QString::number(m_controlPort)});
    if (!m_sim.waitForStarted() || !waitUntilListening(20000)) {
        *error = QStringLiteral("zarn-sim did not start: %1").arg(m_sim.errorString());
        return false;
    }
    return true;
}

bool BenchSite::writeSite(const QString &demoSite, const QString &path, QString *error) const
{
    QFile in(demoSite);
    if (!in.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1").arg(demoSite);
        return false;
    }
    QJsonObject site = QJsonDocument::fromJson(in.readAll()).object();
    QJsonArray objects = site.value(QStringLiteral("objects")).toArray();
    for (int i = 0; i < objects.size(); ++i) {
        QJsonObject object = objects.at(i).toObject();
        QJsonObject settings = object.value(QStringLiteral("settings")).toObject();
        const int id = object.value(QStringLiteral("id")).toInt();
        if (id == 1) {
            QJsonObject attributes = object.value(QStringLiteral("attributes")).toObject();
            attributes.insert(bigLayoutName(), bigLayout());
            object.insert(QStringLiteral("attributes"), attributes);
        } else if (object.value(QStringLiteral("class")).toString() ==
                   QLatin1String("device.GATEWAY")) {
            object.insert(QStringLiteral("httpPort"), m_httpPort);
            object.insert(QStringLiteral("rtspPort"), m_rtspPort);
            settings.insert(QStringLiteral("posPort"), m_posPort);
        } else if (settings.contains(QStringLiteral("url"))) {
            settings.insert(QStringLiteral("url"),
                            liveUrl(settings.value(QStringLiteral("url")).toString(), id,
                                    QStringLiteral("main")));
            QJsonArray profiles = settings.value(QStringLiteral("profiles")).toArray();
            for (int p = 0; p < profiles.size(); ++p) {
                QJsonObject profile = profiles.at(p).toObject();
                profile.insert(QStringLiteral("url"),
                               liveUrl(profile.value(QStringLiteral("url")).toString(), id,
                                       profile.value(QStringLiteral("name")).toString()));
                profiles[p] = profile;
            }
            if (!profiles.isEmpty())
                settings.insert(QStringLiteral("profiles"), profiles);
        }
        if (!settings.isEmpty())
            object.insert(QStringLiteral("settings"), settings);
        objects[i] = object;
    }
    site.insert(QStringLiteral("objects"), objects);
    if (m_dropSchedule)
        site.remove(QStringLiteral("events"));
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(QJsonDocument(site).toJson()) < 0) {
        *error = QStringLiteral("cannot write %1").arg(path);
        return false;
    }
    return true;
}

// An HTTP address of the demo site keeps its extras (audio off, debug) on HTTP; any other
// address is written anew for the stream and profile on the chosen transport.
QString BenchSite::liveUrl(QString url, int stream, const QString &profile) const
{
    if (m_transport == Transport::Rtsp)
        return QStringLiteral("rtsp://127.0.0.1:%1/live/%2/%3")
            .arg(m_rtspPort)
            .arg(stream)
            .arg(profile);
    if (url.startsWith(QLatin1String("http://")))
        return url.replace(QStringLiteral(":9554/"), QStringLiteral(":%1/").arg(m_httpPort));
    return QStringLiteral("http://127.0.0.1:%1/live/%2[[?profile{EQU}%3]]")
        .arg(m_httpPort)
        .arg(stream)
        .arg(profile);
}

QString BenchSite::control(const QString &command)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, m_controlPort);
    if (!socket.waitForConnected(5000))
        return QStringLiteral("error: no control port");
    socket.write(command.toUtf8() + '\n');
    while (!socket.canReadLine() && socket.waitForReadyRead(5000)) {
    }
    return QString::fromUtf8(socket.readLine()).trimmed();
}

bool BenchSite::waitUntilListening(int timeoutMs)
{
    return bench::spinUntil(
               [this] {
                   if (m_sim.state() != QProcess::Running)
                       return true;
                   QTcpSocket probe;
                   probe.connectToHost(QHostAddress::LocalHost, m_eventPort);
                   return probe.waitForConnected(200);
               },
               timeoutMs) &&
           m_sim.state() == QProcess::Running;
}
