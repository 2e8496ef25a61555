#include "PosTextCache.h"

#include "PosDataFetcher.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QQmlEngine>
#include <QUrl>

#include <algorithm>
#include <cstdlib>

namespace {

void registerPosTextCache()
{
    qmlRegisterType<PosTextCache>("Native", 1, 0, "PosTextCache");
}
Q_COREAPP_STARTUP_FUNCTION(registerPosTextCache)

bool earlier(const PosText &a, const PosText &b)
{
    return a.time < b.time;
}

// A slice that ends within this of the moment it was fetched may still get receipts.
constexpr qint64 kRecent = 60000;
// Slices asked by one request at most, those nearest its middle: a month.
constexpr qint64 kMostSlices = 31 * 24;
// Requests beyond this (the year 9999) are cut there, so slice arithmetic cannot overflow.
constexpr qint64 kLatest = 253402300800000;

qint64 now()
{
    return QDateTime::currentMSecsSinceEpoch();
}

// "stream 12, 2026-12-09 14:00-15:00 UTC" for the log.
QString describeSlice(const QString &streamId, qint64 from)
{
    const QDateTime start = QDateTime::fromMSecsSinceEpoch(from, Qt::UTC);
    return QStringLiteral("stream %1, %2-%3 UTC")
        .arg(streamId, start.toString(QStringLiteral("yyyy-MM-dd hh:mm")),
             start.addMSecs(PosTextCache::kSlice).toString(QStringLiteral("hh:mm")));
}

// Why an answer gives no texts; empty when it gives them.
QString faultOf(const QVariantMap &answer)
{
    if (answer.value(QStringLiteral("failed")).toBool())
        return answer.value(QStringLiteral("reason")).toString();
    const QString error = answer.value(QStringLiteral("error")).toString();
    if (!error.isEmpty())
        return QStringLiteral("the answer is not JSON: %1").arg(error);
    if (!answer.value(QStringLiteral("hasArr")).toBool())
        return QStringLiteral("the answer has no \"arr\"");
    return {};
}

} // namespace

PosTextCache::PosTextCache(QObject *parent)
    : QObject(parent)
{
    for (Runner &runner : m_runners) {
        runner.fetcher = new PosDataFetcher(this);
        runner.fetcher->setTimeout(m_timeout);
        runner.fetcher->setMaxLines(PosDataFetcher::kWholeTextLines);
        Runner *r = &runner;
        connect(runner.fetcher, &PosDataFetcher::finished, this,
                [this, r](const QVariantMap &answer) { handleAnswer(*r, answer); });
    }
}

PosTextCache::~PosTextCache() = default;

QString PosTextCache::streamId() const
{
    return m_streamId;
}

QString PosTextCache::gateway() const
{
    return m_gateway;
}

bool PosTextCache::busy() const
{
    return m_busy;
}

void PosTextCache::setTimeout(int milliseconds)
{
    if (milliseconds == m_timeout)
        return;
    m_timeout = milliseconds;
    for (Runner &runner : m_runners)
        runner.fetcher->setTimeout(milliseconds);
    emit timeoutChanged();
}

void PosTextCache::setRetryDelays(int failedMs, int recentMs)
{
    m_retryDelay = failedMs;
    m_refreshDelay = recentMs;
}

void PosTextCache::setSource(const QString &streamId, const QString &gateway)
{
    if (streamId == m_streamId && gateway == m_gateway)
        return;
    m_streamId = streamId;
    m_gateway = gateway;
    // Queued slices were the former stream's; its fetches in flight end under its own name.
    m_queue.clear();
    updateBusy();
    emit sourceChanged();
    emit changed();
}

