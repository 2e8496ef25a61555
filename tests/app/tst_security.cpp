// What the console keeps and which addresses it trusts: the settings file and its folder end
// up owner-only whatever they were and whatever the umask, camera cells accept network
// addresses only, and a remote-control endpoint that other machines can reach is warned about.
#include "LogCapture.h"
#include "RemoteControlExposure.h"
#include "SettingsFileGuard.h"
#include "StreamAddress.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using Perms = QFileDevice::Permissions;

namespace {

constexpr Perms ownerFolder = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                              QFileDevice::ExeOwner | QFileDevice::ReadUser |
                              QFileDevice::WriteUser | QFileDevice::ExeUser;
constexpr Perms ownerFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                            QFileDevice::ReadUser | QFileDevice::WriteUser;

int modeOf(const QString &path)
{
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return int(info.st_mode & 0777);
}

} // namespace

class TestSecurity : public QObject
{
    Q_OBJECT

private slots:
    void settingsFileBecomesOwnerOnly_data()
    {
        QTest::addColumn<int>("folderMode"); // -1: missing
        QTest::addColumn<int>("fileMode");   // -1: missing
        QTest::addColumn<QStringList>("infoLines");
        QTest::newRow("left readable by an earlier run")
            << 0755 << 0644
            << QStringList{"Settings folder made owner-only:", "Settings file made owner-only:"};
        QTest::newRow("open to everybody")
            << 0777 << 0666
            << QStringList{"Settings folder made owner-only:", "Settings file made owner-only:"};
        QTest::newRow("already owner-only") << 0700 << 0600 << QStringList();
        QTest::newRow("first start") << -1 << -1 << QStringList();
        QTest::newRow("folder only")
            << 0750 << -1 << QStringList{"Settings folder made owner-only:"};
    }

    void settingsFileBecomesOwnerOnly()
    {
        QFETCH(int, folderMode);
        QFETCH(int, fileMode);
        QFETCH(QStringList, infoLines);
        QTemporaryDir root;
        const QString folder = root.filePath(QStringLiteral("config/ardix.example"));
        const QString file = folder + QStringLiteral("/Ardix.conf");
        if (folderMode >= 0) {
            QVERIFY(QDir().mkpath(folder));
            QCOMPARE(::chmod(QFile::encodeName(folder).constData(), mode_t(folderMode)), 0);
        }
        if (fileMode >= 0) {
            QSettings old(file, QSettings::IniFormat);
            old.setValue(QStringLiteral("pass"), QStringLiteral("operator"));
            old.sync();
            QCOMPARE(::chmod(QFile::encodeName(file).constData(), mode_t(fileMode)), 0);
        }

        // A umask that lets everybody read what is created.
        const mode_t previous = ::umask(0);
        LogCapture log;
        const bool secured = SettingsFileGuard::secure(file);
        QVERIFY(secured);
        QCOMPARE(modeOf(folder), 0700);
        QCOMPARE(modeOf(file), 0600);
        QStringList seen;
        for (const QString &line : log.lines(QtInfoMsg))
            seen.append(line.left(line.indexOf(QLatin1Char(':')) + 1));
        QCOMPARE(seen, infoLines);
        for (const QString &line : log.lines(QtInfoMsg))
            QVERIFY(line.endsWith(
                QStringLiteral("\"%1\"").arg(line.contains("folder") ? folder : file)));

        // Saving the fields keeps the file owner-only; an earlier password is still there.
        {
            QSettings stored(file, QSettings::IniFormat);
            stored.setValue(QStringLiteral("host"), QStringLiteral("127.0.0.1"));
            stored.sync();
            QCOMPARE(stored.value(QStringLiteral("pass")).toString(),
                     fileMode >= 0 ? QStringLiteral("operator") : QString());
        }
        ::umask(previous);
        QCOMPARE(modeOf(file), 0600);
        QVERIFY(SettingsFileGuard::isOwnerOnly(folder) && SettingsFileGuard::isOwnerOnly(file));
        QCOMPARE(QFileInfo(file).permissions() & ~ownerFile, Perms());
        QCOMPARE(QFileInfo(folder).permissions() & ~ownerFolder, Perms());
    }

    void streamAddresses_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("network");
        QTest::newRow("http") << "http://127.0.0.1:9554/live/11?profile=main" << true;
        QTest::newRow("https") << "https://cams.example/live/2" << true;
        QTest::newRow("rtsp") << "rtsp://10.0.0.5:554/stream1" << true;
        QTest::newRow("rtsps") << "rtsps://cam.example/s" << true;
        QTest::newRow("rtmp") << "rtmp://10.0.0.5/live/cam" << true;
        QTest::newRow("udp multicast") << "udp://@239.0.0.1:1234" << true;
        QTest::newRow("tcp") << "tcp://10.0.0.5:9000" << true;
        QTest::newRow("srt") << "srt://10.0.0.5:9000?mode=caller" << true;
        QTest::newRow("upper-case scheme") << "HTTP://127.0.0.1/live" << true;
        QTest::newRow("local file url") << "file:///etc/hostname" << false;
        QTest::newRow("plain path") << "/etc/hostname" << false;
        QTest::newRow("relative path") << "etc/hostname" << false;
        QTest::newRow("player's own source") << "av://lavfi:testsrc" << false;
        QTest::newRow("edit list") << "edl://%10%/etc/hostname" << false;
        QTest::newRow("memory") << "memory://secret" << false;
        QTest::newRow("file descriptor") << "fd://0" << false;
        QTest::newRow("ftp") << "ftp://10.0.0.5/a.ts" << false;
        QTest::newRow("http without host") << "http:///etc/hostname" << false;
        QTest::newRow("malformed") << "http://[::1/live" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("scheme only") << "rtsp:" << false;
    }

    void streamAddresses()
    {
        QFETCH(QString, address);
        QFETCH(bool, network);
        QCOMPARE(StreamAddress::isNetworkAddress(address), network);
    }

    void remoteControlEndpoint_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("warned");
        QTest::newRow("default loopback") << "tcp://127.0.0.1:12230" << false;
        QTest::newRow("other loopback address") << "tcp://127.0.0.2:12230" << false;
        QTest::newRow("IPv6 loopback") << "tcp://[::1]:12230" << false;
        QTest::newRow("localhost") << "tcp://localhost:12230" << false;
        QTest::newRow("local socket") << "local:ardix" << false;
        QTest::newRow("LAN address") << "tcp://192.168.1.20:12230" << true;
        QTest::newRow("every interface") << "tcp://0.0.0.0:12230" << true;
        QTest::newRow("host name") << "tcp://console.example:12230" << true;
        QTest::newRow("no host") << "tcp://:12230" << true;
    }

    void remoteControlEndpoint()
    {
        QFETCH(QString, url);
        QFETCH(bool, warned);
        LogCapture log;
        QCOMPARE(RemoteControlExposure::warnIfReachable(QUrl(url)), warned);
        const QStringList expected =
            warned ? QStringList(QStringLiteral("Remote control listens on %1 which is not a "
                                                "loopback address: any machine that reaches it "
                                                "can drive the console (the interface has no "
                                                "authentication)")
                                     .arg(QUrl(url).toString()))
                   : QStringList();
        QCOMPARE(log.lines(QtWarningMsg), expected);
    }
};

QTEST_GUILESS_MAIN(TestSecurity)
#include "tst_security.moc"
