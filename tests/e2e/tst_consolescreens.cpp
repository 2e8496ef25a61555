// The console's screens as an operator meets them: the console signs in by itself from its
// stored fields (and says why when the stored password is wrong), vantrel's clicks apply each
// demo layout and every video cell shows moving pictures, a door shows closed from the start and
// changes picture, opened and closed from its cell, when the site reports the door, the Till's
// receipts appear over its video, and the recorder plays a recorded chunk with its receipts.
// The simulated demo site runs in-process on its own ports (the recorder reaches gateways on
// their fixed HTTP port); the console and vantrel run as whole programs on an X server of the
// test's own, driven with xdotool. A picture of each state goes to ARDIX_ARTIFACT_DIR.
#include "ProgramRun.h"
#include "RpcHost.h"
#include "ScreenCheck.h"
#include "VantrelScreen.h"
#include "XServer.h"

#include <Simulator.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRect>
#include <QSettings>
#include <QTest>

#include <algorithm>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

using namespace VantrelScreen;

using namespace ScreenCheck;

namespace {

constexpr int windowWidth = 640;
constexpr int windowHeight = 480;
// The closed sidebar takes the window's left edge; the pages lie beside it.
constexpr int pageLeft = 50;

QJsonObject demoLayout(const QString &name)
{
    const QJsonArray objects = demoSite()["objects"].toArray();
    for (const auto &o : objects) {
        const QJsonObject attributes = o.toObject()["attributes"].toObject();
        if (attributes.contains(name))
            return attributes[name].toObject();
    }
    return {};
}

// Where the cells of one type of a layout lie in the console's window.
QList<QRect> cellRects(const QJsonObject &layout, const QString &type)
{
    const double w = double(windowWidth - pageLeft) / qMax(1, layout["numCols"].toInt());
    const double h = double(windowHeight) / qMax(1, layout["numRows"].toInt());
    QList<QRect> rects;
    for (const auto &e : layout["elements"].toArray()) {
        const QJsonObject cell = e.toObject();
        if (cell["type"].toString() != type)
            continue;
        rects.append(QRect(pageLeft + qRound(cell["col"].toInt() * w),
                           qRound(cell["row"].toInt() * h), int(cell["colSpan"].toInt() * w),
                           int(cell["rowSpan"].toInt() * h)));
    }
    return rects;
}

} // namespace

class TestConsoleScreens : public QObject
{
    Q_OBJECT

private:
    XServer m_xserver;
    std::unique_ptr<ardix::sim::Simulator> m_sim;
    mutable std::mutex m_simMutex;
    std::vector<std::string> m_simLines;
    std::unique_ptr<ProgramRun> m_client;
    std::unique_ptr<ProgramRun> m_vantrel;
    QString m_sandbox;
    QString m_url;
    QString m_clientProgram;
    QString m_vantrelWindow;
    QString m_clientWindow;
    QElapsedTimer m_layoutShown;

    static QString clientLog()
    {
        return qEnvironmentVariable("HOME") + QStringLiteral("/.local/share/Ardix/clientLogs.txt");
    }
    static QStringList clientLines(const QString &text)
    {
        return ProgramRun::readLines(clientLog()).filter(text);
    }
    // Waits until the console's log holds more than `before` lines with text.
    static bool waitForMoreLines(const QString &text, int before, int timeoutMs = 20000)
    {
        return QTest::qWaitFor([&] { return clientLines(text).size() > before; }, timeoutMs);
    }

    int simCount(const std::string &text) const
    {
        std::lock_guard<std::mutex> lock(m_simMutex);
        return int(std::count_if(m_simLines.begin(), m_simLines.end(), [&](const std::string &l) {
            return l.find(text) != std::string::npos;
        }));
    }

    std::unique_ptr<ProgramRun> startOnDisplay(const QString &program, const QString &folder,
                                               const QStringList &arguments = {})
    {
        auto run = programOnDisplay(m_xserver, program, folder, arguments);
        // The door checks follow the pushed sensor values, which are logged only on request.
        run->setEnv(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("zarn.values.debug=true"));
        return run;
    }

