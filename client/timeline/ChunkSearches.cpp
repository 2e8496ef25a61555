#include "ChunkSearches.h"

#include <algorithm>

namespace {

// Adds [from, to) to a sorted list of disjoint ranges, merging what touches it.
void unite(QVector<TimeRange> &ranges, TimeRange added)
{
    if (added.to <= added.from)
        return;
    QVector<TimeRange> merged;
    for (const TimeRange &r : ranges) {
        if (r.to < added.from || r.from > added.to)
            merged.append(r);
        else
            added = {std::min(added.from, r.from), std::max(added.to, r.to)};
    }
    const auto at =
        std::lower_bound(merged.begin(), merged.end(), added,
                         [](const TimeRange &a, const TimeRange &b) { return a.from < b.from; });
    merged.insert(at, added);
    ranges = merged;
}

// Removes [from, to) from a list of ranges.
void subtract(QVector<TimeRange> &ranges, TimeRange removed)
{
    QVector<TimeRange> kept;
    for (const TimeRange &r : ranges) {
        if (r.to <= removed.from || r.from >= removed.to) {
            kept.append(r);
            continue;
        }
        if (r.from < removed.from)
            kept.append({r.from, removed.from});
        if (r.to > removed.to)
            kept.append({removed.to, r.to});
    }
    ranges = kept;
}

QVector<TimeRange> intersect(const QVector<TimeRange> &ranges, TimeRange with)
{
    QVector<TimeRange> out;
    for (const TimeRange &r : ranges) {
        const TimeRange part{std::max(r.from, with.from), std::min(r.to, with.to)};
        if (part.to > part.from)
            out.append(part);
    }
    return out;
}

qint64 floorTo(qint64 t, qint64 step)
{
    return t >= 0 ? t / step * step : -((-t + step - 1) / step) * step;
}

} // namespace

struct ChunkSearches::Stream
{
    QVector<TimeRange> settled;   // answered, all recorded then
    QVector<TimeRange> recording; // answered while still to be recorded: asked again later
    QVector<Asked> answers;       // answers and failures of the last kAgainMs
    QVector<Asked> asking;        // in flight
    qint64 askedAgainAt = -1;     // when the part still to be recorded was last asked
};

ChunkSearches::ChunkSearches(QObject *parent)
    : QObject(parent)
{}

ChunkSearches::~ChunkSearches() = default;

int ChunkSearches::running() const
{
    int n = 0;
    for (const Stream &s : m_streams)
        n += s.asking.size();
    return n;
}

void ChunkSearches::noteRunning(int before)
{
    if (running() != before)
        emit runningChanged();
}

QVector<TimeRange> ChunkSearches::take(const QString &streamId, qint64 from, qint64 to, qint64 now)
{
    QVector<TimeRange> asked;
    if (to <= from || streamId.isEmpty())
        return asked;
    const int before = running();
    Stream &s = m_streams[streamId];
    s.answers.erase(std::remove_if(s.answers.begin(), s.answers.end(),
                                   [now](const Asked &a) { return now - a.at >= kAgainMs; }),
                    s.answers.end());
    const auto unasked = [&](QVector<TimeRange> ranges) {
        ranges.erase(std::remove_if(ranges.begin(), ranges.end(),
                                    [](const TimeRange &r) { return r.to <= r.from; }),
                     ranges.end());
        for (const TimeRange &r : s.settled)
            subtract(ranges, r);
        for (const Asked &a : s.asking)
            subtract(ranges, a.range);
        for (const Asked &a : s.answers)
            subtract(ranges, a.range);
        return ranges;
    };
    // Near the present and after it, what is recorded changes: at most one search per
    // kAgainMs; further back, what was never asked is asked at once.
    const qint64 settleBefore = now - kSettleMs;
    QVector<TimeRange> fresh = unasked({{from, std::min(to, settleBefore)}});
    QVector<TimeRange> again = unasked({{std::max(from, settleBefore), to}});
    for (const TimeRange &r : s.recording) {
        for (const TimeRange &part : intersect(unasked({{from, to}}), r))
            unite(again, part);
    }
    for (const TimeRange &r : again)
        subtract(fresh, r);
    for (const TimeRange &r : fresh) {
        const TimeRange rounded{floorTo(r.from, kRoundMs),
                                std::min(settleBefore, floorTo(r.to + kRoundMs - 1, kRoundMs))};
        for (const TimeRange &part : unasked({rounded}))
            unite(asked, part);
    }
    if (!again.isEmpty() && (s.askedAgainAt < 0 || now - s.askedAgainAt >= kAgainMs)) {
        s.askedAgainAt = now;
        // One search from the first to the last part.
        unite(asked, {again.first().from, again.last().to});
    }
    for (const TimeRange &r : asked)
        s.asking.append({r, now});
    noteRunning(before);
    return asked;
}

void ChunkSearches::answered(const QString &streamId, qint64 from, qint64 to, qint64 openStart,
                             qint64 now)
{
    if (to <= from)
        return;
    const int before = running();
    Stream &s = m_streams[streamId];
    s.asking.erase(
        std::remove_if(s.asking.begin(), s.asking.end(),
                       [&](const Asked &a) { return a.range.from == from && a.range.to == to; }),
        s.asking.end());
    const qint64 settledTo =
        std::min(to, openStart >= 0 ? std::min(openStart, now - kSettleMs) : now - kSettleMs);
    if (settledTo > from) {
        unite(s.settled, {from, settledTo});
        subtract(s.recording, {from, settledTo});
    }
    unite(s.recording, {std::max(from, settledTo), to});
    s.answers.append({{from, to}, now});
    noteRunning(before);
}

void ChunkSearches::failed(const QString &streamId, qint64 from, qint64 to, qint64 now)
{
    const int before = running();
    Stream &s = m_streams[streamId];
    s.asking.erase(
        std::remove_if(s.asking.begin(), s.asking.end(),
                       [&](const Asked &a) { return a.range.from == from && a.range.to == to; }),
        s.asking.end());
    if (to > from)
        s.answers.append({{from, to}, now});
    noteRunning(before);
}

QVector<QPair<QString, TimeRange>> ChunkSearches::expire(qint64 now)
{
    QVector<QPair<QString, TimeRange>> expired;
    const int before = running();
    for (auto it = m_streams.begin(); it != m_streams.end(); ++it) {
        Stream &s = it.value();
        for (int i = s.asking.size() - 1; i >= 0; --i) {
            if (now - s.asking.at(i).at < kTimeoutMs)
                continue;
            expired.append({it.key(), s.asking.at(i).range});
            s.answers.append({s.asking.at(i).range, now});
            s.asking.remove(i);
        }
    }
    noteRunning(before);
    return expired;
}

bool ChunkSearches::isAsking(const QString &streamId, qint64 from, qint64 to) const
{
    const auto it = m_streams.constFind(streamId);
    return it != m_streams.constEnd() &&
           std::any_of(it->asking.cbegin(), it->asking.cend(),
                       [&](const Asked &a) { return a.range.from == from && a.range.to == to; });
}

void ChunkSearches::forgetAnswered(const QString &streamId)
{
    const auto it = m_streams.find(streamId);
    if (it == m_streams.end())
        return;
    it->settled.clear();
    it->recording.clear();
}
