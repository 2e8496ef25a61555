// The console and vantrel meet: the console signs in to the demo site by itself, vantrel lists
// the site's layouts, and an operator's clicks in vantrel apply a layout and switch the
// console's page. Both programs run on an X server of the test's own, each with a config.ini
// that points them at a private endpoint.
#include "ProgramRun.h"
#include "RpcHost.h"
#include "ScreenCheck.h"
#include "SimServer.h"
#include "VantrelScreen.h"
#include "XServer.h"

#include <QDir>
#include <QSettings>
#include <QTest>

#include <memory>

using namespace VantrelScreen;

using namespace ScreenCheck;

class TestConsoleVantrel : public QObject
{
    Q_OBJECT

private:
    XServer m_xserver;
    std::unique_ptr<SimServer> m_server;
    std::unique_ptr<ProgramRun> m_client;
    std::unique_ptr<ProgramRun> m_vantrel;
    QString m_vantrelFolder;
    QString m_window;

    static QString clientLog()
    {
        return qEnvironmentVariable("HOME") + QStringLiteral("/.local/share/Ardix/clientLogs.txt");
    }

    QString xdotool(const QStringList &arguments) const { return m_xserver.xdotool(arguments); }

    void click(int x, int y)
    {
        xdotool({"mousemove", "--window", m_window, QString::number(x), QString::number(y), "click",
                 "1"});
    }

    void storeLoginFields()
    {
        QSettings stored(qEnvironmentVariable("XDG_CONFIG_HOME") +
                             QStringLiteral("/ardix.example/Ardix.conf"),
                         QSettings::IniFormat);
        stored.setValue(QStringLiteral("host"), QStringLiteral("127.0.0.1"));
        stored.setValue(QStringLiteral("port"), QString::number(m_server->port()));
        stored.setValue(QStringLiteral("user"), QStringLiteral("operator"));
        stored.setValue(QStringLiteral("pass"), QStringLiteral("operator"));
    }

    // Clicks until the console reports the wanted line: the list reaches vantrel a moment
    // after the console's sign-in, and a click on an empty list does nothing.
    bool clickUntilLogged(int x, int y, const QString &line)
    {
        return QTest::qWaitFor(
            [&] {
                click(x, y);
                return ProgramRun::waitForLine(clientLog(), line, 1000);
            },
            20000);
    }

private slots:
    void initTestCase()
    {
        if (!XServer::available())
            QSKIP("Xvfb and xdotool are needed");
        QVERIFY(m_xserver.start(QStringLiteral("1300x480")));

        std::string error;
        const std::string demo =
            qEnvironmentVariable("ARDIX_SOURCE_DIR").toStdString() + "/sim/sites/demo.json";
        auto site = ardix::sim::Site::fromFile(demo, ardix::sim::nowMs(), error);
        QVERIFY2(site, error.c_str());
        m_server = std::make_unique<SimServer>(std::move(*site));
        QVERIFY(m_server->start());
        storeLoginFields();
    }

    void cleanupTestCase()
    {
        m_vantrel.reset();
        m_client.reset();
        m_server.reset();
        m_xserver.stop();
    }

    void consoleSignsInAndVantrelFollows()
    {
        const QString url = RpcHost::freeUrl(QStringLiteral("tcp"));
        const QString sandbox = RpcHost::sandbox();
        const QString client = RpcHost::install(
            ProgramRun::builtProgram(QStringLiteral("client/client")), sandbox + "/client", url);
        m_vantrelFolder = sandbox + QStringLiteral("/vantrel");
        const QString vantrel = RpcHost::install(
            ProgramRun::builtProgram(QStringLiteral("vantrel/vantrel")), m_vantrelFolder, url);

        m_client = programOnDisplay(m_xserver, client, sandbox + QStringLiteral("/client"));
        QVERIFY(m_client->start());
        QVERIFY(
            ProgramRun::waitForLine(clientLog(), QStringLiteral("Fetching layouts ..."), 30000));
        QVERIFY(ProgramRun::waitForLine(clientLog(),
                                        QStringLiteral("Listening on: QUrl(\"%1\")").arg(url)));

        m_vantrel =
            programOnDisplay(m_xserver, vantrel, m_vantrelFolder,
                             {QStringLiteral("-geometry"), QStringLiteral("640x480+660+0")});
        QVERIFY(m_vantrel->start());
        m_window = m_xserver.waitForWindow(m_vantrel->process().processId());
        QVERIFY(!m_window.isEmpty());
        QVERIFY(ProgramRun::waitForLine(m_vantrelFolder + QStringLiteral("/vantrel.log"),
                                        QStringLiteral("void QuickRpc::handleLoggedIn(bool)")));
    }

    void clickAppliesTheLayoutInTheConsole()
    {
        QVERIFY(!m_window.isEmpty());
        // the demo site's layouts, in the order the server lists them
        QVERIFY(clickUntilLogged(100, firstRowY + rowHeight,
                                 QStringLiteral("Applying layout: \"3x3 Cameras and doors\"")));
        QCOMPARE(ProgramRun::readLines(clientLog()).filter(QStringLiteral("Applying layout:")),
                 QStringList(QStringLiteral("Applying layout: \"3x3 Cameras and doors\"")));
    }

    void menuSwitchesTheConsolePage()
    {
        QVERIFY(!m_window.isEmpty());
        click(320, menuY);
        xdotool({"key", "--window", m_window, "Down"});
        xdotool({"key", "--window", m_window, "Return"});
        QVERIFY(ProgramRun::waitForLine(
            clientLog(), QStringLiteral("Jumping to page: client_ServiceSource::RECORDER")));
        QCOMPARE(m_client->process().state(), QProcess::Running);
    }
};

QTEST_GUILESS_MAIN(TestConsoleVantrel)
#include "tst_consolevantrel.moc"
