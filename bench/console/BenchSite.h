#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// The demo site on free ports, with one more layout of 4×4 live cameras, served by a zarn-sim
// process of its own: the console's CPU is then measured without the simulator's.
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
    // Sends one command to the simulator's control port; its answer line.
    QString control(const QString &command);

    static QString bigLayoutName() { return QStringLiteral("4x4 Cameras"); }

private:
    bool writeSite(const QString &demoSite, const QString &path, QString *error) const;
    QString liveUrl(QString url, int stream, const QString &profile) const;
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
};
