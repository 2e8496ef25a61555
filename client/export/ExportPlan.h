#pragma once

#include "ChunkJoin.h"
#include "ClipExportJob.h"

#include <QString>
#include <QStringList>
#include <QVector>

// What an export of [in, out) will take from which chunk, and what of the range it cannot
// hold: the chunks joined by ChunkJoin (the ones the gateway refused left out), and the holes
// between them named by why (not recorded, search failed or never ran, refused). The same plan
// is said in the export panel before the operator confirms and written in the manifest.
class ExportPlan
{
public:
    // Holes shorter than this are the seams of a recording listed in chunks, not holes.
    static constexpr qint64 kMinHoleMs = 1000;

    static ExportPlan make(const QVector<ClipChunk> &chunks, const QVector<ClipHole> &unsearched,
                           qint64 in, qint64 out);

    // The parts of the range no search answered (`missing`), as holes: SearchFailed where a
    // search of them failed (`failed`), NotSearched elsewhere.
    static QVector<ClipHole> unsearched(const QVector<ClipSpan> &missing,
                                        const QVector<ClipSpan> &failed);

    const QVector<ChunkJoin::Segment> &segments() const { return m_segments; }
    const QVector<ClipHole> &holes() const { return m_holes; }

    // The manifest's line of a hole, "# Not recorded: 08:40:00 to 08:52:10 (UTC)": times of
    // day in UTC, with the date when the asked range [in, out) spans more than one UTC day.
    static QString manifestLine(const ClipHole &hole, qint64 in, qint64 out);
    // The same in the operator's local time, without "#", for the export panel.
    static QString panelText(const ClipHole &hole);

private:
    QVector<ChunkJoin::Segment> m_segments;
    QVector<ClipHole> m_holes;
};
