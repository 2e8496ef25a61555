#pragma once

#include <QProcess>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// The demo site on free ports, with one more layout of 4×4 live cameras, served by a zarn-sim
// process of its own: the console's CPU is then measured without the simulator's.
class QJsonArray;
class QJsonObject;

class BenchSite
{
public:
    // How every camera of the site is played: the gateway's HTTP live service or its RTSP one.
    enum class Transport { Http, Rtsp };

    BenchSite() = default;
    ~BenchSite();
    BenchSite(const BenchSite &) = delete;
    BenchSite &operator=(const BenchSite &) = delete;

    // Writes the site file and starts the simulator; false, with a reason, when it cannot.
    bool start(const QString &demoSite, const QString &simProgram, QString *error);
    quint16 eventPort() const { return m_eventPort; }
    // Before start(): the site raises no scheduled events, so that a benchmark counts only the
    // events it asks for.
    void dropScheduledEvents() { m_dropSchedule = true; }
    // Before start(): every camera's address and profiles on this transport (HTTP by default,
    // whatever the demo site gives each camera).
    void setTransport(Transport transport) { m_transport = transport; }
    // Before start(): `cameras` more cameras of their own (a wall of distinct pictures) and a
    // square layout of them, wallLayoutName().
    void addWall(int cameras) { m_wallCameras = cameras; }
    // Before start(): the "sub" profile every camera offers, as the simulator serves it
    // (--sub-profile) and as the site declares it; 320×180 at 15 frames a second by default.
    void setSubProfile(QSize size, int rate);
    // Before start(): where the simulator keeps its made videos ($XDG_CACHE_HOME), so that a
    // hundred loops are made once, not at every run.
    void setCacheHome(const QString &path) { m_cacheHome = path; }
    qint64 simulatorPid() const { return m_sim.processId(); }
    // Sends one command to the simulator's control port; its answer line.
    QString control(const QString &command);

    static QString bigLayoutName() { return QStringLiteral("4x4 Cameras"); }
    static QString wallLayoutName() { return QStringLiteral("Wall"); }

private:
    bool writeSite(const QString &demoSite, const QString &path, QString *error) const;
    QString liveUrl(QString url, int stream, const QString &profile) const;
    void addWallObjects(QJsonArray &objects) const;
    QJsonObject wallLayout() const;
    bool waitUntilListening(int timeoutMs);

    QTemporaryDir m_folder;
    QProcess m_sim;
    quint16 m_eventPort = 0;
    quint16 m_httpPort = 0;
    quint16 m_rtspPort = 0;
    quint16 m_posPort = 0;
    quint16 m_controlPort = 0;
    bool m_dropSchedule = false;
    Transport m_transport = Transport::Http;
    int m_wallCameras = 0;
    QSize m_subSize{320, 180};
    int m_subRate = 15;
    QString m_cacheHome;
};