    QImage shot(const QString &name)
    {
        return grab(m_xserver, name, QSize(windowWidth, windowHeight), m_sandbox);
    }

    void click(const QString &window, int x, int y)
    {
        m_xserver.xdotool({"mousemove", "--window", window, QString::number(x), QString::number(y),
                           "click", "1"});
    }

    void storeLoginFields(const QString &password)
    {
        QSettings stored(qEnvironmentVariable("XDG_CONFIG_HOME") +
                             QStringLiteral("/ardix.example/Ardix.conf"),
                         QSettings::IniFormat);
        stored.setValue(QStringLiteral("host"), QStringLiteral("127.0.0.1"));
        stored.setValue(QStringLiteral("port"), QString::number(m_sim->eventPort()));
        stored.setValue(QStringLiteral("user"), QStringLiteral("operator"));
        stored.setValue(QStringLiteral("pass"), password);
    }

    bool startClient()
    {
        m_client = startOnDisplay(m_clientProgram, m_sandbox + QStringLiteral("/client"));
        if (!m_client->start())
            return false;
        m_clientWindow = m_xserver.waitForWindow(m_client->process().processId());
        return !m_clientWindow.isEmpty();
    }

    // Clicks a row of vantrel's layout list until the console applies that layout: the list
    // reaches vantrel a moment after the console's sign-in.
    bool applyLayout(int row, const QString &name)
    {
        const QString line = QStringLiteral("Applying layout: \"%1\"").arg(name);
        const int before = clientLines(line).size();
        return QTest::qWaitFor(
            [&] {
                click(m_vantrelWindow, 100, firstRowY + row * rowHeight);
                return QTest::qWaitFor([&] { return clientLines(line).size() > before; }, 1000);
            },
            20000);
    }

    // Shows the layout and waits until each of its video cells reports its picture.
    bool showLayout(int row, const QString &name)
    {
        const int videoCells = cellRects(demoLayout(name), QStringLiteral("video")).size();
        const int loaded = clientLines(QStringLiteral("videoLoaded: true")).size();
        return applyLayout(row, name) &&
               QTest::qWaitFor(
                   [&] {
                       return clientLines(QStringLiteral("videoLoaded: true")).size() >=
                              loaded + videoCells;
                   },
                   30000);
    }

private slots:
    void initTestCase()
    {
        if (!XServer::available())
            QSKIP("Xvfb and xdotool are needed");
        QVERIFY(m_xserver.start(QStringLiteral("1300x480")));

        // The demo site, but the Till's recordings are one chunk that spans the test's own
        // time: the receipts published during the test are the texts recorded with it.
        const qint64 now = ardix::sim::nowMs();
        const QJsonObject demo = demoSiteWithTillChunk(now);
        std::string error;
        auto site =
            ardix::sim::Site::fromJson(QJsonDocument(demo).toJson().toStdString(), now, error);
        QVERIFY2(site, error.c_str());
        ardix::sim::SimulatorOptions options;
        options.site = std::move(*site);
        // The gateways on the site file's own HTTP and channel-text ports: the recorder asks a
        // gateway on its fixed port.
        options.httpPort.reset();
        options.rtspPort.reset();
        options.log = [this](const std::string &line) {
            std::lock_guard<std::mutex> lock(m_simMutex);
            m_simLines.push_back(line);
        };
        m_sim = std::make_unique<ardix::sim::Simulator>(std::move(options));
        QVERIFY(m_sim->start());
        QVERIFY2(m_sim->gatewayHttpPort(2) != 0, "the gateway's port 9554 is taken");

        m_url = RpcHost::freeUrl(QStringLiteral("tcp"));
        m_sandbox = RpcHost::sandbox();
        m_clientProgram =
            RpcHost::install(ProgramRun::builtProgram(QStringLiteral("client/client")),
                             m_sandbox + QStringLiteral("/client"), m_url);
    }

