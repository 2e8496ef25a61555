// When to search which range of a stream's recordings again: each row is a history of asks,
// answers and failures at given times, and what the last ask searches.
#include "ChunkSearches.h"

#include <QTest>

namespace {

constexpr qint64 kHour = 3600 * 1000;
// "Now" of the first step, on an hour boundary plus half an hour.
constexpr qint64 kT = 1000 * kHour + kHour / 2;

} // namespace

class TestChunkSearches : public QObject
{
    Q_OBJECT

private slots:
    // A history: "ask FROM TO AT", "answer FROM TO AT OPEN" (OPEN -1: no chunk being recorded),
    // "fail FROM TO AT", "expire AT", "forget" (what was answered); times relative to kT in
    // seconds. The last line's ask is compared with `searched`, "FROM-TO" in seconds from kT,
    // joined by ",".
    void history_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("searched");
        QTest::newRow("a past range never asked: whole hours at once")
            << QStringList{"ask -3000 -2000 0"} << "-5400--1800";
        QTest::newRow("asked again while in flight: nothing")
            << QStringList{"ask -3000 -2000 0", "ask -3000 -2000 1"} << "";
        QTest::newRow("answered past: never again")
            << QStringList{"ask -3000 -2000 0", "answer -5400 -1800 1 -1", "ask -3000 -2000 100"}
            << "";
        QTest::newRow("the present: asked at once the first time, the past by the hour")
            << QStringList{"ask -60 60 0"} << "-1800-60";
        QTest::newRow("the present answered 5 s ago: not yet")
            << QStringList{"ask -60 60 0", "answer -1800 60 1 -30", "ask -60 60 6"} << "";
        QTest::newRow("the chunk being recorded, 10 s on: from its start")
            << QStringList{"ask -60 60 0", "answer -1800 60 1 -30", "ask -60 60 11"} << "-30-60";
        QTest::newRow("asked again at most once per 10 s, whatever the range")
            << QStringList{"ask -60 60 0", "answer -1800 60 1 -30", "ask -60 60 11",
                           "answer -30 60 12 -30", "ask -60 120 15"}
            << "";
        QTest::newRow("a moving range near the present asks no sliver")
            << QStringList{"ask -60 60 0", "answer -1800 60 1 -1", "ask -59 61 2", "ask -58 62 3"}
            << "";
        QTest::newRow("a failure is not asked again for 10 s")
            << QStringList{"ask -3000 -2000 0", "fail -5400 -1800 1", "ask -3000 -2000 5"} << "";
        QTest::newRow("a failure 10 s on is asked again")
            << QStringList{"ask -3000 -2000 0", "fail -5400 -1800 1", "ask -3000 -2000 12"}
            << "-5400--1800";
        QTest::newRow("an expired search is not asked again at once")
            << QStringList{"ask -3000 -2000 0", "expire 10", "ask -3000 -2000 11"} << "";
        QTest::newRow("an answer to a search asked elsewhere counts")
            << QStringList{"answer -5400 -1800 0 -1", "ask -3000 -2000 100"} << "";
        QTest::newRow("answered, then forgotten for a new reader: asked again")
            << QStringList{"ask -3000 -2000 0", "answer -5400 -1800 1 -1", "forget",
                           "ask -3000 -2000 100"}
            << "-5400--1800";
        QTest::newRow("forgotten under 10 s after its answer: not yet")
            << QStringList{"ask -3000 -2000 0", "answer -5400 -1800 1 -1", "forget",
                           "ask -3000 -2000 5"}
            << "";
        QTest::newRow("an empty range asks nothing") << QStringList{"ask 10 10 0"} << "";
        QTest::newRow("a reversed range asks nothing") << QStringList{"ask 10 -10 0"} << "";
    }

    void history()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, searched);
        ChunkSearches plan;
        const QString stream = QStringLiteral("12");
        const auto at = [](const QString &seconds) { return kT + seconds.toLongLong() * 1000; };
        QStringList last;
        for (const QString &step : steps) {
            const QStringList w = step.split(QLatin1Char(' '));
            last.clear();
            if (w[0] == QLatin1String("ask")) {
                for (const TimeRange &r : plan.take(stream, at(w[1]), at(w[2]), at(w[3])))
                    last << QStringLiteral("%1-%2")
                                .arg((r.from - kT) / 1000)
                                .arg((r.to - kT) / 1000);
            } else if (w[0] == QLatin1String("answer")) {
                plan.answered(stream, at(w[1]), at(w[2]), w[4] == "-1" ? -1 : at(w[4]), at(w[3]));
            } else if (w[0] == QLatin1String("fail")) {
                plan.failed(stream, at(w[1]), at(w[2]), at(w[3]));
            } else if (w[0] == QLatin1String("forget")) {
                plan.forgetAnswered(stream);
            } else if (w[0] == QLatin1String("expire")) {
                QCOMPARE(plan.expire(at(w[1])).size(), 1);
            }
        }
        QCOMPARE(last.join(QLatin1Char(',')), searched);
    }
};

QTEST_MAIN(TestChunkSearches)
#include "tst_chunksearches.moc"
