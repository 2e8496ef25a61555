// What the timeline knows of a stream's recordings, as servers really answer: chunks out of
// order, overlapping, repeated by two searches, malformed, or ten thousand of them.
#include "RecordingIndex.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

namespace {

QVariantMap chunk(qint64 start, qint64 end)
{
    return {{"start", start}, {"end", end}, {"size", 100}};
}

qint64 startOf(const QVariantMap &m)
{
    return m.isEmpty() ? -1 : m.value("start").toLongLong();
}

} // namespace

class TestRecordingIndex : public QObject
{
    Q_OBJECT

private slots:
    // Overlapping chunks answered out of order: the one holding a moment is the latest that
    // started; chunkFrom() leads over gaps; malformed entries and repeats are left out.
    void lookups_data()
    {
        QTest::addColumn<qint64>("t");
        QTest::addColumn<qint64>("at");
        QTest::addColumn<qint64>("from");
        QTest::addColumn<qint64>("next");
        QTest::newRow("before everything") << 50LL << -1LL << 100LL << 100LL;
        QTest::newRow("first chunk") << 120LL << 100LL << 100LL << 120LL;
        QTest::newRow("overlap: the later start") << 170LL << 150LL << 150LL << 170LL;
        QTest::newRow("end is exclusive") << 250LL << -1LL << 400LL << 400LL;
        QTest::newRow("in the gap") << 300LL << -1LL << 400LL << 400LL;
        QTest::newRow("last chunk") << 499LL << 400LL << 400LL << 499LL;
        QTest::newRow("after everything") << 900LL << -1LL << -1LL << -1LL;
    }
    void lookups()
    {
        QFETCH(qint64, t);
        QFETCH(qint64, at);
        QFETCH(qint64, from);
        QFETCH(qint64, next);
        RecordingIndex index;
        index.setStreamId("7");
        index.addChunks("7", 0, 1000,
                        {chunk(400, 500), chunk(150, 250), chunk(100, 200),
                         QVariantMap{{"start", "x"}, {"end", 3}}, chunk(300, 300), 42,
                         chunk(150, 250)});
        index.addChunks("8", 0, 1000, {chunk(0, 1000)}); // another stream stays apart
        QCOMPARE(startOf(index.chunkAt(t)), at);
        QCOMPARE(startOf(index.chunkFrom(t)), from);
        QCOMPARE(index.nextRecordedAfter(t), next);
        QCOMPARE(int(index.spansBetween(0, 1000).size()), 3);
        QCOMPARE(index.firstRecorded(), 100LL);
        QCOMPARE(index.lastRecorded(), 500LL);
    }

    // Ranges are asked once; a failed range is drawn and asked again; a refusal sticks to its
    // chunk; another stream keeps its own.
    void rangesAndFailures()
    {
        RecordingIndex index;
        QSignalSpy changed(&index, &RecordingIndex::changed);
        index.setStreamId("7");
        index.addChunks("7", 100, 200, {chunk(120, 180)});
        index.markFailed("7", 300, 400);
        QCOMPARE(index.missingRanges(0, 500),
                 QVariantList({QVariantMap{{"from", 0}, {"to", 100}},
                               QVariantMap{{"from", 200}, {"to", 500}}}));
        QCOMPARE(index.failedBetween(0, 500).size(), 1);
        index.addChunks("7", 200, 500, {});
        QCOMPARE(index.failedBetween(0, 500).size(), 0);
        QCOMPARE(index.missingRanges(100, 500), QVariantList());
        index.markUnavailable("7", 120);
        QVERIFY(index.chunkAt(150).value("unavailable").toBool());
        index.setStreamId("8");
        QCOMPARE(index.missingRanges(100, 200).size(), 1);
        QVERIFY(index.chunkAt(150).isEmpty());
        QVERIFY(changed.count() >= 5);
    }

    // A stream with ten thousand chunks, answered newest first: taken and looked up at once.
    void tenThousandChunks()
    {
        QVariantList chunks;
        for (qint64 i = 9999; i >= 0; --i)
            chunks.append(chunk(i * 600000, (i + 1) * 600000));
        RecordingIndex index;
        index.setStreamId("7");
        QElapsedTimer timer;
        timer.start();
        index.addChunks("7", 0, 10000LL * 600000, chunks);
        QCOMPARE(startOf(index.chunkAt(5000LL * 600000 + 1)), 5000LL * 600000);
        QCOMPARE(int(index.spansBetween(0, 10000LL * 600000).size()), 10000);
        // Generous: the sanitizers' build on a busy machine, still far from a hang.
        QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));
    }
};

QTEST_GUILESS_MAIN(TestRecordingIndex)
#include "tst_recordingindex.moc"