    void cleanupTestCase()
    {
        m_vantrel.reset();
        m_client.reset();
        if (m_sim)
            m_sim->stop();
        m_xserver.stop();
    }

    void wrongStoredPasswordStaysOnLogin()
    {
        storeLoginFields(QStringLiteral("not-the-password"));
        QVERIFY(startClient());
        QVERIFY(ProgramRun::waitForLine(clientLog(), QStringLiteral("Login error: "), 30000));
        QVERIFY(clientLines(QStringLiteral("Fetching layouts ...")).isEmpty());

        // the message in dark red on the login screen
        const QRect screen(0, 0, windowWidth, windowHeight);
        const auto darkRed = [](QRgb p) {
            return qRed(p) > 100 && qGreen(p) < 40 && qBlue(p) < 40;
        };
        QImage image;
        QVERIFY(QTest::qWaitFor(
            [&] {
                image = shot(QStringLiteral("1-login-error"));
                return countPixels(image, screen, darkRed) > 50;
            },
            10000));
        QCOMPARE(m_client->process().state(), QProcess::Running);
        m_client.reset();
    }

    void storedFieldsSignIn()
    {
        storeLoginFields(QStringLiteral("operator"));
        QVERIFY(startClient());
        QVERIFY(
            ProgramRun::waitForLine(clientLog(), QStringLiteral("Fetching layouts ..."), 30000));
        QVERIFY(ProgramRun::waitForLine(clientLog(), QStringLiteral("Showing the first layout")));
        QVERIFY(ProgramRun::waitForLine(clientLog(),
                                        QStringLiteral("Listening on: QUrl(\"%1\")").arg(m_url)));

        const QString folder = m_sandbox + QStringLiteral("/vantrel");
        const QString vantrel = RpcHost::install(
            ProgramRun::builtProgram(QStringLiteral("vantrel/vantrel")), folder, m_url);
        m_vantrel = startOnDisplay(vantrel, folder,
                                   {QStringLiteral("-geometry"), QStringLiteral("640x480+660+0")});
        QVERIFY(m_vantrel->start());
        m_vantrelWindow = m_xserver.waitForWindow(m_vantrel->process().processId());
        QVERIFY(!m_vantrelWindow.isEmpty());
        QVERIFY(ProgramRun::waitForLine(folder + QStringLiteral("/vantrel.log"),
                                        QStringLiteral("void QuickRpc::handleLoggedIn(bool)")));
        shot(QStringLiteral("2-signed-in"));
    }

    void layoutShowsMovingVideo_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("name");
        // vantrel lists the layouts in the server's order
        QTest::newRow("2x2") << 0 << QStringLiteral("2x2 Cameras");
        QTest::newRow("single") << 3 << QStringLiteral("Single camera"); // after "8x8 Cameras"
        QTest::newRow("3x3") << 1 << QStringLiteral("3x3 Cameras and doors");
    }

    void layoutShowsMovingVideo()
    {
        QFETCH(int, row);
        QFETCH(QString, name);
        QVERIFY(!m_vantrelWindow.isEmpty());
        QVERIFY(showLayout(row, name));
        const QList<QRect> cells = cellRects(demoLayout(name), QStringLiteral("video"));
        QVERIFY(!cells.isEmpty());

        const QString tag = QStringLiteral("3-layout-%1").arg(QTest::currentDataTag());
        const QImage first = shot(tag + QStringLiteral("-a"));
        QImage second;
        // the burned-in clock and the moving test picture change every cell
        m_layoutShown.start();
        const bool allMoved = QTest::qWaitFor(
            [&] {
                second = shot(tag + QStringLiteral("-b"));
                for (const QRect &cell : cells) {
                    if (changedShare(first, second, cell) < 0.002)
                        return false;
                }
                return true;
            },
            10000);
        for (const QRect &cell : cells) {
            QVERIFY2(
                litShare(second, cell) > 0.2,
                qPrintable(QStringLiteral("cell at %1,%2 is dark").arg(cell.x()).arg(cell.y())));
        }
        QVERIFY(allMoved);
    }

