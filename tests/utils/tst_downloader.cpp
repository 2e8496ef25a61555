// The recording downloader against a plain HTTP server on loopback: fresh file per download,
// signal order of cancel and of a replaced download, failures reported, chunk-by-chunk
// writing, an output file that is private to the process, and gateways that answer with
// something other than the recording.
#include "Downloader.h"
#include "GatewayHttp.h"
#include "LoopbackHttpServer.h"
#include "QmlUtils.h"
#include "Simulator.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The order in which finished() and cancelled() arrive, as one text.
class SignalOrder
{
public:
    explicit SignalOrder(Downloader &d)
    {
        QObject::connect(&d, &Downloader::finished, [this] { m_order << "finished"; });
        QObject::connect(&d, &Downloader::cancelled, [this] { m_order << "cancelled"; });
    }
    QString text() const { return m_order.join(QLatin1Char(' ')); }

private:
    QStringList m_order;
};

} // namespace

class TestDownloader : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_server.listen()); }

    void secondDownloadStartsFromAnEmptyFile()
    {
        m_server.answer(QStringLiteral("/long"), 200, QByteArray(300000, 'L'));
        m_server.answer(QStringLiteral("/short"), 200, QByteArray("short body"));
        Downloader d;
        QSignalSpy finished(&d, &Downloader::finished);
        d.setUrl(m_server.url(QStringLiteral("/long")).toString());
        d.download();
        QVERIFY(finished.wait());
        QCOMPARE(m_server.lastHeader("user-agent"), QByteArray("Ardix client"));
        QVERIFY(d.succeeded());
        QCOMPARE(d.httpStatus(), 200);
        QCOMPARE(contents(d.filePath()), QByteArray(300000, 'L'));

        d.setUrl(m_server.url(QStringLiteral("/short")).toString());
        d.download();
        QVERIFY(finished.wait());
        QCOMPARE(finished.count(), 2);
        QCOMPARE(contents(d.filePath()), QByteArray("short body"));
        QCOMPARE(d.filePath(), Downloader::outputFilePath());
    }

    void cancel_data()
    {
        QTest::addColumn<bool>("running");
        QTest::addColumn<QString>("order");
        QTest::newRow("nothing running") << false << "cancelled";
        QTest::newRow("during a download") << true << "finished cancelled";
    }

    void cancel()
    {
        QFETCH(bool, running);
        QFETCH(QString, order);
        Downloader d;
        SignalOrder signals_(d);
        if (running) {
            m_server.hold(QStringLiteral("/held"), 1000);
            QSignalSpy arrived(&m_server, &LoopbackHttpServer::heldClientArrived);
            d.setUrl(m_server.url(QStringLiteral("/held")).toString());
            d.download();
            QVERIFY(arrived.wait());
            m_server.sendChunk(QByteArray(100, 'p'));
            QTRY_COMPARE(QFileInfo(d.filePath()).size(), 100);
        }
        d.cancel();
        QCOMPARE(signals_.text(), order);
        QCOMPARE(d.wasCancelled(), running);
        if (running) {
            QVERIFY(!d.succeeded());
            QVERIFY(!d.errorString().isEmpty());
            // The partial file stays until the next download.
            QCOMPARE(contents(d.filePath()), QByteArray(100, 'p'));
        }
    }

    void newDownloadDiscardsTheRunningOne()
    {
        m_server.hold(QStringLiteral("/first"), 1000);
        m_server.answer(QStringLiteral("/second"), 200, QByteArray("second"));
        Downloader d;
        QSignalSpy finished(&d, &Downloader::finished);
        QSignalSpy arrived(&m_server, &LoopbackHttpServer::heldClientArrived);
        d.setUrl(m_server.url(QStringLiteral("/first")).toString());
        d.download();
        QVERIFY(arrived.wait());
        m_server.sendChunk(QByteArray(10, 'f'));
        QTRY_COMPARE(QFileInfo(d.filePath()).size(), 10);
        d.setUrl(m_server.url(QStringLiteral("/second")).toString());
        d.download();
        QVERIFY(finished.wait());
        QCOMPARE(finished.count(), 1);
        QVERIFY(d.succeeded());
        QCOMPARE(contents(d.filePath()), QByteArray("second"));
    }

    // A chunk chosen while another downloads: the first ends as cancelled, not failed.
    void cancelledThrottledDownloadIsNoFailure()
    {
        m_server.trickle(QStringLiteral("/throttled"), QByteArray(100, 't'), 20, 1000000);
        m_server.answer(QStringLiteral("/next"), 200, QByteArray("next"));
        Downloader d;
        QSignalSpy finished(&d, &Downloader::finished);
        d.setUrl(m_server.url(QStringLiteral("/throttled")).toString());
        d.download();
        QTRY_VERIFY(d.bytesReceived() >= 300);
        d.cancel();
        QCOMPARE(finished.count(), 1);
        QVERIFY(d.wasCancelled());
        QVERIFY(!d.running());
        d.setUrl(m_server.url(QStringLiteral("/next")).toString());
        d.download();
        QVERIFY(finished.wait());
        QVERIFY(!d.wasCancelled());
        QVERIFY(d.succeeded());
        QCOMPARE(contents(d.filePath()), QByteArray("next"));
    }

    void hostileGatewayAnswersFail_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<qint64>("expectedSize");
        QTest::addColumn<QString>("message");
        const QString tooMuch = QStringLiteral("The gateway sent more than the recording holds");
        const QString stopped = QStringLiteral("The gateway stopped sending: ");
        QTest::newRow("endless body") << "/endless" << qint64(100000) << tooMuch;
        QTest::newRow("announces too much") << "/huge" << qint64(100000) << tooMuch;
        QTest::newRow("sends nothing") << "/silent" << qint64(0) << stopped + "0 bytes";
        QTest::newRow("one byte at a time") << "/drip" << qint64(0) << stopped;
        QTest::newRow("302 to a file")
            << "/to-file" << qint64(0) << "The gateway answered HTTP 302";
        QTest::newRow("307 to another host")
            << "/elsewhere" << qint64(0) << "The gateway answered HTTP 307";
        QTest::newRow("404") << "/missing" << qint64(0) << "The gateway answered HTTP 404";
    }

    void hostileGatewayAnswersFail()
    {
        QFETCH(QString, path);
        QFETCH(qint64, expectedSize);
        QFETCH(QString, message);
        m_server.trickle(QStringLiteral("/endless"), QByteArray(64 * 1024, 'e'), 1, -1);
        m_server.trickle(QStringLiteral("/huge"), QByteArray(10, 'h'), 10, qint64(1) << 40);
        m_server.hold(QStringLiteral("/silent"), 1000);
        m_server.trickle(QStringLiteral("/drip"), QByteArray(1, 'd'), 50, 1000);
        m_server.redirect(QStringLiteral("/to-file"), 302, "file:///etc/passwd");
        m_server.redirect(QStringLiteral("/elsewhere"), 307, "http://192.0.2.1/recording");
        Downloader d;
        d.setExpectedSize(expectedSize);
        d.setStallTimeout(500);
        QSignalSpy finished(&d, &Downloader::finished);
        d.setUrl(m_server.url(path).toString());
        d.download();
        QVERIFY(finished.wait(30000));
        QVERIFY(!d.succeeded());
        QVERIFY(!d.wasCancelled());
        QVERIFY2(d.errorString().startsWith(message), qPrintable(d.errorString()));
        // Nothing is left to play, and nothing more arrives.
        QVERIFY(!QFileInfo::exists(d.filePath()));
        QVERIFY(d.bytesReceived() <= Downloader::sizeLimit(expectedSize));
        QCOMPARE(finished.count(), 1);
    }

    void failuresEndWithFinishedAndAFailureStatus_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<int>("status");
        QTest::newRow("404") << m_server.url(QStringLiteral("/missing")).toString() << 404;
        QTest::newRow("connection refused") << refusedUrl() << 0;
        QTest::newRow("not a url") << QStringLiteral("http://[::1") << 0;
        QTest::newRow("empty") << QString() << 0;
    }

    void failuresEndWithFinishedAndAFailureStatus()
    {
        QFETCH(QString, url);
        QFETCH(int, status);
        Downloader d;
        SignalOrder order(d);
        QSignalSpy finished(&d, &Downloader::finished);
        d.setUrl(url);
        d.download();
        QTRY_COMPARE(finished.count(), 1);
        QCOMPARE(order.text(), QStringLiteral("finished"));
        QVERIFY(!d.succeeded());
        QVERIFY(!d.wasCancelled());
        QCOMPARE(d.httpStatus(), status);
        QVERIFY(!d.errorString().isEmpty());
    }

    void slowServerFileGrowsChunkByChunk()
    {
        const QByteArray parts[] = {QByteArray(4000, 'a'), QByteArray(5000, 'b'),
                                    QByteArray(6000, 'c')};
        m_server.hold(QStringLiteral("/slow"), 15000);
        QSignalSpy arrived(&m_server, &LoopbackHttpServer::heldClientArrived);
        Downloader d;
        QSignalSpy finished(&d, &Downloader::finished);
        d.setUrl(m_server.url(QStringLiteral("/slow")).toString());
        d.download();
        QVERIFY(arrived.wait());
        QByteArray expected;
        for (const QByteArray &part : parts) {
            QCOMPARE(finished.count(), 0);
            QVERIFY(d.running());
            m_server.sendChunk(part);
            expected += part;
            QTRY_COMPARE(contents(d.filePath()), expected);
            QCOMPARE(d.bytesReceived(), qint64(expected.size()));
            QCOMPARE(d.bytesTotal(), qint64(15000));
        }
        QTRY_COMPARE(finished.count(), 1);
        QVERIFY(d.succeeded());
    }

    // The simulated gateway: a chunk's recording under the console's name for it, and a
    // name that is no recording.
    void recordingFromTheSimulatedGateway()
    {
        using namespace ardix::sim;
        const std::int64_t start = 1765170000000;
        std::string error;
        auto site = Site::fromJson(R"({"objects": [
            {"id": 2, "type": 2, "class": "device.GATEWAY", "settings": {"address": "127.0.0.1"}},
            {"id": 11, "type": 10, "name": "Door", "parent": 2,
             "chunks": [{"start": 1765170000000, "end": 1765170002000}]}]})",
                                   start, error);
        QVERIFY2(site, error.c_str());
        SimulatorOptions options;
        // Channel texts on a free port: the demo's 5556 belongs to the screen tests.
        options.ephemeralPosPorts = true;
        options.site = std::move(*site);
        options.log = [](const std::string &) {};
        Simulator simulator(std::move(options));
        QVERIFY(simulator.start());
        const QString base =
            QStringLiteral("http://127.0.0.1:%1/").arg(simulator.gatewayHttpPort(2));

        Downloader d;
        QSignalSpy finished(&d, &Downloader::finished);
        const QString name = QmlUtils().fileNameFromMSec(QStringLiteral("11"), start);
        QCOMPARE(name.toStdString(), GatewayHttp::recordingName(11, start));
        d.setUrl(base + name);
        d.download();
        QVERIFY(finished.wait(60000));
        QVERIFY2(d.succeeded(), qPrintable(d.errorString()));
        QCOMPARE(contents(d.filePath()).mid(4, 4), QByteArray("ftyp")); // an MP4 file

        d.setUrl(base + QmlUtils().fileNameFromMSec(QStringLiteral("11"), start + 1000));
        d.download();
        QVERIFY(finished.wait());
        QVERIFY(!d.succeeded());
        QCOMPARE(d.httpStatus(), 404);
    }

    void outputFileIsPrivateAndNeverALink()
    {
        m_server.answer(QStringLiteral("/body"), 200, QByteArray("recording"));
        Downloader d;
        QSignalSpy finished(&d, &Downloader::finished);
        d.setUrl(m_server.url(QStringLiteral("/body")).toString());
        d.download();
        QVERIFY(finished.wait());
        const QFileInfo file(d.filePath());
        QVERIFY(!file.isSymLink());
        QCOMPARE(file.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther |
                                       QFileDevice::WriteGroup | QFileDevice::WriteOther),
                 QFileDevice::Permissions());
        const QFileInfo folder(file.absolutePath());
        QCOMPARE(folder.permissions() & (QFileDevice::ReadOther | QFileDevice::WriteOther |
                                         QFileDevice::ExeOther | QFileDevice::WriteGroup),
                 QFileDevice::Permissions());
        QVERIFY(folder.absoluteFilePath() != QFileInfo(QDir::tempPath()).absoluteFilePath());

        // A link planted in the file's place is replaced, not followed.
        const QString victim = QDir::temp().filePath(QStringLiteral("victim"));
        QFile v(victim);
        QVERIFY(v.open(QIODevice::WriteOnly));
        v.write("precious");
        v.close();
        QVERIFY(QFile::remove(d.filePath()));
        QVERIFY(QFile::link(victim, d.filePath()));
        d.download();
        QVERIFY(finished.wait());
        QCOMPARE(contents(victim), QByteArray("precious"));
        QVERIFY(!QFileInfo(d.filePath()).isSymLink());
        QCOMPARE(contents(d.filePath()), QByteArray("recording"));
    }

    void unreplaceableOldFileGivesAFreshOne()
    {
        m_server.answer(QStringLiteral("/fresh"), 200, QByteArray("fresh"));
        Downloader d;
        QSignalSpy finished(&d, &Downloader::finished);
        const QString fixed = Downloader::outputFilePath();
        QFile::remove(fixed);
        QVERIFY(QDir().mkpath(fixed + QStringLiteral("/occupied")));
        d.setUrl(m_server.url(QStringLiteral("/fresh")).toString());
        d.download();
        QVERIFY(finished.wait());
        QVERIFY(d.succeeded());
        QVERIFY(d.filePath() != fixed);
        QCOMPARE(contents(d.filePath()), QByteArray("fresh"));
        QVERIFY(QDir(fixed).removeRecursively());
    }

    void failingWriteEndsTheDownloadAsFailed()
    {
        // The process may not write files beyond 64 KiB, as on a full disk.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        rlimit small = old;
        small.rlim_cur = 64 * 1024;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        m_server.answer(QStringLiteral("/big"), 200, QByteArray(512 * 1024, 'b'));
        Downloader d;
        QSignalSpy finished(&d, &Downloader::finished);
        d.setUrl(m_server.url(QStringLiteral("/big")).toString());
        d.download();
        const bool ended = finished.wait();
        setrlimit(RLIMIT_FSIZE, &old);
        QVERIFY(ended);
        QCOMPARE(finished.count(), 1);
        QVERIFY(!d.succeeded());
        QVERIFY2(d.errorString().startsWith(QStringLiteral("Writing the recording failed")),
                 qPrintable(d.errorString()));
        QVERIFY(QFileInfo(d.filePath()).size() <= 64 * 1024);
    }

private:
    static QString refusedUrl()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        const quint16 port = probe.serverPort();
        probe.close();
        return QStringLiteral("http://127.0.0.1:%1/x").arg(port);
    }

    LoopbackHttpServer m_server;
};

QTEST_GUILESS_MAIN(TestDownloader)
#include "tst_downloader.moc"
