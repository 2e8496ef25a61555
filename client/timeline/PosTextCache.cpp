#include "PosTextCache.h"

#include "PosDataFetcher.h"
#include "PosTextHours.h"
#include "PosTextPager.h"
#include "ServerIdentity.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QQmlEngine>

#include <algorithm>
#include <cstdlib>

namespace {

void registerPosTextCache()
{
    qmlRegisterType<PosTextCache>("Native", 1, 0, "PosTextCache");
}
Q_COREAPP_STARTUP_FUNCTION(registerPosTextCache)

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

} // namespace

PosTextCache::PosTextCache(QObject *parent)
    : QObject(parent)
{
    for (Runner &runner : m_runners) {
        runner.pager = new PosTextPager(this);
        runner.pager->setTimeout(m_timeout);
        runner.pager->setMaxLines(PosDataFetcher::kWholeTextLines);
        Runner *r = &runner;
        connect(runner.pager, &PosTextPager::finished, this,
                [this, r](const PosTextPager::Outcome &outcome) { handleAnswer(*r, outcome); });
    }
    setHours(PosTextHours::shared());
}

PosTextCache::~PosTextCache() = default;

QString PosTextCache::keyOf(const QString &server, const QString &streamId)
{
    // No server identity holds a line break.
    return server + QLatin1Char('\n') + streamId;
}

void PosTextCache::setHours(PosTextHours *hours)
{
    if (m_hours)
        disconnect(m_hours, nullptr, this, nullptr);
    m_hours = hours;
    if (!m_hours)
        return;
    connect(m_hours, &PosTextHours::changed, this, [this](const QString &key) {
        if (key == currentKey())
            emit changed();
    });
}

QString PosTextCache::currentKey() const
{
    return keyOf(m_server.isEmpty() ? ServerIdentity::current() : m_server, m_streamId);
}

void PosTextCache::setServer(const QString &server)
{
    if (server == m_server)
        return;
    m_server = server;
    m_queue.clear();
    updateBusy();
    emit sourceChanged();
    emit changed();
}

void PosTextCache::setTimeout(int milliseconds)
{
    if (milliseconds == m_timeout)
        return;
    m_timeout = milliseconds;
    for (Runner &runner : m_runners)
        runner.pager->setTimeout(milliseconds);
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
    const QString key = currentKey();
    for (const Runner &runner : m_runners) {
        if (runner.active && runner.key == key && runner.from == from)
            return false;
    }
    const PosTextHours::Hour *slice = m_hours ? m_hours->find(key, from) : nullptr;
    if (!slice)
        return true;
    if (slice->failedAt >= 0)
        return at - slice->failedAt >= m_retryDelay;
    if (slice->fetchedAt < 0)
        return true;
    return !slice->final && at - slice->fetchedAt >= m_refreshDelay;
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
    runner.key = currentKey();
    runner.streamId = m_streamId;
    runner.from = from;
    runner.startedAt = now();
    runner.pager->fetch(m_gateway, m_streamId, from, from + kSlice);
}

void PosTextCache::handleAnswer(Runner &runner, const PosTextPager::Outcome &outcome)
{
    if (!runner.active)
        return;
    runner.active = false;
    // A handler of changed() may request more and so hand the runner its next slice.
    const Runner done = runner;
    if (!m_hours)
        return;
    const QString slice = describeSlice(done.streamId, done.from);
    const QVector<PosText> &texts = outcome.texts;
    if (outcome.outside > 0)
        qWarning().noquote() << QStringLiteral("Channel texts of %1: %2 outside the slice left out")
                                    .arg(slice)
                                    .arg(outcome.outside);
    const qint64 end = done.from + kSlice;
    if (!outcome.failed) {
        // Whole; or an answer larger than the fetcher reads (it has warned): then what came is
        // kept and the slice, never final, is asked again like a recent one.
        m_hours->store(done.key, done.from, done.from, end, texts, done.startedAt, true,
                       outcome.complete && end <= done.startedAt - kRecent);
        qInfo().noquote() << QStringLiteral("Channel texts of %1: %2").arg(slice).arg(texts.size());
    } else {
        // What came is shown, but the slice is not known whole: it is hatched and asked again.
        if (!texts.isEmpty())
            m_hours->store(done.key, done.from, done.from, texts.last().time + 1, texts, -1, false,
                           false);
        m_hours->markFailed(done.key, done.from, now());
        qWarning().noquote() << QStringLiteral("Channel texts of %1 could not be fetched: %2")
                                    .arg(slice, outcome.reason);
    }
    startNext();
    updateBusy();
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

QVariantList PosTextCache::textsBetween(qint64 from, qint64 to) const
{
    QVariantList out;
    if (!m_hours)
        return out;
    for (const PosText &t : m_hours->between(currentKey(), from, to))
        out.append(QVariantMap{{QStringLiteral("time"), t.time}, {QStringLiteral("text"), t.text}});
    return out;
}

bool PosTextCache::failedBetween(qint64 from, qint64 to) const
{
    return m_hours && m_hours->failedBetween(currentKey(), from, to);
}

QVector<qint64> PosTextCache::timesBetween(qint64 from, qint64 to) const
{
    QVector<qint64> out;
    if (!m_hours)
        return out;
    for (const PosText &t : m_hours->between(currentKey(), from, to))
        out.append(t.time);
    return out;
}

void PosTextCache::addTexts(const QString &streamId, qint64 from, qint64 to,
                            const QVector<PosText> &texts)
{
    from = qBound<qint64>(0, from, kLatest);
    to = qBound<qint64>(0, to, kLatest);
    if (to <= from || !m_hours)
        return;
    const QString key = keyOf(m_server.isEmpty() ? ServerIdentity::current() : m_server, streamId);
    const qint64 at = now();
    QVector<qint64> slices;
    const bool span = (to - from) / kSlice <= kMostSlices;
    if (span) {
        for (qint64 slice = from / kSlice * kSlice; slice < to; slice += kSlice)
            slices.append(slice);
    } else {
        // A range of years: only the hours that hold texts are kept, none of them known whole.
        for (const PosText &t : texts) {
            const qint64 slice = t.time / kSlice * kSlice;
            if (t.time >= from && t.time < to && (slices.isEmpty() || slices.last() != slice))
                slices.append(slice);
        }
    }
    for (qint64 slice : qAsConst(slices)) {
        const bool whole = span && slice >= from && slice + kSlice <= to;
        m_hours->store(key, slice, qMax(from, slice), qMin(to, slice + kSlice), texts, at, whole,
                       whole && slice + kSlice <= at - kRecent);
    }
}