void PosTextCache::request(qint64 from, qint64 to)
{
    from = qBound<qint64>(0, from, kLatest);
    to = qBound<qint64>(0, to, kLatest);
    m_queue.clear();
    if (m_streamId.isEmpty() || m_gateway.isEmpty() || to <= from) {
        updateBusy();
        return;
    }
    const qint64 middle = from + (to - from) / 2;
    const qint64 first = qMax(from / kSlice, middle / kSlice - kMostSlices / 2) * kSlice;
    const qint64 last = qMin((to - 1) / kSlice, middle / kSlice + kMostSlices / 2) * kSlice;
    const qint64 at = now();
    for (qint64 slice = first; slice <= last; slice += kSlice) {
        if (wanted(slice, at))
            m_queue.append(slice);
    }
    const auto distance = [middle](qint64 slice) { return std::abs(slice + kSlice / 2 - middle); };
    std::stable_sort(m_queue.begin(), m_queue.end(),
                     [&](qint64 a, qint64 b) { return distance(a) < distance(b); });
    startNext();
    updateBusy();
}

bool PosTextCache::wanted(qint64 from, qint64 at) const
{
    for (const Runner &runner : m_runners) {
        if (runner.active && runner.streamId == m_streamId && runner.from == from)
            return false;
    }
    const Slice slice = m_slices.value(m_streamId).value(from);
    if (slice.failedAt >= 0)
        return at - slice.failedAt >= m_retryDelay;
    if (slice.fetchedAt < 0)
        return true;
    return !slice.final && at - slice.fetchedAt >= m_refreshDelay;
}

void PosTextCache::startNext()
{
    for (Runner &runner : m_runners) {
        while (!runner.active && !m_queue.isEmpty()) {
            const qint64 from = m_queue.takeFirst();
            // The other fetch may have brought it since it was queued.
            if (wanted(from, now()))
                start(runner, from);
        }
    }
}

void PosTextCache::start(Runner &runner, qint64 from)
{
    runner.active = true;
    runner.streamId = m_streamId;
    runner.from = from;
    runner.startedAt = now();
    QString gateway = m_gateway;
    while (gateway.endsWith(QLatin1Char('/')))
        gateway.chop(1);
    // The gateway's range includes its end: the slice's last millisecond is the end asked.
    const QString url = QStringLiteral("%1/pos-data?strmId=%2&from=%3&to=%4")
                            .arg(gateway, QString::fromLatin1(QUrl::toPercentEncoding(m_streamId)))
                            .arg(from)
                            .arg(from + kSlice - 1);
    runner.fetcher->fetch(url);
}

void PosTextCache::handleAnswer(Runner &runner, const QVariantMap &answer)
{
    if (!runner.active)
        return;
    runner.active = false;
    // A handler of changed() may request more and so hand the runner its next slice.
    const Runner done = runner;
    const QString fault = faultOf(answer);
    if (fault.isEmpty())
        sliceFetched(done, answer);
    else
        sliceFailed(done, fault);
    startNext();
    updateBusy();
}

void PosTextCache::sliceFailed(const Runner &runner, const QString &reason)
{
    m_slices[runner.streamId][runner.from].failedAt = now();
    qWarning().noquote() << QStringLiteral("Channel texts of %1 could not be fetched: %2")
                                .arg(describeSlice(runner.streamId, runner.from), reason);
    if (runner.streamId == m_streamId)
        emit changed();
}

void PosTextCache::sliceFetched(const Runner &runner, const QVariantMap &answer)
{
    const QVariantList times = answer.value(QStringLiteral("times")).toList();
    const QStringList texts = answer.value(QStringLiteral("texts")).toStringList();
    const qint64 end = runner.from + kSlice;
    QVector<PosText> inside;
    inside.reserve(times.size());
    for (int i = 0; i < times.size() && i < texts.size(); ++i) {
        // compared as read: a time far outside could not be held in whole milliseconds
        const double time = times.at(i).toDouble();
        if (time >= double(runner.from) && time < double(end))
            inside.append(PosText{qint64(time), texts.at(i)});
    }
    const int outside = int(times.size() - inside.size());
    if (outside > 0)
        qWarning().noquote() << QStringLiteral("Channel texts of %1: %2 outside the slice left out")
                                    .arg(describeSlice(runner.streamId, runner.from))
                                    .arg(outside);
    addTexts(runner.streamId, runner.from, end, inside);
    Slice &slice = m_slices[runner.streamId][runner.from];
    slice.fetchedAt = runner.startedAt;
    // A cut answer is asked again like a recent one: what was left out may come then.
    slice.final =
        end <= runner.startedAt - kRecent && !answer.value(QStringLiteral("cut")).toBool();
    qInfo().noquote() << QStringLiteral("Channel texts of %1: %2")
                             .arg(describeSlice(runner.streamId, runner.from))
                             .arg(inside.size());
}