private:
    // Clicks the door's button and checks that the door's picture follows the sensor: the
    // same picture while only the lock has answered, the wanted one once the sensor reports.
    void toggleDoor(const QRect &door, const QString &name, bool wantClosed)
    {
        const std::string request = "setActuatorValue -> ok: 22 = ";
        const int requests = simCount(request);
        const QString report = QStringLiteral("sensorChanged: id( 21 )");
        const int reports = clientLines(report).size();
        const QRect picture = door.adjusted(0, 24, 0, -48);
        const bool closedBefore = showsClosedDoor(shot(name + QStringLiteral("-before")), picture);

        click(m_clientWindow, door.center().x(), door.bottom() - 20);
        QVERIFY(QTest::qWaitFor([&] { return simCount(request) > requests; }, 10000));
        QElapsedTimer sent;
        sent.start();
        const QImage lockOnly = shot(name + QStringLiteral("-lock-answered"));
        if (clientLines(report).size() == reports)
            QCOMPARE(showsClosedDoor(lockOnly, picture), closedBefore);
        QVERIFY(waitForMoreLines(report, reports, 10000));
        QVERIFY(sent.elapsed() >= demoSite()["doorDelayMs"].toInt() / 2);
        QVERIFY(QTest::qWaitFor([&] { return showsClosedDoor(shot(name), picture) == wantClosed; },
                                5000));
    }

    // The closed door's padlock is red, the open door's green.
    static bool showsClosedDoor(const QImage &image, const QRect &picture)
    {
        const int red = countPixels(image, picture, [](QRgb p) {
            return qRed(p) > 150 && qGreen(p) < 90 && qBlue(p) < 90;
        });
        const int green = countPixels(
            image, picture, [](QRgb p) { return qGreen(p) > 90 && qRed(p) < 80 && qBlue(p) < 90; });
        return red > green;
    }

