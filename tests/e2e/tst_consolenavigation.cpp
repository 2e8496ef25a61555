// The console used on its own, with mouse and keyboard only: the sidebar applies layouts and
// switches pages while vantrel, beside it, still applies layouts that the sidebar then marks;
// number keys apply the layouts in the sidebar's order and Ctrl+R / Ctrl+T / Ctrl+L switch
// pages; a restarted console opens on the layout applied last; a double click in the camera tree
// shows that stream alone; a snapshot saves the cell as a PNG of its size; the recording's seek
// bar moves playback to where it was clicked. The demo site runs in-process on its own ports
// (the recorder reaches gateways on their fixed HTTP port); the console and vantrel run as whole
// programs on an X server of the test's own, driven with xdotool.
#include "ProgramRun.h"
#include "RpcHost.h"
#include "ScreenCheck.h"
#include "VantrelScreen.h"
#include "XServer.h"

#include <Simulator.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRect>
#include <QSettings>
#include <QTest>

#include <memory>

using namespace ScreenCheck;

namespace {

constexpr int windowWidth = 640;
// Taller than the console's first 640x480: under the sidebar's seven entries and the layouts,
// the camera tree has room for the rows the tests click.
constexpr int windowHeight = 660;
// The sidebar: entries of 50 px (menu, layout, recorded, transactions, events, bookmarks, exit);
// opened, a header of 20 px and the layout rows of 28 px, then a header and the camera tree's
// rows of 24 px.
constexpr int closedWidth = 50;
constexpr int entryHeight = 50;
constexpr int layoutRowsTop = 7 * entryHeight + 20;
constexpr int layoutRowHeight = 28;
constexpr int treeTop = layoutRowsTop + 5 * layoutRowHeight + 20;
constexpr int treeRowHeight = 24;

const QStringList demoLayouts{QStringLiteral("2x2 Cameras"),
                              QStringLiteral("3x3 Cameras and doors"),
                              QStringLiteral("8x8 Cameras"), QStringLiteral("Single camera")};

double meanGray(const QImage &image, const QRect &r)
{
    qint64 sum = 0;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x)
            sum += qGray(image.pixel(x, y));
    }
    return double(sum) / (r.width() * r.height());
}

} // namespace

class TestConsoleNavigation : public QObject
{
    Q_OBJECT

private:
    XServer m_xserver;
    std::unique_ptr<ardix::sim::Simulator> m_sim;
    std::unique_ptr<ProgramRun> m_client;
    std::unique_ptr<ProgramRun> m_vantrel;
    QString m_sandbox;
    QString m_url;
    QString m_clientProgram;
    QString m_clientWindow;
    QString m_vantrelWindow;

    static QString clientLog()
    {
        return qEnvironmentVariable("HOME") + QStringLiteral("/.local/share/Ardix/clientLogs.txt");
    }
    static int count(const QString &text)
    {
        return ProgramRun::readLines(clientLog()).filter(text).size();
    }
    static bool waitForMore(const QString &text, int before, int timeoutMs = 10000)
    {
        return QTest::qWaitFor([&] { return count(text) > before; }, timeoutMs);
    }
    static QString applying(const QString &name)
    {
        return QStringLiteral("Applying layout: \"%1\"").arg(name);
    }

    QImage shot(const QString &name)
    {
        return grab(m_xserver, name, QSize(windowWidth, windowHeight), m_sandbox);
    }

    void click(int x, int y, int times = 1)
    {
        m_xserver.xdotool({"mousemove", "--window", m_clientWindow, QString::number(x),
                           QString::number(y), "click", "--repeat", QString::number(times),
                           "--delay", "60", "1"});
    }
    void key(const QString &keys) { m_xserver.xdotool({"key", "--window", m_clientWindow, keys}); }

    // Opens the sidebar and waits until it is wide open: at the bottom, under its tree, its colour
    // then reaches from the closed strip to its right end.
    bool openSidebar()
    {
        const int y = windowHeight - 10;
        const auto isOpen = [&] {
            const QImage image = shot(QStringLiteral("sidebar"));
            return image.pixel(245, y) == image.pixel(closedWidth - 5, y);
        };
        // A click that comes while the window is still busy with its first pages is lost.
        return QTest::qWaitFor(
            [&] {
                click(closedWidth / 2, entryHeight / 2);
                return QTest::qWaitFor(isOpen, 1500);
            },
            10000);
    }