void PosTextCache::updateBusy()
{
    bool busy = !m_queue.isEmpty();
    for (const Runner &runner : m_runners)
        busy = busy || runner.active;
    if (busy == m_busy)
        return;
    m_busy = busy;
    emit busyChanged();
}

const QVector<PosText> *PosTextCache::currentTexts() const
{
    const auto it = m_texts.constFind(m_streamId);
    return it == m_texts.constEnd() ? nullptr : &it.value();
}

QVariantList PosTextCache::textsBetween(qint64 from, qint64 to) const
{
    QVariantList out;
    const QVector<PosText> *texts = currentTexts();
    if (!texts)
        return out;
    auto it = std::lower_bound(texts->cbegin(), texts->cend(), PosText{from, {}}, earlier);
    for (; it != texts->cend() && it->time < to; ++it)
        out.append(
            QVariantMap{{QStringLiteral("time"), it->time}, {QStringLiteral("text"), it->text}});
    return out;
}

bool PosTextCache::failedBetween(qint64 from, qint64 to) const
{
    const QHash<qint64, Slice> slices = m_slices.value(m_streamId);
    for (auto it = slices.cbegin(); it != slices.cend(); ++it) {
        if (it.value().failedAt >= 0 && it.key() < to && it.key() + kSlice > from)
            return true;
    }
    return false;
}

QVector<qint64> PosTextCache::timesBetween(qint64 from, qint64 to) const
{
    QVector<qint64> out;
    const QVector<PosText> *texts = currentTexts();
    if (!texts)
        return out;
    auto it = std::lower_bound(texts->cbegin(), texts->cend(), PosText{from, {}}, earlier);
    for (; it != texts->cend() && it->time < to; ++it)
        out.append(it->time);
    return out;
}

void PosTextCache::addTexts(const QString &streamId, qint64 from, qint64 to,
                            const QVector<PosText> &texts)
{
    QVector<PosText> &kept = m_texts[streamId];
    // What the range held before is replaced: a slice asked again brings its texts again.
    const auto first = std::lower_bound(kept.begin(), kept.end(), PosText{from, {}}, earlier);
    const auto last = std::lower_bound(first, kept.end(), PosText{to, {}}, earlier);
    QVector<PosText> inside;
    for (const PosText &t : texts) {
        if (t.time >= from && t.time < to)
            inside.append(t);
    }
    std::stable_sort(inside.begin(), inside.end(), earlier);
    // One pass: the texts before the range, the range's new ones, the texts after it.
    QVector<PosText> merged;
    merged.reserve(int(kept.size() - (last - first) + inside.size()));
    const int head = int(first - kept.begin());
    const int tail = int(last - kept.begin());
    for (int i = 0; i < head; ++i)
        merged.append(kept.at(i));
    merged.append(inside);
    for (int i = tail; i < kept.size(); ++i)
        merged.append(kept.at(i));
    kept = std::move(merged);
    markFetched(streamId, from, to);
    if (streamId == m_streamId)
        emit changed();
}

void PosTextCache::markFetched(const QString &streamId, qint64 from, qint64 to)
{
    const qint64 at = now();
    QHash<qint64, Slice> &slices = m_slices[streamId];
    // Only the slices wholly inside the range are known whole; a range of over ten years is
    // no recording, and its slices are not worth the memory.
    const qint64 first = (qBound<qint64>(0, from, kLatest) + kSlice - 1) / kSlice * kSlice;
    const qint64 end = qMin(qBound<qint64>(0, to, kLatest), first + 10 * 366 * 24 * kSlice);
    for (qint64 slice = first; slice + kSlice <= end; slice += kSlice) {
        Slice &s = slices[slice];
        s.fetchedAt = at;
        s.final = slice + kSlice <= at - kRecent;
        s.failedAt = -1;
    }
}
