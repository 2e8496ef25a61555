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

    // Motion sounds nothing, a forced door among motions sounds once and is heard; with
    // Events/sound=false nothing is even loaded.
    void soundsForAlarmClassesOnly()
    {
        EventList list(QString{});
        AlarmSounder sounder(&list);
        AlarmSounder silent(&list, false);
        bool heard = false;
        connect(&sounder, &AlarmSounder::playingChanged, this,
                [&] { heard = heard || sounder.isPlaying(); });
        QTRY_COMPARE_WITH_TIMEOUT(sounder.status(), QStringLiteral("ready"), 30000);
        QSignalSpy arrived(&list, &EventList::arrived);
        for (const char *cls : {"video.MOTION", "door.forced", "door.OPENED"})
            list.addLocal(QStringLiteral("14"), cls, QString());
        QVERIFY(arrived.wait(5000));
        QCOMPARE(sounder.playCount(), 0);
        for (const char *cls : {"video.MOTION", "door.FORCED", "video.MOTION"})
            list.addLocal(QStringLiteral("21"), cls, QString());
        QVERIFY(arrived.wait(5000));
        QCOMPARE(sounder.playCount(), 1);
        QCOMPARE(sounder.lastClasses(), QStringList{"door.FORCED"});
        QTRY_VERIFY_WITH_TIMEOUT(heard, 30000);
        QCOMPARE(silent.playCount(), 0);
        QCOMPARE(silent.status(), QStringLiteral("off"));
    }
};

QTEST_GUILESS_MAIN(TestAlarmSound)
#include "tst_alarmsound.moc"
