#include "BenchSite.h"

#include "BenchSupport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcessEnvironment>
#include <QTcpServer>
#include <QTcpSocket>

#include <cmath>

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

// The wall's cameras take ids from here on, clear of the demo's.
constexpr int kFirstWallCamera = 1001;

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
    if (!m_cacheHome.isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), m_cacheHome);
        m_sim.setProcessEnvironment(environment);
    }
    QStringList arguments{QStringLiteral("--site"),         path,
                          QStringLiteral("--port"),         QString::number(m_eventPort),
                          QStringLiteral("--control-port"), QString::number(m_controlPort)};
    if (m_subSize != QSize(320, 180) || m_subRate != 15)
        arguments << QStringLiteral("--sub-profile")
                  << QStringLiteral("%1x%2@%3")
                         .arg(m_subSize.width())
                         .arg(m_subSize.height())
                         .arg(m_subRate);
    m_sim.start(simProgram, arguments);
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
            if (m_wallCameras > 0)
                attributes.insert(wallLayoutName(), wallLayout());
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
            for (int p = 0; p < profiles.size(); ++p) {
                QJsonObject profile = profiles.at(p).toObject();
                if (profile.value(QStringLiteral("name")).toString() == QLatin1String("sub")) {
                    profile.insert(QStringLiteral("width"), m_subSize.width());
                    profile.insert(QStringLiteral("height"), m_subSize.height());
                }
                profiles[p] = profile;
            }
            if (!profiles.isEmpty())
                settings.insert(QStringLiteral("profiles"), profiles);
        }
        if (!settings.isEmpty())
            object.insert(QStringLiteral("settings"), settings);
        objects[i] = object;
    }
    addWallObjects(objects);
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

void BenchSite::setSubProfile(QSize size, int rate)
{
    m_subSize = size;
    m_subRate = rate;
}

// Cameras under the demo's gateway (id 2), each with both profiles on the chosen transport.
void BenchSite::addWallObjects(QJsonArray &objects) const
{
    for (int i = 0; i < m_wallCameras; ++i) {
        const int id = kFirstWallCamera + i;
        const QString none;
        QJsonArray profiles;
        profiles.append(QJsonObject{{"name", "main"},
                                    {"width", 640},
                                    {"height", 360},
                                    {"url", liveUrl(none, id, QStringLiteral("main"))}});
        profiles.append(QJsonObject{{"name", "sub"},
                                    {"width", m_subSize.width()},
                                    {"height", m_subSize.height()},
                                    {"url", liveUrl(none, id, QStringLiteral("sub"))}});
        const QJsonObject settings{{"url", liveUrl(none, id, QStringLiteral("main"))},
                                   {"codec", "h264"},
                                   {"profiles", profiles}};
        objects.append(QJsonObject{{"id", id},
                                   {"name", QStringLiteral("Wall %1").arg(i + 1)},
                                   {"type", 10},
                                   {"class", "stream.VIDEO"},
                                   {"parent", 2},
                                   {"serial", QStringLiteral("CAM-%1").arg(id)},
                                   {"settings", settings}});
    }
}

// A square of the wall's cameras, one each, row by row.
QJsonObject BenchSite::wallLayout() const
{
    const int side = static_cast<int>(std::ceil(std::sqrt(m_wallCameras)));
    QJsonArray cells;
    for (int i = 0; i < m_wallCameras; ++i) {
        cells.append(QJsonObject{{"row", i / side},
                                 {"col", i % side},
                                 {"rowSpan", 1},
                                 {"colSpan", 1},
                                 {"type", "video"},
                                 {"label", QStringLiteral("Wall %1").arg(i + 1)},
                                 {"deviceId", "2"},
                                 {"objectId", QString::number(kFirstWallCamera + i)}});
    }
    return QJsonObject{{"numRows", side}, {"numCols", side}, {"elements", cells}};
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
