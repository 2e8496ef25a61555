// The console as an operator starts it, on a site whose server hands out a local file as one
// camera's address and markup as a till's texts, with a remote-control endpoint open to the
// network, a settings file left readable by an earlier run, and a session bus without any
// secret store. It makes its settings owner-only, signs in with the stored password (which
// stays in the owner-only file), warns about the endpoint, refuses the local file while the
// next camera plays, and shows the markup without fetching what it points at.
#include "ProgramRun.h"
#include "RpcHost.h"
#include "ScreenCheck.h"
#include "XServer.h"

#include <Simulator.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QSettings>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <sys/stat.h>

#include <memory>

using ScreenCheck::freePort;

namespace {

int modeOf(const QString &path)
{
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return int(info.st_mode & 0777);
}

QString siteJson(unsigned short posPort, unsigned short httpPort)
{
    // Single quotes stand for double ones, to keep the text readable.
    return QString(
               "{"
               "  'name': 'Guarded shop', 'rootId': 1,"
               "  'users': [ { 'id': 500, 'name': 'operator', 'password': 'operator' } ],"
               "  'objects': ["
               "    { 'id': 1, 'name': 'Shop', 'type': 7, 'class': 'location.SITE', 'parent': 0,"
               "      'attributes': { 'Two cameras': { 'numRows': 1, 'numCols': 2, 'elements': ["
               "        { 'row': 0, 'col': 0, 'rowSpan': 1, 'colSpan': 1, 'type': 'video', "
               "'label': 'Back office',"
               "          'deviceId': '2', 'objectId': '11' },"
               "        { 'row': 0, 'col': 1, 'rowSpan': 1, 'colSpan': 1, 'type': 'video', "
               "'label': 'Till',"
               "          'deviceId': '2', 'objectId': '12' } ] } } },"
               "    { 'id': 2, 'name': 'Gateway', 'type': 2, 'class': 'device.GATEWAY', 'parent': "
               "1,"
               "      'serial': 'GW-0001', 'settings': { 'address': '127.0.0.1', 'posPort': %1 } },"
               "    { 'id': 11, 'name': 'Back office', 'type': 10, 'class': 'stream.VIDEO', "
               "'parent': 2,"
               "      'serial': 'CAM-0011', 'settings': { 'url': 'file:///etc/hostname' } },"
               "    { 'id': 12, 'name': 'Till', 'type': 10, 'class': 'stream.VIDEO', 'parent': 2,"
               "      'serial': 'CAM-0012', 'settings': { 'url': 'http://127.0.0.1:%2/live/12' },"
               "      'pos': { 'intervalMs': 600000, 'texts': [ [ 'Till 1 open' ] ] } }"
               "  ]"
               "}")
        .replace(QLatin1Char('\''), QLatin1Char('"'))
        .arg(posPort)
        .arg(httpPort);
}

} // namespace

class TestConsoleSecurity : public QObject
{
    Q_OBJECT

private:
    XServer m_xserver;
    std::unique_ptr<ardix::sim::Simulator> m_sim;
    QProcess m_bus;
    QTcpServer m_listener;
    int m_fetches = 0;

    static QString clientLog()
    {
        return qEnvironmentVariable("HOME") + QStringLiteral("/.local/share/Ardix/clientLogs.txt");
    }
    static QString settingsFolder()
    {
        return qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/ardix.example");
    }
    static QString settingsFile() { return settingsFolder() + QStringLiteral("/Ardix.conf"); }
    static QStringList clientLines(const QString &text)
    {
        return ProgramRun::readLines(clientLog()).filter(text);
    }

    // Fields stored by an earlier console, in a file and folder others can read.
    void storeOpenFields()
    {
        QVERIFY(QDir().mkpath(settingsFolder()));
        QSettings stored(settingsFile(), QSettings::IniFormat);
        stored.setValue(QStringLiteral("host"), QStringLiteral("127.0.0.1"));
        stored.setValue(QStringLiteral("port"), QString::number(m_sim->eventPort()));
        stored.setValue(QStringLiteral("user"), QStringLiteral("operator"));
        stored.setValue(QStringLiteral("pass"), QStringLiteral("operator"));
        stored.sync();
        QCOMPARE(::chmod(QFile::encodeName(settingsFile()).constData(), 0644), 0);
        QCOMPARE(::chmod(QFile::encodeName(settingsFolder()).constData(), 0755), 0);
    }

    // A session bus on which nobody offers a secret store.
    QString startSessionBus()
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty())
            return QString();
        m_bus.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                             QStringLiteral("--print-address=1")});
        if (!m_bus.waitForStarted() || !m_bus.waitForReadyRead(10000))
            return QString();
        return QString::fromUtf8(m_bus.readLine()).trimmed();
    }

