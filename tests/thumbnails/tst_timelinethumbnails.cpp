// The timeline's pictures: a recording of the simulated gateway (SMPTE bars with its clock
// burned in, a keyframe every 10 s) gives a 160-pixel picture of the keyframe at or before the
// moment asked, two moments far apart give different pictures (their clocks differ), a moment
// asked again is shown at once from the cache; a gateway that refuses the range or answers
// garbage gives no picture, says why, and the next recording still works. The strip along a
// timeline of an hour or less shows the pictures of the ticks in view, and leaves a slot empty
// where there is no recording or where the gateway refuses it.
#include "MpvObject.h"
#include "RecordingIndex.h"
#include "SimServer.h"
#include "ThumbnailStrip.h"
#include "TimelinePlayback.h"
#include "TimelineThumbnails.h"

#include <Site.h>

#include <QAbstractItemModelTester>
#include <QDateTime>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <memory>

namespace {

constexpr qint64 kMinute = 60000;
constexpr int kDeadline = 60000;

std::string siteJson(qint64 t0)
{
    return QStringLiteral(R"({
        "name": "Thumbnails", "rootId": 1,
        "users": [{"id": 500, "name": "operator", "password": "operator"}],
        "objects": [
          {"id": 1, "name": "Shop", "type": 7, "class": "location.SITE", "parent": 0},
          {"id": 2, "name": "Gateway", "type": 2, "class": "device.GATEWAY", "parent": 1,
           "settings": {"address": "127.0.0.1"}},
          {"id": 12, "name": "Till", "type": 10, "parent": 2, "crossings": false,
           "chunks": [{"start": %1, "end": %2, "size": 400000}]}
        ]})")
        .arg(t0)
        .arg(t0 + 2 * kMinute)
        .toStdString();
}

// How many pixels of the clock's corner (the top left quarter, the clock's line in it) differ
// between two pictures.
int clockDifference(const QImage &a, const QImage &b)
{
    int differing = 0;
    for (int y = 0; y < a.height() / 2; ++y) {
        for (int x = 0; x < a.width() / 2; ++x)
            differing += qAbs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y))) > 60;
    }
    return differing;
}

} // namespace

class TestTimelineThumbnails : public QObject
{
    Q_OBJECT

