// The repeated hour of an autumn clock change: the names a gateway gives its recordings there
// stand for two moments, and the console must know which moments those are.

#include "QmlUtils.h"
#include "WallClockNames.h"

#include <QDateTime>
#include <QTest>

namespace {

qint64 utc(const char *iso)
{
    return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate).toMSecsSinceEpoch();
}

} // namespace

class TestWallClockNames : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Lisbon goes from UTC+1 back to UTC at 02:00 local on 2026-10-25 (01:00 UTC).
        QCOMPARE(QDateTime::fromMSecsSinceEpoch(utc("2026-10-25T00:30:00Z")).toString("HH:mm"),
                 QStringLiteral("01:30"));
    }

    void repeatedHour_data()
    {
        QTest::addColumn<QString>("moment");
        QTest::addColumn<bool>("ambiguous");
        QTest::newRow("the hour before the change") << "2026-10-24T23:59:59Z" << false;
        QTest::newRow("01:00 the first time") << "2026-10-25T00:00:00Z" << true;
        QTest::newRow("01:59:59 the first time") << "2026-10-25T00:59:59Z" << true;
        QTest::newRow("01:00 the second time") << "2026-10-25T01:00:00Z" << true;
        QTest::newRow("01:59:59 the second time") << "2026-10-25T01:59:59Z" << true;
        QTest::newRow("02:00, once") << "2026-10-25T02:00:00Z" << false;
        QTest::newRow("spring's skipped hour repeats nothing") << "2026-03-29T01:30:00Z" << false;
        QTest::newRow("a summer afternoon") << "2026-07-01T14:30:00Z" << false;
    }

    void repeatedHour()
    {
        QFETCH(QString, moment);
        QFETCH(bool, ambiguous);
        const qint64 ms = utc(moment.toLatin1().constData());
        QCOMPARE(WallClockNames::isAmbiguous(ms), ambiguous);
        // What the console cannot tell apart is exactly where the gateway's names clash.
        QmlUtils utils;
        const QString name = utils.fileNameFromMSec(QStringLiteral("7"), qulonglong(ms));
        const bool clashes =
            name == utils.fileNameFromMSec(QStringLiteral("7"), qulonglong(ms + 3600000)) ||
            name == utils.fileNameFromMSec(QStringLiteral("7"), qulonglong(ms - 3600000));
        QCOMPARE(clashes, ambiguous);
    }

    void spansOfARange()
    {
        const auto spans = WallClockNames::ambiguousSpans(utc("2026-10-24T12:00:00Z"),
                                                          utc("2026-10-25T12:00:00Z"));
        QCOMPARE(spans.size(), 1);
        QCOMPARE(spans.first().from, utc("2026-10-25T00:00:00Z"));
        QCOMPARE(spans.first().to, utc("2026-10-25T02:00:00Z"));
        // Cut to the range asked; nothing in an empty or reversed range.
        const auto cut = WallClockNames::ambiguousSpans(utc("2026-10-25T01:30:00Z"),
                                                        utc("2026-10-25T03:00:00Z"));
        QCOMPARE(cut.size(), 1);
        QCOMPARE(cut.first().from, utc("2026-10-25T01:30:00Z"));
        QVERIFY(
            WallClockNames::ambiguousSpans(utc("2026-10-25T03:00:00Z"), utc("2026-10-25T01:00:00Z"))
                .isEmpty());
        QVERIFY(!WallClockNames::touchesAmbiguous(utc("2026-10-25T02:00:00Z"),
                                                  utc("2026-10-25T09:00:00Z")));
    }
};

QTEST_GUILESS_MAIN(TestWallClockNames)
#include "tst_wallclocknames.moc"