    bool startClient()
    {
        m_client =
            programOnDisplay(m_xserver, m_clientProgram, m_sandbox + QStringLiteral("/client"));
        if (!m_client->start())
            return false;
        m_clientWindow = m_xserver.waitForWindow(m_client->process().processId());
        return !m_clientWindow.isEmpty();
    }

private slots:
    void initTestCase()
    {
        if (!XServer::available())
            QSKIP("Xvfb and xdotool are needed");
        QVERIFY(m_xserver.start(QStringLiteral("1300x%1").arg(windowHeight)));

        // The Till's recordings are one minute-long chunk from now on.
        const qint64 now = ardix::sim::nowMs();
        const QJsonObject demo = demoSiteWithTillChunk(now);
        std::string error;
        auto site =
            ardix::sim::Site::fromJson(QJsonDocument(demo).toJson().toStdString(), now, error);
        QVERIFY2(site, error.c_str());
        ardix::sim::SimulatorOptions options;
        options.site = std::move(*site);
        options.httpPort.reset();
        options.rtspPort.reset();
        m_sim = std::make_unique<ardix::sim::Simulator>(std::move(options));
        QVERIFY(m_sim->start());
        QVERIFY2(m_sim->gatewayHttpPort(2) != 0, "the gateway's port 9554 is taken");

        m_url = RpcHost::freeUrl(QStringLiteral("tcp"));
        m_sandbox = RpcHost::sandbox();
        m_clientProgram =
            RpcHost::install(ProgramRun::builtProgram(QStringLiteral("client/client")),
                             m_sandbox + QStringLiteral("/client"), m_url);
        QSettings stored(qEnvironmentVariable("XDG_CONFIG_HOME") +
                             QStringLiteral("/ardix.example/Ardix.conf"),
                         QSettings::IniFormat);
        stored.setValue(QStringLiteral("host"), QStringLiteral("127.0.0.1"));
        stored.setValue(QStringLiteral("port"), QString::number(m_sim->eventPort()));
        stored.setValue(QStringLiteral("user"), QStringLiteral("operator"));
        stored.setValue(QStringLiteral("pass"), QStringLiteral("operator"));
        stored.setValue(QStringLiteral("Window/geometry"), QRect(0, 0, windowWidth, windowHeight));
    }

    void cleanupTestCase()
    {
        m_vantrel.reset();
        m_client.reset();
        if (m_sim)
            m_sim->stop();
        m_xserver.stop();
    }

    void sidebarAndVantrelStayInStep()
    {
        QVERIFY(startClient());
        QVERIFY(ProgramRun::waitForLine(
            clientLog(), QStringLiteral("Showing the first layout: \"2x2 Cameras\""), 30000));

        const QString folder = m_sandbox + QStringLiteral("/vantrel");
        const QString vantrel = RpcHost::install(
            ProgramRun::builtProgram(QStringLiteral("vantrel/vantrel")), folder, m_url);
        m_vantrel =
            programOnDisplay(m_xserver, vantrel, folder,
                             {QStringLiteral("-geometry"), QStringLiteral("640x480+660+0")});
        QVERIFY(m_vantrel->start());
        m_vantrelWindow = m_xserver.waitForWindow(m_vantrel->process().processId());
        QVERIFY(!m_vantrelWindow.isEmpty());

        // the sidebar's fourth layout
        // A click that comes while the opening sidebar is still busy is lost; a layout chosen
        // closes the sidebar, so each try opens it again.
        int before = count(applying(demoLayouts[3]));
        QVERIFY(QTest::qWaitFor(
            [&] {
                if (!openSidebar())
                    return false;
                click(120, layoutRowsTop + 3 * layoutRowHeight + layoutRowHeight / 2);
                return waitForMore(applying(demoLayouts[3]), before, 2000);
            },
            30000));

        // vantrel's second layout, which the opened sidebar then marks as the current one
        before = count(applying(demoLayouts[1]));
        QVERIFY(QTest::qWaitFor(
            [&] {
                m_xserver.xdotool(
                    {"mousemove", "--window", m_vantrelWindow, "100",
                     QString::number(VantrelScreen::firstRowY + VantrelScreen::rowHeight), "click",
                     "1"});
                return waitForMore(applying(demoLayouts[1]), before, 1000);
            },
            20000));
        QVERIFY(openSidebar());
        const auto row = [](int i) {
            return QRect(60, layoutRowsTop + i * layoutRowHeight + 2, 180, layoutRowHeight - 4);
        };
        QVERIFY(QTest::qWaitFor(
            [&] {
                const QImage image = shot(QStringLiteral("1-sidebar-marks-vantrel-layout"));
                return meanGray(image, row(1)) > meanGray(image, row(0)) + 10 &&
                       meanGray(image, row(1)) > meanGray(image, row(2)) + 10;
            },
            5000));

        // "Recorded" and "Layout" switch pages as vantrel's menu does
        const QString recorder = QStringLiteral("Jumping to page: client_ServiceSource::RECORDER");
        const QString playback = QStringLiteral("Jumping to page: client_ServiceSource::PLAYBACK");
        before = count(recorder);
        click(closedWidth / 2, 2 * entryHeight + entryHeight / 2);
        QVERIFY(waitForMore(recorder, before));
        before = count(playback);
        click(closedWidth / 2, entryHeight + entryHeight / 2);
        QVERIFY(waitForMore(playback, before));
    }

