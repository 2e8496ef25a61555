// The alarm sound: asked for new events of the alarm classes only (door.FORCED by default, not
// motion), loaded from the console's resources and heard through Qt Multimedia, and never when
// the setting turns it off. A sound server with a null sink stands in for the speakers.
#include "AlarmSounder.h"
#include "EventList.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class TestAlarmSound : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_runtime;
    QProcess m_soundServer;

private slots:
    void initTestCase()
    {
        const QString server = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
        QVERIFY2(!server.isEmpty(), "pulseaudio is needed: scripts/install-deps.sh");
        QVERIFY(m_runtime.isValid());
        QFile::setPermissions(m_runtime.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        // The server and this process meet at $XDG_RUNTIME_DIR/pulse/native.
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
        m_soundServer.setProcessChannelMode(QProcess::ForwardedChannels);
        m_soundServer.start(server, {"-n", "--daemonize=no", "--exit-idle-time=-1",
                                     "--use-pid-file=no", "--system=no", "-L", "module-null-sink",
                                     "-L", "module-native-protocol-unix", "--log-level=error"});
        QVERIFY(m_soundServer.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_runtime.filePath("pulse/native")), 30000);
    }

    void cleanupTestCase()
    {
        m_soundServer.terminate();
        m_soundServer.waitForFinished(10000);
    }

    void soundsForAlarmClassesOnly_data()
    {
        QTest::addColumn<QStringList>("classes");
        QTest::addColumn<bool>("soundOn");
        QTest::addColumn<QStringList>("sounded");

        QTest::newRow("door forced")
            << QStringList{"door.FORCED"} << true << QStringList{"door.FORCED"};
        QTest::newRow("motion") << QStringList{"video.MOTION"} << true << QStringList{};
        QTest::newRow("door opened") << QStringList{"door.OPENED"} << true << QStringList{};
        QTest::newRow("forced among motions")
            << QStringList{"video.MOTION", "door.FORCED", "video.MOTION"} << true
            << QStringList{"door.FORCED"};
        QTest::newRow("class in other case") << QStringList{"door.forced"} << true << QStringList{};
        QTest::newRow("sound=false") << QStringList{"door.FORCED"} << false << QStringList{};
    }

    void soundsForAlarmClassesOnly()
    {
        QFETCH(QStringList, classes);
        QFETCH(bool, soundOn);
        QFETCH(QStringList, sounded);

        EventList list(QString{});
        AlarmSounder sounder(&list, soundOn);
        bool heard = false;
        connect(&sounder, &AlarmSounder::playingChanged, this,
                [&] { heard = heard || sounder.isPlaying(); });
        if (soundOn)
            QTRY_COMPARE_WITH_TIMEOUT(sounder.status(), QStringLiteral("ready"), 30000);
        else
            QCOMPARE(sounder.status(), QStringLiteral("off"));

        QSignalSpy arrived(&list, &EventList::arrived);
        for (const QString &cls : classes)
            list.addLocal(QStringLiteral("21"), cls, QStringLiteral("text"));
        QVERIFY(arrived.wait(5000));
        QCOMPARE(sounder.playCount(), sounded.isEmpty() ? 0 : 1);
        QCOMPARE(sounder.lastClasses(), sounded);
        if (!sounded.isEmpty())
            QTRY_VERIFY_WITH_TIMEOUT(heard, 30000);
        // a motion a minute later sounds nothing more
        list.addLocal(QStringLiteral("99"), QStringLiteral("video.MOTION"), QStringLiteral("m"));
        QVERIFY(arrived.wait(5000));
        QCOMPARE(sounder.playCount(), sounded.isEmpty() ? 0 : 1);
        if (sounded.isEmpty())
            QVERIFY(!heard);
    }
};

QTEST_GUILESS_MAIN(TestAlarmSound)
#include "tst_alarmsound.moc"
