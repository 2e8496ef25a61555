// The console as a whole program under the X server: where it logs, and how it ends.
#include "ProgramRun.h"

#include <QTest>

class TestClientProgram : public QObject
{
    Q_OBJECT

private:
    static QString logPath()
    {
        return qEnvironmentVariable("HOME") + QStringLiteral("/.local/share/Ardix/clientLogs.txt");
    }

    // Starts the client and waits until it has loaded its scene and is still running.
    static void runUntilLoaded(const QString &debug)
    {
        ProgramRun client(ProgramRun::builtProgram(QStringLiteral("client/client")));
        client.setEnv(QStringLiteral("DEBUG"), debug);
        QVERIFY(client.start());
        const int before = ProgramRun::readLines(logPath()).size();
        QVERIFY(QTest::qWaitFor([&] { return ProgramRun::readLines(logPath()).size() > before; },
                                15000));
        QVERIFY(!client.waitForExit(300));
        QCOMPARE(client.process().state(), QProcess::Running);
    }

private slots:
    void logsIntoFreshHomeAndAppends()
    {
        QVERIFY(!QFile::exists(logPath()));
        runUntilLoaded(QString());
        QStringList lines = ProgramRun::readLines(logPath());
        QCOMPARE(lines.value(0), QStringLiteral("DEBUG: \"0\""));
        const int firstRun = lines.size();

        runUntilLoaded(QStringLiteral("1"));
        lines = ProgramRun::readLines(logPath());
        QCOMPARE(lines.value(0), QStringLiteral("DEBUG: \"0\""));
        QVERIFY(lines.size() > firstRun);
        QCOMPARE(lines.value(firstRun), QStringLiteral("DEBUG: \"1\""));
    }

    void sceneThatFailsEndsWithMinusOne()
    {
        ProgramRun runner(ProgramRun::builtProgram(QStringLiteral("tests/app/scene_runner")));
        runner.setEnv(QStringLiteral("ARDIX_SCENE"), QStringLiteral("qrc:/qml/NoSuchScene.qml"));
        QVERIFY(runner.start());
        QVERIFY(runner.waitForExit(15000));
        QCOMPARE(runner.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(runner.exitCode(), 255);
        // the engine's own complaint reached the log file
        QVERIFY(ProgramRun::waitForLine(logPath(), QStringLiteral("NoSuchScene.qml"), 1000));
    }
};

QTEST_GUILESS_MAIN(TestClientProgram)
#include "tst_clientprogram.moc"
