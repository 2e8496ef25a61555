// "config.ini" gives the remote-control endpoint; a missing file or key falls back quietly. The
// file beside the program wins over the machine-wide one, which is read only when the program's
// folder holds none.
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
        QTemporaryDir none; // an empty machine-wide folder
        QCOMPARE(IpcConfig::readUrl(dir.path(), none.path()), expected);
        // reading never writes the file
        QCOMPARE(QFile::exists(dir.filePath(QStringLiteral("config.ini"))), !contents.isNull());
    }

    void systemFolderFallback_data()
    {
        QTest::addColumn<QByteArray>("beside"); // null: no file beside the program
        QTest::addColumn<QByteArray>("system"); // null: no machine-wide file
        QTest::addColumn<QString>("expected");
        const QByteArray beside("[IPC]\nurl=tcp://127.0.0.1:4711\n");
        const QByteArray system("[IPC]\nurl=local:ardix-machine\n");
        const QString fallback = QStringLiteral("tcp://127.0.0.1:12230");
        QTest::newRow("neither") << QByteArray() << QByteArray() << fallback;
        QTest::newRow("machine-wide only") << QByteArray() << system << "local:ardix-machine";
        QTest::newRow("beside wins") << beside << system << "tcp://127.0.0.1:4711";
        QTest::newRow("beside only") << beside << QByteArray() << "tcp://127.0.0.1:4711";
        // A file beside the program is used even without the key: its default is the answer.
        QTest::newRow("beside without key") << QByteArray("[Other]\nx=1\n") << system << fallback;
        QTest::newRow("machine-wide garbage")
            << QByteArray() << QByteArray("\x01[[\n=\n") << fallback;
        QTest::newRow("machine-wide other key")
            << QByteArray() << QByteArray("[IPC]\nport=9\n") << fallback;
    }

    void systemFolderFallback()
    {
        QFETCH(QByteArray, beside);
        QFETCH(QByteArray, system);
        QFETCH(QString, expected);
        QTemporaryDir program;
        QTemporaryDir machine;
        for (const auto &[dir, contents] : {std::pair{&program, beside}, {&machine, system}}) {
            if (contents.isNull())
                continue;
            QFile file(dir->filePath(QStringLiteral("config.ini")));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(contents);
        }
        QCOMPARE(IpcConfig::readUrl(program.path(), machine.path()), expected);
        QCOMPARE(IpcConfig::filePath(program.path(), machine.path()),
                 (beside.isNull() ? machine.path() : program.path()) + "/config.ini");
    }
};

QTEST_GUILESS_MAIN(TestConfig)
#include "tst_config.moc"