private slots:
    void initTestCase()
    {
        if (!XServer::available())
            QSKIP("Xvfb and xdotool are needed");
        QVERIFY(m_xserver.start(QStringLiteral("640x480")));
        QVERIFY(m_listener.listen(QHostAddress::LocalHost));
        connect(&m_listener, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_listener.nextPendingConnection()) {
                ++m_fetches;
                socket->deleteLater();
            }
        });

        const unsigned short httpPort = freePort();
        std::string error;
        auto site = ardix::sim::Site::fromJson(siteJson(freePort(), httpPort).toStdString(),
                                               ardix::sim::nowMs(), error);
        QVERIFY2(site, error.c_str());
        ardix::sim::SimulatorOptions options;
        options.site = std::move(*site);
        options.httpPort = httpPort;
        options.log = [](const std::string &) {};
        m_sim = std::make_unique<ardix::sim::Simulator>(std::move(options));
        QVERIFY(m_sim->start());
        QVERIFY(m_sim->gatewayHttpPort(2) == httpPort);
    }

    void cleanupTestCase()
    {
        if (m_sim)
            m_sim->stop();
        if (m_bus.state() != QProcess::NotRunning) {
            m_bus.kill();
            m_bus.waitForFinished();
        }
        m_xserver.stop();
    }

    void consoleAsAnOperatorStartsIt()
    {
        storeOpenFields();
        // Reachable from every interface: the console says so and goes on.
        const QString endpoint = QStringLiteral("tcp://0.0.0.0:%1").arg(freePort());
        const QString folder = RpcHost::sandbox() + QStringLiteral("/client");
        const QString program = RpcHost::install(
            ProgramRun::builtProgram(QStringLiteral("client/client")), folder, endpoint);
        ProgramRun client(program);
        client.setEnv(QStringLiteral("DISPLAY"), m_xserver.display());
        client.setEnv(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        client.setEnv(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), startSessionBus());
        client.setWorkingDirectory(folder);
        QVERIFY(client.start());

        // Signed in with the password of the old file, now owner-only.
        QVERIFY(ProgramRun::waitForLine(clientLog(), QStringLiteral("Logged in, id: "), 30000));
        QCOMPARE(
            clientLines(
                QStringLiteral("Settings folder made owner-only: \"%1\"").arg(settingsFolder()))
                .size(),
            1);
        QCOMPARE(
            clientLines(QStringLiteral("Settings file made owner-only: \"%1\"").arg(settingsFile()))
                .size(),
            1);
        QCOMPARE(modeOf(settingsFolder()), 0700);
        QCOMPARE(modeOf(settingsFile()), 0600);
        QCOMPARE(clientLines(QStringLiteral("Remote control listens on %1 which is not a loopback "
                                            "address: any machine that reaches it can drive the "
                                            "console")
                                 .arg(endpoint))
                     .size(),
                 1);
        QVERIFY(!clientLines(QStringLiteral("Listening on: QUrl(\"%1\")").arg(endpoint)).isEmpty());

        // The local file is refused; the Till next to it plays. Meanwhile the till's texts
        // carry markup that points at the listener.
        const QByteArray markup = QStringLiteral("<img src=\"http://127.0.0.1:%1/pos.png\">TOTAL")
                                      .arg(m_listener.serverPort())
                                      .toUtf8();
        int published = 0;
        QVERIFY(QTest::qWaitFor(
            [&] {
                if (!clientLines(QStringLiteral("Subscribed to channel:")).isEmpty() &&
                    m_sim->publishPosText(12, markup.toStdString()))
                    ++published;
                return published >= 10 &&
                       !clientLines(QStringLiteral("videoLoaded: true")).isEmpty();
            },
            45000));
        QCOMPARE(clientLines(QStringLiteral("Refused to play, not a network stream address: "
                                            "\"file:///etc/hostname\""))
                     .size(),
                 1);
        QVERIFY(clientLines(QStringLiteral("Going to play: file:///etc/hostname")).size() == 1);
        QCOMPARE(clientLines(QStringLiteral("videoLoaded: true")).size(), 1);
        QVERIFY(clientLines(QStringLiteral("onFileLoaded")).size() == 1);

        const QString shotPath = RpcHost::sandbox() + QStringLiteral("/console.png");
        m_xserver.run(QStringLiteral("ffmpeg"),
                      {"-loglevel", "error", "-y", "-f", "x11grab", "-video_size", "640x480", "-i",
                       m_xserver.display() + "+0,0", "-frames:v", "1", shotPath});
        const QImage shot = QImage(shotPath).convertToFormat(QImage::Format_RGB32);
        QVERIFY(!shot.isNull());
        // the refused cell, the left half, says so in white on dark red
        int darkRed = 0;
        for (int y = 0; y < shot.height(); y += 2) {
            for (int x = 0; x < shot.width() / 2; x += 2) {
                const QRgb p = shot.pixel(x, y);
                darkRed += qRed(p) > 90 && qGreen(p) < 40 && qBlue(p) < 40;
            }
        }
        QVERIFY(darkRed > 50);
        QCOMPARE(m_fetches, 0);

        // No secret store answered: the password stayed in the owner-only file.
        QVERIFY(!clientLines(QStringLiteral("No secret store:")).isEmpty());
        QCOMPARE(QSettings(settingsFile(), QSettings::IniFormat).value("pass").toString(),
                 QStringLiteral("operator"));
        QCOMPARE(client.process().state(), QProcess::Running);
        client.stop();
        QCOMPARE(modeOf(settingsFile()), 0600);
    }
};

QTEST_GUILESS_MAIN(TestConsoleSecurity)
#include "tst_consolesecurity.moc"
