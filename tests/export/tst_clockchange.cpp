// The night clocks go back in Lisbon (2026-10-25, 02:00 local becomes 01:00): the gateway names
// recordings by local time, so the repeated hour's recordings share their names. Playing or
// exporting one of them is refused with the reason; the hours before and after play and export.
// An in-process simulated gateway in the same time zone, libmpv under Xvfb.
#include "ClipExporter.h"
#include "MpvObject.h"
#include "QmlUtils.h"
#include "RecordingIndex.h"
#include "SimServer.h"
#include "Startup.h"
#include "Timeline.h"
#include "TimelinePlayback.h"
#include "WallClockNames.h"

#include <Site.h>

#include <QDateTime>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QQuickView>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <clocale>
#include <memory>

namespace {

constexpr qint64 kMinute = 60000;
constexpr int kDeadline = 60000;

qint64 utc(const char *iso)
{
    return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate).toMSecsSinceEpoch();
}

// One minute each: before the change, 01:30 local the first time, 01:30 the second time (the
// same name), after the change.
const QVector<qint64> kStarts{utc("2026-10-24T23:58:00Z"), utc("2026-10-25T00:30:00Z"),
                              utc("2026-10-25T01:30:00Z"), utc("2026-10-25T02:10:00Z")};

} // namespace

class TestClockChange : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<SimServer> m_server;
    QString m_gateway;
    RecordingIndex m_index;

    QVariantList chunks() const
    {
        QmlUtils utils;
        QVariantList list;
        for (qint64 start : kStarts)
            list << QVariantMap{
                {"start", start},
                {"end", start + kMinute},
                {"url", m_gateway + '/' + utils.fileNameFromMSec("12", qulonglong(start))}};
        return list;
    }

private slots:
    void initTestCase()
    {
        Startup::setIdentity();
        std::setlocale(LC_NUMERIC, "C");
        QStringList listed;
        for (qint64 start : kStarts)
            listed << QStringLiteral(R"({"start": %1, "end": %2, "size": 7500000})")
                          .arg(start)
                          .arg(start + kMinute);
        const QString json = QStringLiteral(R"({"name": "Lisbon", "rootId": 1, "users": [],
            "objects": [{"id": 1, "name": "Shop", "type": 7, "parent": 0},
             {"id": 2, "name": "Gateway", "type": 2, "class": "device.GATEWAY",
              "parent": 1, "settings": {"address": "127.0.0.1"}},
             {"id": 12, "name": "Till", "type": 10, "parent": 2, "chunks": [%1]}]})")
                                 .arg(listed.join(','));
        std::string error;
        m_server =
            SimServer::fromJson(json.toStdString(), QDateTime::currentMSecsSinceEpoch(), error);
        QVERIFY2(m_server, error.c_str());
        m_gateway = QStringLiteral("http://127.0.0.1:%1").arg(m_server->sim().gatewayHttpPort(2));
        m_index.setStreamId(QStringLiteral("12"));
        QVariantList spans;
        for (qint64 start : kStarts)
            spans << QVariantMap{{"start", start}, {"end", start + kMinute}};
        m_index.addChunks(QStringLiteral("12"), kStarts.first(), kStarts.last() + kMinute, spans);
        // The two recordings of the repeated hour do share one name.
        QmlUtils utils;
        QCOMPARE(utils.fileNameFromMSec("12", qulonglong(kStarts[1])),
                 utils.fileNameFromMSec("12", qulonglong(kStarts[2])));
    }

    void cleanupTestCase() { m_server.reset(); }

    // The timeline draws the repeated hour in a hatching of its own, over the recordings in it.
    void timelineShowsTheRepeatedHour()
    {
        Timeline timeline;
        timeline.setSize(QSizeF(900, 60));
        timeline.setIndex(&m_index);
        timeline.showRange(utc("2026-10-24T23:00:00Z"), utc("2026-10-25T03:00:00Z"));
        QImage picture(900, 60, QImage::Format_ARGB32);
        QPainter painter(&picture);
        timeline.paintTo(&painter);
        painter.end();
        if (qEnvironmentVariableIsSet("ARDIX_CLOCKCHANGE_SCREENSHOT"))
            picture.save(qEnvironmentVariable("ARDIX_CLOCKCHANGE_SCREENSHOT"));
        const auto isRecorded = [&](qint64 t) {
            const QColor seen = picture.pixelColor(int(timeline.xAt(t)) + 1, 35);
            return seen == Timeline::spanColor;
        };
        // Before and after: recorded as any recording; inside: neither recorded nor background.
        QVERIFY(isRecorded(kStarts[0] + 30000));
        QVERIFY(isRecorded(kStarts[3] + 30000));
        for (qint64 t : {kStarts[1] + 30000, kStarts[2] + 30000, utc("2026-10-25T01:00:00Z")}) {
            const QColor seen = picture.pixelColor(int(timeline.xAt(t)) + 1, 35);
            QVERIFY2(seen != Timeline::spanColor && seen != Timeline::backgroundColor,
                     qPrintable(seen.name()));
        }
    }

    void moments_data()
    {
        QTest::addColumn<int>("chunk");
        QTest::addColumn<bool>("refused");
        QTest::newRow("00:58 before the change") << 0 << false;
        QTest::newRow("01:30 the first time") << 1 << true;
        QTest::newRow("01:30 the second time") << 2 << true;
        QTest::newRow("02:10 after the change") << 3 << false;
    }

    void moments()
    {
        QFETCH(int, chunk);
        QFETCH(bool, refused);
        const qint64 in = kStarts[chunk] + 10000;

        QTemporaryDir dir;
        ClipExporter exporter;
        exporter.setFolder(dir.path());
        QSignalSpy finished(&exporter, &ClipExporter::finished);
        const bool started = exporter.start("Till", "12", m_gateway, in, in + 20000, chunks());
        QCOMPARE(started, !refused);
        QVERIFY(finished.wait(kDeadline));
        QCOMPARE(finished.first().first().toBool(), !refused);
        if (refused) {
            QCOMPARE(exporter.error(), WallClockNames::refusal());
            QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
        }

        QQuickView view;
        view.resize(320, 180);
        auto *player = new MpvObject(view.contentItem());
        player->setSize(QSizeF(320, 180));
        view.show();
        QTRY_VERIFY_WITH_TIMEOUT(player->renderContext(), kDeadline);
        TimelinePlayback playback;
        playback.setPlayer(player);
        playback.setIndex(&m_index);
        playback.setGateway(m_gateway);
        QCOMPARE(playback.playAt(in), !refused);
        if (refused)
            QCOMPARE(playback.note(), WallClockNames::refusal());
        else
            QTRY_VERIFY_WITH_TIMEOUT(playback.active() && playback.time() >= in + 1500, kDeadline);
        playback.stop();
        delete player;
    }
};

QTEST_MAIN(TestClockChange)
#include "tst_clockchange.moc"
