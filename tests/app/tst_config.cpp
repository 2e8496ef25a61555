// "config.ini" gives the remote-control endpoint; a missing file or key falls back quietly.
#include "IpcConfig.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestConfig : public QObject
{
    Q_OBJECT

private slots:
    void readUrl_data()
    {
        QTest::addColumn<QByteArray>("contents"); // null: no file at all
        QTest::addColumn<QString>("expected");
        QTest::newRow("no file") << QByteArray() << QStringLiteral("tcp://127.0.0.1:12230");
        QTest::newRow("key present") << QByteArray("[IPC]\nurl=tcp://127.0.0.1:4711\n")
                                     << QStringLiteral("tcp://127.0.0.1:4711");
        QTest::newRow("local socket")
            << QByteArray("[IPC]\nurl=local:ardix\n") << QStringLiteral("local:ardix");
        QTest::newRow("other key only") << QByteArray("[IPC]\nport=1\n[Other]\nurl=tcp://x:1\n")
                                        << QStringLiteral("tcp://127.0.0.1:12230");
        QTest::newRow("empty file") << QByteArray("") << QStringLiteral("tcp://127.0.0.1:12230");
        QTest::newRow("garbage") << QByteArray("\x01\x02[[[\n=\n")
                                 << QStringLiteral("tcp://127.0.0.1:12230");
    }

    void readUrl()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        if (!contents.isNull()) {
            QFile file(dir.filePath(QStringLiteral("config.ini")));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(contents);
        }
        QCOMPARE(IpcConfig::readUrl(dir.path()), expected);
        // reading never writes the file
        QCOMPARE(QFile::exists(dir.filePath(QStringLiteral("config.ini"))), !contents.isNull());
    }
};

QTEST_GUILESS_MAIN(TestConfig)
#include "tst_config.moc"
