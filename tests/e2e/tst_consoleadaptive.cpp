// Live cells that play the stream fitting their size. A 4x4 layout of cameras offering a
// "main" and a "sub" profile plays "sub" in every cell of the console's 640x480 window; a double
// click shows one cell alone, which switches it to "main" while the fifteen cells it covers
// stop their streams, and a second double click brings back "sub" and the fifteen streams. The
// screen is grabbed all along both switches: no grab may show the camera black. Made twice as
// large, the window switches all sixteen cells to "main". The simulated site runs in-process on
// free ports; the console runs as the program on an X server of the test's own.
#include "ProgramRun.h"
#include "RpcHost.h"
#include "ScreenCheck.h"
#include "XServer.h"

#include <Simulator.h>

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTest>

#include <memory>

using namespace ScreenCheck;

namespace {

constexpr int sidebarWidth = 50;

QJsonArray profiles(int stream, unsigned short httpPort)
{
    const QString url = QStringLiteral("http://127.0.0.1:%1/live/%2[[?profile{EQU}%3]]");
    return {QJsonObject{{"name", "main"},
                        {"width", 640},
                        {"height", 360},
                        {"url", url.arg(httpPort).arg(stream).arg("main")}},
            QJsonObject{{"name", "sub"},
                        {"width", 320},
                        {"height", 180},
                        {"url", url.arg(httpPort).arg(stream).arg("sub")}}};
}

// Four cameras with two profiles each, and one layout: 4x4 cells of them.
QByteArray siteJson(unsigned short httpPort, unsigned short posPort)
{
    QJsonArray cells;
    for (int i = 0; i < 16; ++i) {
        cells.append(QJsonObject{{"row", i / 4},
                                 {"col", i % 4},
                                 {"rowSpan", 1},
                                 {"colSpan", 1},
                                 {"type", "video"},
                                 {"label", QStringLiteral("Cam %1").arg(i + 1)},
                                 {"deviceId", "2"},
                                 {"objectId", QString::number(11 + i % 4)}});
    }
    const QJsonObject layout{{"numRows", 4}, {"numCols", 4}, {"elements", cells}};
    QJsonArray objects{
        QJsonObject{{"id", 1},
                    {"name", "Shop"},
                    {"type", 7},
                    {"attributes", QJsonObject{{"4x4 Cameras", layout}}}},
        QJsonObject{{"id", 2},
                    {"name", "Gateway"},
                    {"type", 2},
                    {"class", "device.GATEWAY"},
                    {"parent", 1},
                    {"settings", QJsonObject{{"address", "127.0.0.1"}, {"posPort", posPort}}}}};
    for (int stream = 11; stream <= 14; ++stream) {
        objects.append(QJsonObject{
            {"id", stream},
            {"name", QStringLiteral("Camera %1").arg(stream)},
            {"type", 10},
            {"parent", 2},
            {"settings",
             QJsonObject{{"url", QStringLiteral("http://127.0.0.1:%1/live/%2[[?profile{EQU}main]]")
                                     .arg(httpPort)
                                     .arg(stream)},
                         {"profiles", profiles(stream, httpPort)}}}});
    }
    const QJsonObject site{
        {"name", "Adaptive shop"},
        {"rootId", 1},
        {"users",
         QJsonArray{QJsonObject{{"id", 500}, {"name", "operator"}, {"password", "operator"}}}},
        {"objects", objects}};
    return QJsonDocument(site).toJson();
}

} // namespace

class TestConsoleAdaptive : public QObject
{
    Q_OBJECT

private:
    XServer m_xserver;
    std::unique_ptr<ardix::sim::Simulator> m_sim;
    std::unique_ptr<ProgramRun> m_client;
    QString m_sandbox;
    QString m_window;

    static QString clientLog()
    {
        return qEnvironmentVariable("HOME") + QStringLiteral("/.local/share/Ardix/clientLogs.txt");
    }
    static int count(const QString &text)
    {
        return ProgramRun::readLines(clientLog()).filter(text).size();
    }
    // Streams the console opened, e.g. "live/12?profile=main".
    static int opened(const QString &stream)
    {
        return ProgramRun::readLines(clientLog())
            .filter(QStringLiteral("loadFile: "))
            .filter(stream + QLatin1Char('"'))
            .size();
    }
    static QString switched(int cell, const QString &from, const QString &to)
    {
        return QStringLiteral("Stream profile of cell %1 (\"Cam %1\"): %2 -> %3")
            .arg(cell)
            .arg(from, to);
    }

    void doubleClick(int x, int y)
    {
        m_xserver.xdotool({"mousemove", "--window", m_window, QString::number(x),
                           QString::number(y), "click", "--repeat", "2", "--delay", "60", "1"});
    }

