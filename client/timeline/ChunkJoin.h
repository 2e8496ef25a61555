#pragma once

#include <QString>
#include <QVector>

// Which recorded chunk plays, or goes into an export, after which, and from which offset into
// its file. A gateway may list chunks that overlap (a recorder restarted, two recordings of one
// camera), repeat one, or list them out of order: joined, every moment of the asked range comes
// from one chunk only, so no second is played or exported twice. Where several chunks hold a
// moment, the one that reaches furthest is taken (fewest files opened); the next one takes over
// where it ends, from the matching offset into its own file. The moments no chunk holds are
// named as gaps. Pure: chunks in, segments and gaps out; used by playback by time and export.
class ChunkJoin
{
public:
    // A recorded chunk: its listed times in ms since the epoch (end exclusive) and, for the
    // caller, the address of its recording. A chunk whose end is not after its start is ignored.
    struct Chunk
    {
        qint64 start = 0;
        qint64 end = 0;
        QString url;
    };
    // The part [start, end) of the asked range taken from `chunk`, `offset` ms into its file
    // (start - chunk.start); `source` is the chunk's position in the list given to join().
    struct Segment
    {
        Chunk chunk;
        int source = -1;
        qint64 offset = 0;
        qint64 start = 0;
        qint64 end = 0;
    };
    // A part [from, to) of the asked range that no chunk holds.
    struct Gap
    {
        qint64 from = 0;
        qint64 to = 0;
    };
    struct Result
    {
        QVector<Segment> segments; // in time order, back to back or with a gap between
        QVector<Gap> gaps;         // in time order
    };

    // The chunks that cover [from, to), joined. An empty or reversed range gives nothing.
    static Result join(const QVector<Chunk> &chunks, qint64 from, qint64 to);
};
