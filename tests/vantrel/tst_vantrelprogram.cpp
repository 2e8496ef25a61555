// vantrel as a whole program on an X server of its own, driven with xdotool like an operator
// would, against the console side in another process. Pictures of each state are kept in
// ARDIX_ARTIFACT_DIR.
#include "ProgramRun.h"
#include "RpcHost.h"
#include "VantrelScreen.h"
#include "XServer.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QtTest>

#include <memory>

namespace {

using Layouts = QList<QPair<QString, QString>>;

// The console applies only documents that hold a cell; the second one's is an alarm cell, so
// no player starts.
const Layouts shop{
    {QStringLiteral("Entrance"), QStringLiteral("{\"numRows\":1}")},
    {QStringLiteral("Caixa – Sé 東"),
     QStringLiteral("{\"label\":\"Café\",\"numRows\":1,\"numCols\":1,\"elements\":[{\"row\":0,"
                    "\"col\":0,\"rowSpan\":1,\"colSpan\":1,\"type\":\"alarm\"}]}")}};

} // namespace

using namespace VantrelScreen;

class TestVantrelProgram : public QObject
{
    Q_OBJECT

private:
    XServer m_xserver;
    std::unique_ptr<RpcHost> m_host;
    std::unique_ptr<ProgramRun> m_vantrel;
    QString m_folder;
    QString m_window;
    QString m_url;

    QString xdotool(const QStringList &arguments) const { return m_xserver.xdotool(arguments); }

    QImage shot(const QString &name)
    {
        const QString folder = qEnvironmentVariable("ARDIX_ARTIFACT_DIR", RpcHost::sandbox());
        QDir().mkpath(folder);
        const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".png");
        QFile::remove(path);
        m_xserver.run(QStringLiteral("ffmpeg"),
                      {"-loglevel", "error", "-y", "-f", "x11grab", "-draw_mouse", "0",
                       "-video_size", "640x480", "-i", m_xserver.display() + "+0,0", "-frames:v",
                       "1", path});
        return QImage(path);
    }

    // The menu row is light across the whole width on the list page (not while the pages
    // slide) and black on "Login to continue".
    bool showsList(const QImage &image) const
    {
        return !image.isNull() && qGray(image.pixel(4, menuY)) > 128 &&
               qGray(image.pixel(630, menuY)) > 128;
    }
    bool showsLogin(const QImage &image) const
    {
        if (image.isNull() || qGray(image.pixel(4, menuY)) > 32 ||
            qGray(image.pixel(630, menuY)) > 32)
            return false;
        // white text in the middle of the window
        for (int x = 260; x < 380; ++x) {
            if (qGray(image.pixel(x, 240)) > 200)
                return true;
        }
        return false;
    }
    bool waitForScreen(bool list, const QString &name, int timeoutMs)
    {
        return QTest::qWaitFor(
            [&] {
                const QImage image = shot(name);
                return list ? showsList(image) : showsLogin(image);
            },
            timeoutMs);
    }

private slots:
    void initTestCase()
    {
        if (!XServer::available())
            QSKIP("Xvfb and xdotool are needed");
        QVERIFY(m_xserver.start(QStringLiteral("640x480")));

        const QString url = m_url = RpcHost::freeUrl(QStringLiteral("tcp"));
        m_folder = RpcHost::sandbox() + QStringLiteral("/vantrel");
        const QString program = RpcHost::install(
            ProgramRun::builtProgram(QStringLiteral("vantrel/vantrel")), m_folder, url);
        m_host = std::make_unique<RpcHost>(RpcHost::sandbox() + QStringLiteral("/console"), url);

        m_vantrel = std::make_unique<ProgramRun>(program);
        m_vantrel->setEnv(QStringLiteral("DISPLAY"), m_xserver.display());
        m_vantrel->setEnv(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        m_vantrel->setWorkingDirectory(m_folder);
        QVERIFY(m_vantrel->start());
        m_window = m_xserver.waitForWindow(m_vantrel->process().processId());
        QVERIFY(!m_window.isEmpty());
    }

    void cleanupTestCase()
    {
        m_vantrel.reset();
        m_host.reset();
        m_xserver.stop();
    }

    void startedBeforeTheConsoleAsksToLogIn()
    {
        QVERIFY(waitForScreen(false, QStringLiteral("1-before-console"), 15000));
        // its log is "vantrel.log" in the folder it was started in
        const QString log = m_folder + QStringLiteral("/vantrel.log");
        QVERIFY(
            ProgramRun::waitForLine(log, QStringLiteral("Connecting to: QUrl(\"%1\")").arg(m_url)));
        QCOMPARE(ProgramRun::readLines(log).value(0), QStringLiteral("IPC url: \"%1\"").arg(m_url));
    }

    void consoleSignInShowsTheList()
    {
        QVERIFY(m_host->start());
        m_host->publish(shop);
        m_host->login();
        QVERIFY(waitForScreen(true, QStringLiteral("2-signed-in"), 15000));
    }

    void clickOnALayoutSendsIt()
    {
        xdotool({"mousemove", "--window", m_window, "100", QString::number(firstRowY + rowHeight),
                 "click", "1"});
        const QJsonObject request = m_host->waitForEvent(QStringLiteral("setLayoutRequested"));
        QCOMPARE(request.value("name").toString(), shop.at(1).first);
        QCOMPARE(request.value("json").toString(), shop.at(1).second);
        QVERIFY(m_host->waitForLogLine(
            QStringLiteral("info|Applying layout: \"%1\"").arg(shop.at(1).first)));
        // the chosen row turns gray
        QVERIFY(QTest::qWaitFor(
            [&] {
                const QImage image = shot(QStringLiteral("3-layout-chosen"));
                return !image.isNull() && qGray(image.pixel(600, firstRowY + rowHeight)) > 64 &&
                       qGray(image.pixel(600, firstRowY)) < 32;
            },
            10000));
    }

    void choosingRecorderJumpsThere()
    {
        xdotool({"mousemove", "--window", m_window, "320", QString::number(menuY), "click", "1"});
        xdotool({"key", "--window", m_window, "Down"});
        shot(QStringLiteral("4-menu-open"));
        xdotool({"key", "--window", m_window, "Return"});
        QCOMPARE(m_host->waitForEvent(QStringLiteral("requestedJumpPage")).value("page").toString(),
                 QStringLiteral("recorder"));
    }

    void closingTheConsoleReturnsToLogin()
    {
        QVERIFY(m_host->stop());
        // within the heartbeat (5 s) plus the time a picture takes
        QVERIFY(waitForScreen(false, QStringLiteral("5-console-closed"), 5000 + 3000));
    }
};

QTEST_GUILESS_MAIN(TestVantrelProgram)
#include "tst_vantrelprogram.moc"
