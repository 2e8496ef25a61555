#include "RecordingIndex.h"

#include "QmlUtils.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QQmlEngine>

#include <algorithm>
#include <vector>

namespace {

void registerRecordingIndex()
{
    qmlRegisterType<RecordingIndex>("Native", 1, 0, "RecordingIndex");
}
Q_COREAPP_STARTUP_FUNCTION(registerRecordingIndex)

// Adds [from, to) to a sorted list of disjoint ranges, merging what touches it.
void addRange(QVector<TimeRange> &ranges, TimeRange added)
{
    QVector<TimeRange> merged;
    merged.reserve(ranges.size() + 1);
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

// Removes [from, to) from a sorted list of disjoint ranges.
void removeRange(QVector<TimeRange> &ranges, TimeRange removed)
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

QVariantMap toMap(const RecordedSpan &span)
{
    return {{QStringLiteral("start"), span.start},
            {QStringLiteral("end"), span.end},
            {QStringLiteral("size"), span.size},
            {QStringLiteral("unavailable"), span.unavailable},
            {QStringLiteral("open"), span.open}};
}

bool readSpan(const QVariant &entry, RecordedSpan &span)
{
    const QVariantMap map = entry.toMap();
    bool okStart = false, okEnd = false;
    span.start = map.value(QStringLiteral("start")).toLongLong(&okStart);
    span.end = map.value(QStringLiteral("end")).toLongLong(&okEnd);
    span.size = std::max<qint64>(0, map.value(QStringLiteral("size")).toLongLong());
    return okStart && okEnd && span.end > span.start;
}

} // namespace

struct RecordingIndex::Stream
{
    std::vector<RecordedSpan> spans; // by start, then end
    QVector<TimeRange> known;
    QVector<TimeRange> failed;
    // The longest chunk: a chunk holding t starts no earlier than t minus this.
    qint64 longest = 0;
};

RecordingIndex::RecordingIndex(QObject *parent)
    : QObject(parent)
{
    m_growth.setInterval(1000);
    connect(&m_growth, &QTimer::timeout, this, &RecordingIndex::grow);
}

qint64 RecordingIndex::openChunkStart(const QVariantList &chunks, qint64 now)
{
    std::vector<RecordedSpan> spans;
    for (const QVariant &entry : chunks) {
        RecordedSpan span;
        if (readSpan(entry, span))
            spans.push_back(span);
    }
    qint64 open = -1;
    qint64 openEnd = 0;
    for (const RecordedSpan &span : spans) {
        if (span.end < now - kOpenSlackMs || (open >= 0 && span.end <= openEnd))
            continue;
        const bool followed = std::any_of(spans.cbegin(), spans.cend(), [&](const RecordedSpan &o) {
            return o.start >= span.end;
        });
        if (!followed) {
            open = span.start;
            openEnd = span.end;
        }
    }
    return open;
}

void RecordingIndex::grow()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    bool any = false;
    bool currentGrew = false;
    for (auto it = m_streams.begin(); it != m_streams.end(); ++it) {
        for (RecordedSpan &span : it->spans) {
            if (!span.open)
                continue;
            any = true;
            const qint64 end = now - span.lag;
            if (end > span.end) {
                span.end = end;
                it->longest = std::max(it->longest, span.end - span.start);
                currentGrew = currentGrew || it.key() == m_streamId;
            }
        }
    }
    if (!any)
        m_growth.stop();
    if (currentGrew)
        emit changed();
}

RecordingIndex::~RecordingIndex() = default;

QString RecordingIndex::streamId() const
{
    return m_streamId;
}

QString RecordingIndex::recordingUrl(const QString &gateway, qint64 chunkStart) const
{
    QmlUtils utils;
    return gateway + QLatin1Char('/') +
           utils.fileNameFromMSec(m_streamId, static_cast<qulonglong>(chunkStart));
}

QString RecordingIndex::readingUrl(const QString &gateway, const RecordedSpan &span) const
{
    const QString url = recordingUrl(gateway, span.start);
    return span.open ? url + QStringLiteral("?to=%1").arg(span.end) : url;
}

void RecordingIndex::setStreamId(const QString &streamId)
{
    if (m_streamId == streamId)
        return;
    m_streamId = streamId;
    emit streamIdChanged();
    emit changed();
}

const RecordingIndex::Stream *RecordingIndex::current() const
{
    const auto it = m_streams.constFind(m_streamId);
    return it == m_streams.constEnd() ? nullptr : &it.value();
}

qint64 RecordingIndex::firstRecorded() const
{
    const Stream *s = current();
    return s && !s->spans.empty() ? s->spans.front().start : -1;
}

qint64 RecordingIndex::lastRecorded() const
{
    const Stream *s = current();
    if (!s || s->spans.empty())
        return -1;
    qint64 last = 0;
    for (const RecordedSpan &span : s->spans)
        last = std::max(last, span.end);
    return last;
}