    std::unique_ptr<SimServer> m_server;
    QString m_url;
    qint64 m_t0 = 0;
    QTcpServer m_bad;
    QByteArray m_answer;

private slots:
    void initTestCase()
    {
        const qint64 t0 = (QDateTime::currentMSecsSinceEpoch() / kMinute - 10) * kMinute;
        m_t0 = t0;
        std::string error;
        m_server = SimServer::fromJson(siteJson(t0), QDateTime::currentMSecsSinceEpoch(), error);
        QVERIFY2(m_server, error.c_str());
        m_url = QStringLiteral("http://127.0.0.1:%1/12_%2")
                    .arg(m_server->sim().gatewayHttpPort(2))
                    .arg(QDateTime::fromMSecsSinceEpoch(t0).toString(
                        QStringLiteral("yyyyMMdd-hh-mm-ss")));
        QVERIFY(m_bad.listen(QHostAddress::LocalHost));
        connect(&m_bad, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_bad.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    if (!socket->readAll().contains("\r\n\r\n"))
                        return;
                    socket->write(m_answer);
                    socket->disconnectFromHost();
                });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }

    void pictureOfTheKeyframeBefore()
    {
        TimelineThumbnails thumbnails;
        QSignalSpy failed(&thumbnails, &TimelineThumbnails::failed);
        thumbnails.show(m_url, 15500);
        QTRY_VERIFY_WITH_TIMEOUT(!thumbnails.image().isNull(), kDeadline);
        QCOMPARE(thumbnails.imageOffset(), 10000); // keyframes every 10 s
        const QImage early = thumbnails.image();
        QCOMPARE(early.width(), 160);
        QCOMPARE(early.height(), 90);
        // Not blank: the bars' colours are there.
        QVERIFY(early.pixel(10, 60) != early.pixel(150, 60));

        thumbnails.show(m_url, 100000);
        QTRY_COMPARE_WITH_TIMEOUT(thumbnails.imageOffset(), 100000, kDeadline);
        const QImage late = thumbnails.image();
        // The burned-in clock, 90 s later, differs in a few of its digits (at 160 px a digit is
        // a handful of pixels); the bars below it do not.
        QVERIFY2(clockDifference(early, late) >= 3,
                 qPrintable(QString::number(clockDifference(early, late))));
        QCOMPARE(early.copy(0, 70, 160, 20), late.copy(0, 70, 160, 20));

        // Back over the same stretch: at once, from the cache.
        thumbnails.show(m_url, 12000);
        QCOMPARE(thumbnails.imageOffset(), 10000);
        QCOMPARE(thumbnails.image(), early);
        // Another timeline's (the strip's, another page's) too: nothing is fetched twice.
        TimelineThumbnails other;
        other.show(m_url, 12000);
        QCOMPARE(other.image(), early);
        QCOMPARE(failed.count(), 0);
        thumbnails.clear();
        QVERIFY(thumbnails.image().isNull());
    }

    void badAnswersGiveNoPicture_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::newRow("refused range")
            << QByteArray("HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */0\r\n"
                          "Content-Length: 0\r\n\r\n");
        QTest::newRow("not found")
            << QByteArray("HTTP/1.1 404 Not Found\r\nContent-Length: 5\r\n\r\nnope\n");
        QTest::newRow("whole file instead of a range")
            << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nabcd");
        QTest::newRow("garbage in the range")
            << QByteArray("HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 0-15/100000\r\n"
                          "Content-Length: 16\r\n\r\n\x00\x00\x00\x10"
                          "ftypisom\xff\xff\xff\xff");
        QTest::newRow("an MP4 box claiming 4 GiB")
            << QByteArray("HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 0-15/100000\r\n"
                          "Content-Length: 16\r\n\r\n\xff\xff\xff\xff"
                          "ftypisom\x00\x00\x00\x00");
        QTest::newRow("a range that is not the one asked")
            << QByteArray("HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 7-9/10\r\n"
                          "Content-Length: 3\r\n\r\nabc");
        QTest::newRow("no HTTP at all") << QByteArray("SSH-2.0-OpenSSH_9.2\r\n");
    }
    void badAnswersGiveNoPicture()
    {
        QFETCH(QByteArray, answer);
        m_answer = answer;
        TimelineThumbnails thumbnails;
        QSignalSpy failed(&thumbnails, &TimelineThumbnails::failed);
        // A recording of its own per answer: a failed one is not asked again by any timeline.
        const QString bad = QStringLiteral("http://127.0.0.1:%1/12_%2")
                                .arg(m_bad.serverPort())
                                .arg(QString::fromLatin1(QTest::currentDataTag()));
        thumbnails.show(bad, 5000);
        QVERIFY(failed.wait(kDeadline));
        QVERIFY(thumbnails.image().isNull());
        // Asked again, it is not fetched again; another recording still gives its picture.
        thumbnails.show(bad, 6000);
        QCOMPARE(failed.count(), 1);
        thumbnails.show(m_url, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!thumbnails.image().isNull(), kDeadline);
    }

    // A view of four minutes over 800 pixels, the two-minute recording in its middle: a slot
    // per labelled tick in view, pictures inside the recording, empty slots outside it; then
    // the same from a gateway that refuses every range: all slots empty, none left waiting.
    void stripOfTheTicksInView_data()
    {
        QTest::addColumn<bool>("refusing");
        QTest::newRow("recordings") << false;
        QTest::newRow("refused ranges") << true;
    }
    void stripOfTheTicksInView()
    {
        QFETCH(bool, refusing);
        m_answer = "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Length: 0\r\n\r\n";
        RecordingIndex index;
        index.setStreamId(QStringLiteral("12"));
        index.addChunks(QStringLiteral("12"), m_t0 - 10 * kMinute, m_t0 + 10 * kMinute,
                        {QVariantMap{{"start", m_t0}, {"end", m_t0 + 2 * kMinute}}});
        TimelinePlayback playback;
        playback.setIndex(&index);
        playback.setGateway(refusing ? QStringLiteral("http://127.0.0.1:%1").arg(m_bad.serverPort())
                                     : m_url.section(QLatin1Char('/'), 0, 2));
        ThumbnailStrip strip;
        QAbstractItemModelTester tester(&strip,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        strip.setRecordings(&index);
        strip.setPlayback(&playback);
        strip.setWidth(800);
        strip.setViewStart(m_t0 - kMinute);
        strip.setViewEnd(m_t0 + 3 * kMinute);
        QTRY_VERIFY_WITH_TIMEOUT(strip.shown(), kDeadline);
        QVERIFY(strip.rowCount() >= 4);
        const auto answered = [&] {
            for (int row = 0; row < strip.rowCount(); ++row) {
                const QModelIndex at = strip.index(row);
                if (!at.data(ThumbnailStrip::EmptyRole).toBool() &&
                    at.data(ThumbnailStrip::ImageRole).value<QImage>().isNull())
                    return false;
            }
            return true;
        };
        QTRY_VERIFY_WITH_TIMEOUT(answered(), kDeadline);
        QImage first;
        int pictures = 0;
        for (int row = 0; row < strip.rowCount(); ++row) {
            const QModelIndex at = strip.index(row);
            const qint64 time = at.data(ThumbnailStrip::TimeRole).toLongLong();
            QVERIFY(time >= strip.viewStart() && time < strip.viewEnd());
            const bool recorded = time >= m_t0 && time < m_t0 + 2 * kMinute;
            const QImage image = at.data(ThumbnailStrip::ImageRole).value<QImage>();
            QCOMPARE(!image.isNull(), recorded && !refusing);
            if (image.isNull())
                continue;
            // The pictures of ticks a minute apart hold different clocks.
            if (first.isNull())
                first = image;
            else if (clockDifference(first, image) >= 3)
                ++pictures;
        }
        QCOMPARE(pictures > 0, !refusing);

        // Another camera's index (a page that opens another stream keeps the view): none of
        // the last camera's pictures stays.
        RecordingIndex other;
        other.setStreamId(QStringLiteral("13"));
        other.addChunks(QStringLiteral("13"), m_t0 - 10 * kMinute, m_t0 + 10 * kMinute, {});
        strip.setRecordings(&other);
        QTRY_VERIFY_WITH_TIMEOUT(strip.shown() && answered(), kDeadline);
        for (int row = 0; row < strip.rowCount(); ++row)
            QVERIFY(strip.index(row).data(ThumbnailStrip::ImageRole).value<QImage>().isNull());

        // Over an hour: no strip, nothing asked.
        strip.setViewEnd(m_t0 + 2 * 3600000);
        QTRY_VERIFY_WITH_TIMEOUT(!strip.shown(), kDeadline);
        QCOMPARE(strip.rowCount(), 0);
    }
};

QTEST_MAIN(TestTimelineThumbnails)
#include "tst_timelinethumbnails.moc"