private slots:
    void doorOpensAndClosesFromItsCell()
    {
        const QList<QRect> doors =
            cellRects(demoLayout(QStringLiteral("3x3 Cameras and doors")), QStringLiteral("door"));
        QCOMPARE(doors.size(), 2);
        // The site's doors are closed, and the console shows so before any door changed.
        const QRect picture = doors.first().adjusted(0, 24, 0, -48);
        QVERIFY(QTest::qWaitFor(
            [&] { return showsClosedDoor(shot(QStringLiteral("4-door-at-start")), picture); },
            10000));
        // "Front door": the lock opens, then the sensor reports the open door; and back
        toggleDoor(doors.first(), QStringLiteral("4-door-opened"), false);
        toggleDoor(doors.first(), QStringLiteral("4-door-closed"), true);
    }

    // The receipts arrive every few seconds and stay while more follow, so the Till's lines
    // pile up; they must stay inside the Till's cell and never cover the door cells below. In a
    // cell this small their box lies under the camera's name and clock: a band of it above the
    // picture's lower bars, where the picture has no white of its own.
    void posTextsShowOverTheTill()
    {
        QVERIFY(m_layoutShown.isValid());
        QVERIFY(!clientLines(QStringLiteral("Subscribed to channel: \"12\"")).isEmpty());
        const QJsonObject layout = demoLayout(QStringLiteral("3x3 Cameras and doors"));
        const QRect till = cellRects(layout, QStringLiteral("video")).at(1);
        const QRect overlay(till.x() + 8, till.y() + 64, 150, 40);
        const QRect door = cellRects(layout, QStringLiteral("door")).at(1);
        // black beside the door's picture
        const QRect besideDoor(door.x() + 6, door.y() + 30, 36, door.height() - 80);
        const auto white = [](QRgb p) { return qGray(p) > 230; };

        int mostOverlay = 0;
        int mostBeside = 0;
        const bool watched = QTest::qWaitFor(
            [&] {
                const QImage image = shot(QStringLiteral("5-till-receipts"));
                mostOverlay = qMax(mostOverlay, countPixels(image, overlay, white));
                mostBeside = qMax(mostBeside, countPixels(image, besideDoor, white));
                return mostBeside > 0 || m_layoutShown.elapsed() > 20000;
            },
            25000);
        qInfo() << "white pixels over the Till:" << mostOverlay << "beside the door:" << mostBeside;
        QVERIFY(watched);
        QVERIFY(mostOverlay > 25);
        QCOMPARE(mostBeside, 0);
    }

    void recorderPlaysAChunkWithItsTexts()
    {
        click(m_vantrelWindow, 320, menuY);
        m_xserver.xdotool({"key", "--window", m_vantrelWindow, "Down"});
        m_xserver.xdotool({"key", "--window", m_vantrelWindow, "Return"});
        QVERIFY(ProgramRun::waitForLine(
            clientLog(), QStringLiteral("Jumping to page: client_ServiceSource::RECORDER")));
        // the page has slid in when two pictures in a row are the same
        QImage previous = shot(QStringLiteral("6-recorder"));
        QVERIFY(QTest::qWaitFor(
            [&] {
                const QImage next = shot(QStringLiteral("6-recorder"));
                const bool still = next == previous;
                previous = next;
                return still;
            },
            10000));

        // the Till, second in the current layout's list
        click(m_clientWindow, pageLeft + 60, 82);
        QVERIFY(ProgramRun::waitForLine(clientLog(),
                                        QStringLiteral("qml: Device id: 2 stream id: 12")));
        // its one chunk appears, readable on the list's pane
        const QRect chunkRow(pageLeft + 10, 230, 200, 50);
        const auto dark = [](QRgb p) { return qGray(p) < 100; };
        QVERIFY(QTest::qWaitFor(
            [&] {
                return countPixels(shot(QStringLiteral("6-recorder-chunks")), chunkRow, dark) > 100;
            },
            10000));

        const QStringList steps{
            QStringLiteral("qml: Querying URL: http://127.0.0.1:9554/pos-data?strmId=12&from="),
            QStringLiteral("qml: Fetching: http://127.0.0.1:9554/"),
            QStringLiteral("qml: POS size: "), QStringLiteral("qml: Playing: ")};
        click(m_clientWindow, pageLeft + 60, chunkRow.center().y());
        for (const QString &step : steps)
            QVERIFY2(ProgramRun::waitForLine(clientLog(), step, 60000), qPrintable(step));
        // the receipts published so far lie inside the chunk
        const QString posSize = clientLines(QStringLiteral("qml: POS size: ")).constLast();
        QVERIFY2(posSize.section(QStringLiteral("POS size: "), 1).toInt() > 0, qPrintable(posSize));

        // the recording plays on the right, and its receipts are replayed over it
        const QRect player(pageLeft + 260, 0, windowWidth - pageLeft - 260, windowHeight);
        // the receipts' box lies to the right of the camera's name and clock, from the page's
        // top: over the black above the letterboxed picture its characters are the only white
        const QRect overlay(player.x() + 160, 8, 100, 56);
        const auto white = [](QRgb p) { return qGray(p) > 230; };
        const QImage first = shot(QStringLiteral("7-recording-a"));
        QVERIFY(QTest::qWaitFor(
            [&] {
                const QImage next = shot(QStringLiteral("7-recording-b"));
                return changedShare(first, next, player) > 0.002 && litShare(next, player) > 0.2;
            },
            15000));
        QVERIFY(QTest::qWaitFor(
            [&] {
                return countPixels(shot(QStringLiteral("7-recording-texts")), overlay, white) > 25;
            },
            15000));
    }
};

QTEST_GUILESS_MAIN(TestConsoleScreens)
#include "tst_consolescreens.moc"
