#include "ExportPlan.h"

#include <QCoreApplication>
#include <QDateTime>

#include <algorithm>

namespace {

// The parts of [from, to) that `ranges` cover, and those they leave.
void split(qint64 from, qint64 to, const QVector<ClipHole> &ranges, QVector<ClipHole> &inside,
           QVector<ClipSpan> &outside)
{
    QVector<ClipHole> sorted = ranges;
    std::sort(sorted.begin(), sorted.end(),
              [](const ClipHole &a, const ClipHole &b) { return a.from < b.from; });
    qint64 cursor = from;
    for (const ClipHole &r : qAsConst(sorted)) {
        const qint64 a = std::max(r.from, cursor);
        const qint64 b = std::min(r.to, to);
        if (b <= a)
            continue;
        if (a > cursor)
            outside.append(ClipSpan{cursor, a});
        inside.append(ClipHole{a, b, r.kind});
        cursor = b;
    }
    if (cursor < to)
        outside.append(ClipSpan{cursor, to});
}

QString kindText(ClipHole::Kind kind)
{
    switch (kind) {
    case ClipHole::NotRecorded:
        return QStringLiteral("Not recorded");
    case ClipHole::SearchFailed:
    case ClipHole::NotSearched:
        return QStringLiteral("Not searched");
    case ClipHole::Refused:
        return QStringLiteral("Unavailable");
    }
    return QString();
}

QString reasonText(ClipHole::Kind kind)
{
    switch (kind) {
    case ClipHole::SearchFailed:
        return QStringLiteral(" (the gateway did not answer)");
    case ClipHole::NotSearched:
        return QStringLiteral(" (not asked yet)");
    case ClipHole::Refused:
        return QStringLiteral(" (the gateway refused the recording)");
    case ClipHole::NotRecorded:
        break;
    }
    return QString();
}

} // namespace

ExportPlan ExportPlan::make(const QVector<ClipChunk> &chunks, const QVector<ClipHole> &unsearched,
                            qint64 in, qint64 out)
{
    ExportPlan plan;
    QVector<ChunkJoin::Chunk> usable;
    QVector<ClipHole> refused;
    for (const ClipChunk &c : chunks) {
        if (c.refused)
            refused.append(ClipHole{c.start, c.end, ClipHole::Refused});
        else
            usable.append(ChunkJoin::Chunk{c.start, c.end, c.url});
    }
    const ChunkJoin::Result joined = ChunkJoin::join(usable, in, out);
    plan.m_segments = joined.segments;
    // A gap is first what no search answered, then what the gateway refused, else unrecorded.
    for (const ChunkJoin::Gap &gap : joined.gaps) {
        QVector<ClipSpan> rest;
        split(gap.from, gap.to, unsearched, plan.m_holes, rest);
        for (const ClipSpan &r : qAsConst(rest)) {
            QVector<ClipSpan> unrecorded;
            split(r.from, r.to, refused, plan.m_holes, unrecorded);
            for (const ClipSpan &u : qAsConst(unrecorded))
                plan.m_holes.append(ClipHole{u.from, u.to, ClipHole::NotRecorded});
        }
    }
    std::sort(plan.m_holes.begin(), plan.m_holes.end(),
              [](const ClipHole &a, const ClipHole &b) { return a.from < b.from; });
    // Neighbours of one kind are one hole; seams of less than a second are none.
    QVector<ClipHole> holes;
    for (const ClipHole &h : qAsConst(plan.m_holes)) {
        if (!holes.isEmpty() && holes.last().kind == h.kind && holes.last().to >= h.from)
            holes.last().to = std::max(holes.last().to, h.to);
        else
            holes.append(h);
    }
    holes.erase(std::remove_if(holes.begin(), holes.end(),
                               [](const ClipHole &h) { return h.to - h.from < kMinHoleMs; }),
                holes.end());
    plan.m_holes = holes;
    return plan;
}

QVector<ClipHole> ExportPlan::unsearched(const QVector<ClipSpan> &missing,
                                         const QVector<ClipSpan> &failed)
{
    QVector<ClipHole> failedHoles;
    for (const ClipSpan &f : failed)
        failedHoles.append(ClipHole{f.from, f.to, ClipHole::SearchFailed});
    QVector<ClipHole> holes;
    for (const ClipSpan &m : missing) {
        QVector<ClipSpan> rest;
        split(m.from, m.to, failedHoles, holes, rest);
        for (const ClipSpan &r : qAsConst(rest))
            holes.append(ClipHole{r.from, r.to, ClipHole::NotSearched});
    }
    return holes;
}

QString ExportPlan::manifestLine(const ClipHole &hole, qint64 in, qint64 out)
{
    const auto day = [](qint64 ms) { return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).date(); };
    const QString format = day(in) == day(std::max(in, out - 1))
                               ? QStringLiteral("HH:mm:ss")
                               : QStringLiteral("yyyy-MM-dd HH:mm:ss");
    const auto utc = [&format](qint64 ms) {
        return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(format);
    };
    return QStringLiteral("# %1: %2 to %3 (UTC)%4")
        .arg(kindText(hole.kind), utc(hole.from), utc(hole.to), reasonText(hole.kind));
}

QString ExportPlan::panelText(const ClipHole &hole)
{
    const auto local = [](qint64 ms) {
        return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("HH:mm:ss"));
    };
    return QCoreApplication::translate("ExportPlan", "%1: %2 to %3%4")
        .arg(kindText(hole.kind), local(hole.from), local(hole.to), reasonText(hole.kind));
}
