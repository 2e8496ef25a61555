// Which chunk plays or is exported after which: a table of recorded histories, each joined over
// an asked range, compared with the segments and gaps an operator must get.
#include "ChunkJoin.h"

#include <QTest>

namespace {

constexpr qint64 kMin = 60000;

using Chunks = QVector<ChunkJoin::Chunk>;
// Expected: "source@offset:start-end" per segment and "gap:from-to" per gap, in minutes.
using Lines = QStringList;

ChunkJoin::Chunk chunk(qint64 fromMin, qint64 toMin)
{
    return ChunkJoin::Chunk{fromMin * kMin, toMin * kMin, QStringLiteral("c%1").arg(fromMin)};
}

QString minutes(qint64 ms)
{
    return ms % kMin == 0 ? QString::number(ms / kMin) : QString::number(ms / double(kMin));
}

Lines describe(const ChunkJoin::Result &r)
{
    Lines out;
    for (const ChunkJoin::Segment &s : r.segments)
        out << QStringLiteral("%1@%2:%3-%4")
                   .arg(s.source)
                   .arg(minutes(s.offset), minutes(s.start), minutes(s.end));
    for (const ChunkJoin::Gap &g : r.gaps)
        out << QStringLiteral("gap:%1-%2").arg(minutes(g.from), minutes(g.to));
    return out;
}

} // namespace

Q_DECLARE_METATYPE(Chunks)

class TestChunkJoin : public QObject
{
    Q_OBJECT

private slots:
    void joins_data()
    {
        QTest::addColumn<Chunks>("chunks");
        QTest::addColumn<qint64>("from");
        QTest::addColumn<qint64>("to");
        QTest::addColumn<Lines>("expected");

        QTest::newRow("back to back") << Chunks{chunk(0, 10), chunk(10, 20)} << 5 * kMin
                                      << 15 * kMin << Lines{"0@5:5-10", "1@0:10-15"};
        // B is used from where A ends, 5 min into its file: nothing twice.
        QTest::newRow("overlapping by 5 min") << Chunks{chunk(0, 10), chunk(5, 15)} << 0LL
                                              << 15 * kMin << Lines{"0@0:0-10", "1@5:10-15"};
        QTest::newRow("unsorted") << Chunks{chunk(5, 15), chunk(0, 10)} << 0LL << 15 * kMin
                                  << Lines{"1@0:0-10", "0@5:10-15"};
        QTest::newRow("contained")
            << Chunks{chunk(0, 20), chunk(5, 10)} << 0LL << 20 * kMin << Lines{"0@0:0-20"};
        // Of the chunks holding a moment, the one reaching furthest: A then C, B never opened.
        QTest::newRow("reaches furthest") << Chunks{chunk(0, 10), chunk(2, 11), chunk(9, 20)} << 0LL
                                          << 20 * kMin << Lines{"0@0:0-10", "2@1:10-20"};
        QTest::newRow("same start, longer wins")
            << Chunks{chunk(0, 5), chunk(0, 10)} << 0LL << 10 * kMin << Lines{"1@0:0-10"};
        QTest::newRow("duplicates") << Chunks{chunk(0, 10), chunk(0, 10), chunk(10, 20)} << 0LL
                                    << 20 * kMin << Lines{"0@0:0-10", "2@0:10-20"};
        QTest::newRow("a gap") << Chunks{chunk(0, 10), chunk(12, 20)} << 5 * kMin << 15 * kMin
                               << Lines{"0@5:5-10", "1@0:12-15", "gap:10-12"};
        QTest::newRow("gap at both ends") << Chunks{chunk(10, 20)} << 5 * kMin << 25 * kMin
                                          << Lines{"0@0:10-20", "gap:5-10", "gap:20-25"};
        QTest::newRow("gap passes over a chunk ended before it")
            << Chunks{chunk(0, 10), chunk(2, 4), chunk(15, 20)} << 0LL << 20 * kMin
            << Lines{"0@0:0-10", "2@0:15-20", "gap:10-15"};
        QTest::newRow("empty") << Chunks{} << 0LL << 10 * kMin << Lines{"gap:0-10"};
        QTest::newRow("range outside everything")
            << Chunks{chunk(0, 10)} << 30 * kMin << 40 * kMin << Lines{"gap:30-40"};
        QTest::newRow("range ending where a chunk starts")
            << Chunks{chunk(10, 20)} << 0LL << 10 * kMin << Lines{"gap:0-10"};
        QTest::newRow("malformed: end before start")
            << Chunks{chunk(0, 10), chunk(30, 12), chunk(12, 20)} << 0LL << 20 * kMin
            << Lines{"0@0:0-10", "2@0:12-20", "gap:10-12"};
        QTest::newRow("malformed: end at start")
            << Chunks{chunk(5, 5)} << 0LL << 10 * kMin << Lines{"gap:0-10"};
        QTest::newRow("reversed range") << Chunks{chunk(0, 10)} << 10 * kMin << 0LL << Lines{};
        QTest::newRow("empty range") << Chunks{chunk(0, 10)} << 5 * kMin << 5 * kMin << Lines{};
    }
    void joins()
    {
        QFETCH(Chunks, chunks);
        QFETCH(qint64, from);
        QFETCH(qint64, to);
        QFETCH(Lines, expected);
        const ChunkJoin::Result joined = ChunkJoin::join(chunks, from, to);
        QCOMPARE(describe(joined), expected);
        // Whatever the history, the segments and gaps tile the range once, in order.
        qint64 covered = 0;
        for (const ChunkJoin::Segment &s : joined.segments) {
            QCOMPARE(s.chunk.url, chunks.at(s.source).url);
            QCOMPARE(s.offset, s.start - s.chunk.start);
            covered += s.end - s.start;
        }
        for (const ChunkJoin::Gap &g : joined.gaps)
            covered += g.to - g.from;
        QCOMPARE(covered, std::max<qint64>(0, to - from));
    }
};

QTEST_GUILESS_MAIN(TestChunkJoin)
#include "tst_chunkjoin.moc"