void RecordingIndex::addChunks(const QString &streamId, qint64 from, qint64 to,
                               const QVariantList &chunks)
{
    Stream &s = m_streams[streamId];
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const qint64 openStart = openChunkStart(chunks, now);
    for (const QVariant &entry : chunks) {
        RecordedSpan span;
        if (!readSpan(entry, span))
            continue;
        if (span.start == openStart) {
            span.open = true;
            span.lag = now - span.end;
        }
        // What a chunk being recorded became: the later answer says.
        auto same =
            std::lower_bound(s.spans.begin(), s.spans.end(), span.start,
                             [](const RecordedSpan &k, qint64 start) { return k.start < start; });
        while (same != s.spans.end() && same->start == span.start && !same->open)
            ++same;
        if (same != s.spans.end() && same->start != span.start)
            same = s.spans.end();
        if (same != s.spans.end()) {
            span.unavailable = same->unavailable;
            s.spans.erase(same);
        }
        const auto at = std::lower_bound(
            s.spans.begin(), s.spans.end(), span, [](const RecordedSpan &a, const RecordedSpan &b) {
                return a.start < b.start || (a.start == b.start && a.end < b.end);
            });
        // The same chunk answered by two searches is kept once.
        if (at != s.spans.end() && at->start == span.start && at->end == span.end)
            continue;
        s.spans.insert(at, span);
        s.longest = std::max(s.longest, span.end - span.start);
        if (span.open && !m_growth.isActive())
            m_growth.start();
    }
    if (to > from) {
        addRange(s.known, {from, to});
        removeRange(s.failed, {from, to});
    }
    if (streamId == m_streamId)
        emit changed();
}

void RecordingIndex::markFailed(const QString &streamId, qint64 from, qint64 to)
{
    if (to <= from)
        return;
    Stream &s = m_streams[streamId];
    addRange(s.failed, {from, to});
    if (streamId == m_streamId)
        emit changed();
}

void RecordingIndex::markUnavailable(const QString &streamId, qint64 chunkStart)
{
    Stream &s = m_streams[streamId];
    bool found = false;
    for (RecordedSpan &span : s.spans) {
        if (span.start == chunkStart && !span.unavailable) {
            span.unavailable = true;
            found = true;
        }
    }
    if (found && streamId == m_streamId)
        emit changed();
}

void RecordingIndex::forgetStream(const QString &streamId)
{
    if (m_streams.remove(streamId) > 0 && streamId == m_streamId)
        emit changed();
}

QVariantList RecordingIndex::missingRanges(qint64 from, qint64 to) const
{
    QVector<TimeRange> missing;
    if (to > from)
        missing.append({from, to});
    if (const Stream *s = current()) {
        for (const TimeRange &r : s->known)
            removeRange(missing, r);
    }
    QVariantList out;
    for (const TimeRange &r : missing)
        out.append(QVariantMap{{QStringLiteral("from"), r.from}, {QStringLiteral("to"), r.to}});
    return out;
}

int RecordingIndex::firstCandidate(const Stream &s, qint64 t)
{
    // Chunks that may hold t start at or after t - longest.
    const auto it =
        std::lower_bound(s.spans.cbegin(), s.spans.cend(), t - s.longest,
                         [](const RecordedSpan &span, qint64 start) { return span.start < start; });
    return int(it - s.spans.cbegin());
}

QVariantMap RecordingIndex::chunkAt(qint64 t) const
{
    const Stream *s = current();
    if (!s)
        return {};
    const RecordedSpan *holder = nullptr;
    for (int i = firstCandidate(*s, t); i < int(s->spans.size()) && s->spans[i].start <= t; ++i) {
        if (s->spans[i].end > t)
            holder = &s->spans[i];
    }
    return holder ? toMap(*holder) : QVariantMap();
}

QVariantMap RecordingIndex::chunkFrom(qint64 t) const
{
    const QVariantMap holder = chunkAt(t);
    if (!holder.isEmpty())
        return holder;
    const Stream *s = current();
    if (!s)
        return {};
    const auto it =
        std::upper_bound(s->spans.cbegin(), s->spans.cend(), t,
                         [](qint64 time, const RecordedSpan &span) { return time < span.start; });
    return it == s->spans.cend() ? QVariantMap() : toMap(*it);
}

qint64 RecordingIndex::nextRecordedAfter(qint64 t) const
{
    const QVariantMap chunk = chunkFrom(t);
    if (chunk.isEmpty())
        return -1;
    return std::max(t, chunk.value(QStringLiteral("start")).toLongLong());
}

std::vector<RecordedSpan> RecordingIndex::spansBetween(qint64 from, qint64 to) const
{
    std::vector<RecordedSpan> out;
    const Stream *s = current();
    if (!s)
        return out;
    for (int i = firstCandidate(*s, from); i < int(s->spans.size()) && s->spans[i].start < to;
         ++i) {
        if (s->spans[i].end > from)
            out.push_back(s->spans[i]);
    }
    return out;
}

QVector<TimeRange> RecordingIndex::failedBetween(qint64 from, qint64 to) const
{
    QVector<TimeRange> out;
    if (const Stream *s = current()) {
        for (const TimeRange &r : s->failed) {
            if (r.to > from && r.from < to)
                out.append(r);
        }
    }
    return out;
}
