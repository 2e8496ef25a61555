// The moments an operator types to go to them (Ctrl+G), read in Berlin's local time (the test
// runs with TZ=Europe/Berlin): the forms read, the texts refused and why, and the hours a clock
// change skips or passes twice.
#include "MomentParser.h"

#include <QTest>

class TestMomentParser : public QObject
{
    Q_OBJECT

private:
    // 2026-12-09 16:45:10 in Berlin (UTC+1).
    static QDateTime now()
    {
        return QDateTime(QDate(2026, 12, 9), QTime(16, 45, 10), Qt::LocalTime);
    }
    static qint64 local(int y, int mo, int d, int h, int mi, int s = 0)
    {
        return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::LocalTime).toMSecsSinceEpoch();
    }

private slots:
    void reads_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("expected"); // -1: refused
        QTest::addColumn<QString>("error");   // the start of the refusal

        QTest::newRow("date and time") << "2026-12-08 14:30" << local(2026, 12, 8, 14, 30) << "";
        QTest::newRow("with seconds")
            << "2026-12-08 14:30:15" << local(2026, 12, 8, 14, 30, 15) << "";
        QTest::newRow("one-figure parts") << "2026-3-5 9:05" << local(2026, 3, 5, 9, 5) << "";
        QTest::newRow("today by the time") << "14:30" << local(2026, 12, 9, 14, 30) << "";
        QTest::newRow("today said") << "Today 08:00" << local(2026, 12, 9, 8, 0) << "";
        QTest::newRow("yesterday") << "yesterday 14:30" << local(2026, 12, 8, 14, 30) << "";
        QTest::newRow("spaces around")
            << "  yesterday   23:59:59 " << local(2026, 12, 8, 23, 59, 59) << "";
        QTest::newRow("just now") << "16:45:10" << now().toMSecsSinceEpoch() << "";

        QTest::newRow("empty") << "" << qint64(-1) << "Type a moment as 2026-12-08 14:30";
        QTest::newRow("garbage") << "half past two" << qint64(-1) << "\"half past two\" is not";
        QTest::newRow("no minutes") << "14" << qint64(-1) << "\"14\" is not a moment";
        QTest::newRow("glued") << "2026-12-0814:30" << qint64(-1) << "\"2026-12-0814:30\" is not";
        QTest::newRow("tomorrow") << "tomorrow 10:00" << qint64(-1) << "\"tomorrow 10:00\" is not";
        QTest::newRow("25:00") << "25:00" << qint64(-1) << "There is no time 25:00 in a day";
        QTest::newRow("minute 60") << "yesterday 10:60" << qint64(-1) << "There is no time 10:60";
        QTest::newRow("30 February")
            << "2026-02-30 10:00" << qint64(-1) << "There is no day 2026-02-30";
        QTest::newRow("later today") << "16:46" << qint64(-1) << "2026-12-09 16:46:00 is still to";
        QTest::newRow("next year") << "2027-01-01 00:00" << qint64(-1) << "2027-01-01 00:00:00 is";
        // Clocks went forward on 2026-03-29 at 02:00 and back on 2026-10-25 at 03:00.
        QTest::newRow("skipped hour")
            << "2026-03-29 02:30" << qint64(-1) << "2026-03-29 02:30:00 did not happen here";
        QTest::newRow("hour passed twice")
            << "2026-10-25 02:30" << qint64(-1) << "2026-10-25 02:30:00 happened twice here";
        QTest::newRow("after the change back")
            << "2026-10-25 03:00" << local(2026, 10, 25, 3, 0) << "";
    }

    void reads()
    {
        QFETCH(QString, text);
        QFETCH(qint64, expected);
        QFETCH(QString, error);
        const MomentParser::Result result = MomentParser::parse(text, now());
        QCOMPARE(result.ok, expected >= 0);
        if (expected >= 0) {
            QCOMPARE(result.time, expected);
            QVERIFY(result.error.isEmpty());
            return;
        }
        QVERIFY2(result.error.startsWith(error), qPrintable(result.error));
        // Whatever was wrong, the operator learns what is read.
        if (!result.error.contains(QStringLiteral("still to come")))
            QVERIFY2(result.error.contains(QStringLiteral("yesterday 14:30")) ||
                         result.error.contains(QStringLiteral("clock")),
                     qPrintable(result.error));
    }
};

QTEST_MAIN(TestMomentParser)
#include "tst_momentparser.moc"
