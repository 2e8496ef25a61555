// Recording names on the gateway: stream id and local start time. The test runs with TZ set
// to a zone three hours behind UTC (see CMakeLists.txt), so local time is not UTC.
#include "QmlUtils.h"

#include <QTest>

class TestQmlUtils : public QObject
{
    Q_OBJECT

private slots:
    void fileNameFromMSec_data()
    {
        QTest::addColumn<QString>("streamId");
        QTest::addColumn<qulonglong>("msec");
        QTest::addColumn<QString>("expected");
        // 2019-01-01 05:07:09 local is 08:07:09 UTC
        const qulonglong example = 1546330029000ULL;
        QTest::newRow("example") << "42" << example << "42_20190101-05-07-09";
        QTest::newRow("milliseconds dropped") << "42" << example + 999 << "42_20190101-05-07-09";
        QTest::newRow("local date before UTC date") << "7" << 1546308000000ULL // 02:00 UTC
                                                    << "7_20181231-23-00-00";
        QTest::newRow("epoch") << "1" << 0ULL << "1_19691231-21-00-00";
        QTest::newRow("two-digit fields") << "99" << 1700000000000ULL << "99_20231114-19-13-20";
        QTest::newRow("placeholder in stream id") << "a%1b" << example << "a%1b_20190101-05-07-09";
        QTest::newRow("higher placeholder in stream id")
            << "%2" << example << "%2_20190101-05-07-09";
        QTest::newRow("empty stream id") << "" << example << "_20190101-05-07-09";
    }

    void fileNameFromMSec()
    {
        QFETCH(QString, streamId);
        QFETCH(qulonglong, msec);
        QFETCH(QString, expected);
        QmlUtils utils;
        QCOMPARE(utils.fileNameFromMSec(streamId, msec), expected);
    }
};

QTEST_GUILESS_MAIN(TestQmlUtils)
#include "tst_qmlutils.moc"
