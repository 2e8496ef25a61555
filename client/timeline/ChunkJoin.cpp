#include "ChunkJoin.h"

#include <algorithm>

ChunkJoin::Result ChunkJoin::join(const QVector<Chunk> &chunks, qint64 from, qint64 to)
{
    Result result;
    if (to <= from)
        return result;
    // The chunks that meet the range, by start, the longest first among equal starts.
    QVector<int> order;
    for (int i = 0; i < chunks.size(); ++i) {
        const Chunk &c = chunks.at(i);
        if (c.end > c.start && c.end > from && c.start < to)
            order.append(i);
    }
    std::stable_sort(order.begin(), order.end(), [&chunks](int a, int b) {
        const Chunk &ca = chunks.at(a);
        const Chunk &cb = chunks.at(b);
        return ca.start != cb.start ? ca.start < cb.start : ca.end > cb.end;
    });
    qint64 cursor = from;
    int next = 0; // the first chunk in `order` not yet looked at
    while (cursor < to) {
        // Of the chunks that hold the cursor, the one that reaches furthest.
        int best = -1;
        for (; next < order.size() && chunks.at(order.at(next)).start <= cursor; ++next) {
            const int i = order.at(next);
            if (chunks.at(i).end > cursor && (best < 0 || chunks.at(i).end > chunks.at(best).end))
                best = i;
        }
        if (best < 0) {
            // Nothing holds the cursor: a gap up to the next chunk that reaches past it.
            while (next < order.size() && chunks.at(order.at(next)).end <= cursor)
                ++next;
            const qint64 resume = next < order.size() ? chunks.at(order.at(next)).start : to;
            result.gaps.append(Gap{cursor, std::min(resume, to)});
            cursor = resume;
            continue;
        }
        const Chunk &c = chunks.at(best);
        const qint64 end = std::min(c.end, to);
        result.segments.append(Segment{c, best, cursor - c.start, cursor, end});
        // Every chunk looked at so far ends by `end`: none of them is needed again.
        cursor = end;
    }
    return result;
}
