// The log file shared by all threads: appends across runs, whole lines under concurrency, and
// silent dropping when the file cannot be written.
#include "LogFile.h"
#include "LogHandler.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <thread>

class TestLogFile : public QObject
{
    Q_OBJECT

private:
    static QStringList linesOf(const QString &path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
        if (lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }

private slots:
    // Ardix.conf's [Log] pattern stamps the lines of a console started from the desktop;
    // without the key the line stays as it was.
    void settingsPatternStampsTheLines()
    {
        QTemporaryDir dir;
        const QString log = dir.filePath(QStringLiteral("clientLogs.txt"));
        const QString conf = dir.filePath(QStringLiteral("Ardix.conf"));
        LogHandler::setFilePath(log.toStdString(), false);
        LogHandler::install();
        QVERIFY(!LogHandler::usePatternFrom(conf));
        qInfo("plain line");
        QSettings(conf, QSettings::IniFormat)
            .setValue("Log/pattern", "%{time yyyy-MM-dd hh:mm:ss.zzz} %{message}");
        QVERIFY(LogHandler::usePatternFrom(conf));
        qInfo("stamped line");
        qInstallMessageHandler(nullptr);
        qSetMessagePattern(QStringLiteral("%{if-category}%{category}: %{endif}%{message}"));
        const QStringList lines = linesOf(log);
        QCOMPARE(lines.value(0), QStringLiteral("plain line"));
        QVERIFY2(QRegularExpression(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} stamped line$)")
                     .match(lines.value(1))
                     .hasMatch(),
                 qPrintable(lines.value(1)));
    }

    void secondRunAppendsAfterFirst()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("clientLogs.txt"));
        {
            LogFile first(path.toStdString(), false);
            first.writeLine(QStringLiteral("first run"));
            first.writeLine(QStringLiteral("café ✓"));
        }
        {
            LogFile second(path.toStdString(), false);
            second.writeLine(QStringLiteral("second run"));
        }
        QCOMPARE(linesOf(path), QStringList({QStringLiteral("first run"), QStringLiteral("café ✓"),
                                             QStringLiteral("second run")}));
    }

    void nothingWrittenMeansNoFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("log.txt"));
        {
            LogFile unused(path.toStdString(), true);
        }
        QVERIFY(!QFile::exists(path));
    }

    void concurrentWritersGiveWholeLines()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("log.txt"));
        LogFile log(path.toStdString(), false);
        const int perThread = 2000;
        const QString a = QString(200, QLatin1Char('a'));
        const QString b = QString(200, QLatin1Char('b'));
        std::thread t1([&] {
            for (int i = 0; i < perThread; ++i)
                log.writeLine(a);
        });
        std::thread t2([&] {
            for (int i = 0; i < perThread; ++i)
                log.writeLine(b);
        });
        t1.join();
        t2.join();
        const QStringList lines = linesOf(path);
        QCOMPARE(lines.size(), 2 * perThread);
        QCOMPARE(lines.count(a), perThread);
        QCOMPARE(lines.count(b), perThread);
    }

    void floodIsCappedPerSecondAndCounted()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("log.txt"));
        LogFile log(path.toStdString(), false, 10000);
        const QString line(99, QLatin1Char('x'));
        for (int i = 0; i < 1000; ++i)
            log.writeLine(line);
        // 100 000 bytes offered; at most one second's budget (two, across a boundary) lands.
        QVERIFY(QFileInfo(path).size() <= 20000);
        QTRY_VERIFY((log.writeLine(QStringLiteral("after")),
                     !linesOf(path).filter(QStringLiteral("log lines dropped")).isEmpty()));
        const QString note = linesOf(path).filter(QStringLiteral("log lines dropped")).first();
        QVERIFY2(
            QRegularExpression(
                QStringLiteral("^[0-9]+ log lines dropped: more than 10000 bytes in one second$"))
                .match(note)
                .hasMatch(),
            qPrintable(note));
        QCOMPARE(linesOf(path).last(), QStringLiteral("after"));
    }

    void missingFolderIsCreatedOnRequest()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Ardix/deeper/clientLogs.txt"));
        LogFile log(path.toStdString(), true);
        log.writeLine(QStringLiteral("kept"));
        QCOMPARE(linesOf(path), QStringList(QStringLiteral("kept")));
    }

    void unwritableTargetsDropMessages_data()
    {
        QTest::addColumn<QString>("relativePath");
        QTest::newRow("missing folder") << QStringLiteral("absent/clientLogs.txt");
        QTest::newRow("path is a folder") << QStringLiteral("folder");
        QTest::newRow("read-only folder") << QStringLiteral("readonly/clientLogs.txt");
        QTest::newRow("empty path") << QString();
    }

    void unwritableTargetsDropMessages()
    {
        QFETCH(QString, relativePath);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("readonly")));
        QFile::setPermissions(dir.filePath(QStringLiteral("readonly")),
                              QFile::ReadOwner | QFile::ExeOwner);
        const QString path = relativePath.isEmpty() ? QString() : dir.filePath(relativePath);
        LogFile log(path.toStdString(), false);
        log.writeLine(QStringLiteral("dropped"));
        log.writeLine(QStringLiteral("dropped again"));
        // root ignores the permission bits, so the read-only case proves nothing there
        if (relativePath.startsWith(QLatin1String("readonly")) && QFile::exists(path))
            QSKIP("running as root: a read-only folder is still writable");
        QVERIFY(path.isEmpty() || !QFileInfo(path).isFile());
    }
};

QTEST_GUILESS_MAIN(TestLogFile)
#include "tst_logfile.moc"