    void keysApplyLayoutsAndSwitchPages_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("line");
        QTest::newRow("1") << "1" << applying(demoLayouts[0]);
        QTest::newRow("ctrl+r") << "ctrl+r"
                                << "Jumping to page: client_ServiceSource::RECORDER";
        QTest::newRow("2") << "2" << applying(demoLayouts[1]);
        QTest::newRow("ctrl+t") << "ctrl+t"
                                << "Jumping to page: transactions";
        QTest::newRow("ctrl+l") << "ctrl+l"
                                << "Jumping to page: client_ServiceSource::PLAYBACK";
        QTest::newRow("4") << "4" << applying(demoLayouts[3]);
    }

    void keysApplyLayoutsAndSwitchPages()
    {
        QFETCH(QString, keys);
        QFETCH(QString, line);
        const int before = count(line);
        key(keys);
        QVERIFY(waitForMore(line, before));
    }

    void nineKeyWithoutNinthLayoutDoesNothing()
    {
        // the demo site has five layouts: "9" is not answered, the "1" after it is
        const int before = count(QStringLiteral("Applying layout:"));
        const int first = count(applying(demoLayouts[0]));
        key(QStringLiteral("9"));
        key(QStringLiteral("1"));
        QVERIFY(waitForMore(applying(demoLayouts[0]), first));
        QCOMPARE(count(QStringLiteral("Applying layout:")), before + 1);
        const int last = count(applying(demoLayouts[3]));
        key(QStringLiteral("4"));
        QVERIFY(waitForMore(applying(demoLayouts[3]), last));
    }

    void restartOpensTheLastAppliedLayout()
    {
        m_client.reset();
        const QString line = QStringLiteral("Showing the last applied layout: \"Single camera\"");
        const int before = count(line);
        QVERIFY(startClient());
        QVERIFY(waitForMore(line, before, 30000));
        QCOMPARE(count(QStringLiteral("Showing the first layout:")), 1);
    }

    void treeShowsAStreamAlone()
    {
        // the site is open; its first device, the gateway, opens with a click
        QVERIFY(ProgramRun::waitForLine(clientLog(), QStringLiteral("Fetching layouts ...")));
        QVERIFY(openSidebar());
        click(120, treeTop + treeRowHeight + treeRowHeight / 2);
        const QString line = QStringLiteral("Showing stream alone: \"Till\"");
        const int before = count(line);
        const int loaded = count(QStringLiteral("videoLoaded: true"));
        // the Till, the gateway's second stream
        const int tillY = treeTop + 3 * treeRowHeight + treeRowHeight / 2;
        QVERIFY(QTest::qWaitFor(
            [&] {
                click(120, tillY, 2);
                return waitForMore(line, before, 1000);
            },
            10000));
        QVERIFY(waitForMore(QStringLiteral("videoLoaded: true"), loaded, 20000));
        QVERIFY(count(QStringLiteral("Going to play: http://127.0.0.1:9554/live/12")) > 0);
        const QRect page(closedWidth, 0, windowWidth - closedWidth, windowHeight);
        QVERIFY(QTest::qWaitFor(
            [&] { return litShare(shot(QStringLiteral("2-till-alone")), page) > 0.5; }, 5000));
    }

    void snapshotSavesTheCell()
    {
        const QString line = QStringLiteral("Snapshot saved: ");
        const int before = count(line);
        // a click opens the camera's toolbar; its snapshot button is at its right end
        click(closedWidth + 200, 200);
        QVERIFY(QTest::qWaitFor(
            [&] {
                click(windowWidth - 30, 16);
                return waitForMore(line, before, 1500);
            },
            10000));
        const QString path = ProgramRun::readLines(clientLog())
                                 .filter(line)
                                 .constLast()
                                 .section(line, 1)
                                 .remove(QLatin1Char('"'));
        QVERIFY2(path.startsWith(qEnvironmentVariable("HOME")), qPrintable(path));
        QVERIFY2(path.contains(QStringLiteral("/Ardix/Till_")), qPrintable(path));
        QVERIFY(path.endsWith(QStringLiteral(".png")));
        QVERIFY(QFileInfo(path).size() > 0);
        const QImage picture(path);
        QCOMPARE(picture.size(), QSize(windowWidth - closedWidth, windowHeight));
        QVERIFY(litShare(picture.convertToFormat(QImage::Format_RGB32), picture.rect()) > 0.5);
    }

    void seekBarMovesTheRecording()
    {
        key(QStringLiteral("ctrl+r"));
        QVERIFY(ProgramRun::waitForLine(
            clientLog(), QStringLiteral("Jumping to page: client_ServiceSource::RECORDER")));
        // the tree chooses the stream on this page
        const QString chosen = QStringLiteral("qml: Device id: 2 stream id: 12");
        const int before = count(chosen);
        QVERIFY(openSidebar());
        const int tillY = treeTop + 3 * treeRowHeight + treeRowHeight / 2;
        QVERIFY(QTest::qWaitFor(
            [&] {
                click(120, tillY, 2);
                shot(QStringLiteral("3-tree-on-recorded-page"));
                return waitForMore(chosen, before, 1000);
            },
            10000));
        // its one chunk, under the one stream of the list
        const QString querying = QStringLiteral("qml: Querying URL: ");
        const int queries = count(querying);
        const int playing = count(QStringLiteral("qml: Playing: "));
        const int loaded = count(QStringLiteral("videoLoaded: true"));
        QVERIFY(QTest::qWaitFor(
            [&] {
                click(closedWidth + 60, 120);
                return waitForMore(querying, queries, 1000);
            },
            15000));
        QVERIFY(waitForMore(QStringLiteral("qml: Playing: "), playing, 60000));
        QVERIFY(waitForMore(QStringLiteral("videoLoaded: true"), loaded, 20000));

        // three quarters along the seek bar, which spans the player's pane (right of the
        // 250 px lists and the splitter's 5 px handle, less 8 px each side), above the strip
        // of the stream's controls (the Bookmark and Motion search buttons, a row of 46 px in a
        // pane this narrow, then the export panel, 48 px and 4 px round it) and the stream's
        // timeline (its day row of 32 px and the 64 px timeline)
        const int barLeft = closedWidth + 255 + 8;
        const int barRight = windowWidth - 8;
        const int barX = barLeft + (barRight - barLeft) * 3 / 4;
        const QString seeking = QStringLiteral("qml: Seeking to: ");
        const QString landed = QStringLiteral("qml: Position after seeking: ");
        const int seeks = count(seeking);
        QVERIFY(QTest::qWaitFor(
            [&] {
                shot(QStringLiteral("3-recording"));
                click(barX, windowHeight - 96 - 56 - 46 - 66 + 12);
                return waitForMore(seeking, seeks, 1000);
            },
            15000));
        QVERIFY(waitForMore(landed, 0, 10000));
        const double target = ProgramRun::readLines(clientLog())
                                  .filter(seeking)
                                  .constLast()
                                  .section(seeking, 1)
                                  .toDouble();
        const double position = ProgramRun::readLines(clientLog())
                                    .filter(landed)
                                    .constLast()
                                    .section(landed, 1)
                                    .toDouble();
        qInfo() << "seek target" << target << "position after seeking" << position;
        // the minute-long recording's 45th second, give or take the handle's width
        QVERIFY2(qAbs(target - 45) < 5, qPrintable(QString::number(target)));
        QVERIFY(qAbs(position - target) < 1.0);

        // the receipts recorded so far lie before the new position: none is left to show
        const QString posSize = QStringLiteral("qml: POS size: ");
        const QString following = QStringLiteral("qml: POS texts from %1 s on: ")
                                      .arg(ProgramRun::readLines(clientLog())
                                               .filter(seeking)
                                               .constLast()
                                               .section(seeking, 1));
        QVERIFY(ProgramRun::waitForLine(clientLog(), following));
        // (how many there are depends on how long the test took to reach the recording)
        qInfo() << ProgramRun::readLines(clientLog()).filter(posSize).constLast();
        QCOMPARE(
            ProgramRun::readLines(clientLog()).filter(following).constLast().section(following, 1),
            QStringLiteral("0"));
        shot(QStringLiteral("4-recording-seeked"));
    }
};

QTEST_GUILESS_MAIN(TestConsoleNavigation)
#include "tst_consolenavigation.moc"