    // Grabs the window until `done` holds and for a second after, checking that every grab
    // shows pictures over the page, and the switched camera's picture around its cell's middle,
    // which it covers in every step from cell to single view and back. Returns the number of grabs,
    // or 0 when one is dark or `done` never held.
    int grabWhile(const QString &name, const std::function<bool()> &done)
    {
        const QRect page(sidebarWidth, 0, 640 - sidebarWidth, 480);
        const QRect middle(230, 160, 80, 40);
        int grabs = 0;
        QElapsedTimer after;
        QElapsedTimer limit;
        limit.start();
        while ((!after.isValid() || after.elapsed() < 1000) && limit.elapsed() < 30000) {
            const QImage image = grab(m_xserver, name, QSize(640, 480), m_sandbox);
            ++grabs;
            if (litShare(image, page) < 0.4 || litShare(image, middle) < 0.6) {
                qWarning() << "grab" << grabs << "of" << name << "is dark:" << litShare(image, page)
                           << litShare(image, middle);
                return 0;
            }
            if (!after.isValid() && done())
                after.start();
        }
        return after.isValid() ? grabs : 0;
    }

private slots:
    void initTestCase()
    {
        if (!XServer::available())
            QSKIP("Xvfb and xdotool are needed");
        QVERIFY(m_xserver.start(QStringLiteral("1300x1000")));

        const unsigned short httpPort = freePort();
        std::string error;
        auto site = ardix::sim::Site::fromJson(siteJson(httpPort, freePort()).toStdString(),
                                               ardix::sim::nowMs(), error);
        QVERIFY2(site, error.c_str());
        ardix::sim::SimulatorOptions options;
        options.site = std::move(*site);
        options.httpPort = httpPort;
        options.log = [](const std::string &) {};
        m_sim = std::make_unique<ardix::sim::Simulator>(std::move(options));
        QVERIFY(m_sim->start());
        QCOMPARE(m_sim->gatewayHttpPort(2), httpPort);

        // The login page signs in by itself with the stored fields.
        m_sandbox = RpcHost::sandbox();
        m_client = startSignedInConsole(m_xserver, m_sim->eventPort(), m_sandbox, &m_window);
        QVERIFY(m_client);
    }

    void cleanupTestCase()
    {
        m_client.reset();
        if (m_sim)
            m_sim->stop();
        m_xserver.stop();
    }

    void smallCellsPlaySub()
    {
        QVERIFY(ProgramRun::waitForLine(clientLog(), QStringLiteral("Showing the first layout:"),
                                        30000));
        QTRY_VERIFY_WITH_TIMEOUT(count(QStringLiteral("videoLoaded: true")) >= 16, 60000);
        for (int cell = 1; cell <= 16; ++cell) {
            QCOMPARE(
                count(QStringLiteral("Stream profile of cell %1 (\"Cam %1\"): sub (").arg(cell)),
                1);
        }
        QVERIFY(opened(QStringLiteral("?profile=sub")) >= 16);
        QCOMPARE(opened(QStringLiteral("?profile=main")), 0);
    }

    // Cell 6, second row and column, shown alone and back, without a black picture between.
    void singleViewSwitchesWithoutBlack()
    {
        const QPoint cell6(sidebarWidth + 148 + 74, 120 + 60);
        const int subsBefore = opened(QStringLiteral("?profile=sub"));
        doubleClick(cell6.x(), cell6.y());
        const int there = grabWhile(QStringLiteral("to-main"), [&] {
            return count(switched(6, "sub", "main")) == 1 &&
                   opened(QStringLiteral("live/12?profile=main")) >= 1;
        });
        QVERIFY2(there > 0, "a grab during the switch to main shows no picture");
        QTRY_COMPARE_WITH_TIMEOUT(count(QStringLiteral("Decoding off, not shown:")), 15, 5000);

        doubleClick(cell6.x(), cell6.y());
        const int back = grabWhile(QStringLiteral("to-sub"), [&] {
            return count(switched(6, "main", "sub")) == 1 &&
                   count(QStringLiteral("Decoding on, shown again:")) == 15;
        });
        QVERIFY2(back > 0, "a grab during the switch back to sub shows no picture");
        // The fifteen streams and the sub one are opened again.
        QTRY_VERIFY_WITH_TIMEOUT(opened(QStringLiteral("?profile=sub")) >= subsBefore + 16, 15000);
    }

    void largerWindowSwitchesToMain()
    {
        m_xserver.xdotool({"windowsize", m_window, "1280", "960"});
        QTRY_VERIFY_WITH_TIMEOUT(count(QStringLiteral(": sub -> main (")) == 17, 20000);
        for (int cell = 1; cell <= 16; ++cell)
            QVERIFY2(count(switched(cell, "sub", "main")) >= 1, qPrintable(QString::number(cell)));
        QTRY_VERIFY_WITH_TIMEOUT(opened(QStringLiteral("?profile=main")) >= 17, 20000);
        // Still moving pictures in every cell.
        const QRect page(sidebarWidth, 0, 1280 - sidebarWidth, 960);
        QTRY_VERIFY_WITH_TIMEOUT(
            litShare(grab(m_xserver, QStringLiteral("large"), QSize(1280, 960), m_sandbox), page) >
                0.5,
            15000);
    }
};

QTEST_MAIN(TestConsoleAdaptive)
#include "tst_consoleadaptive.moc"
