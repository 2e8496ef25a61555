#include "TransactionWorker.h"

#include <QDateTime>
#include <QDebug>

TransactionWorker::TransactionWorker(const Sink &sink, qint64 slice, int batchMs)
    : m_sink(sink)
    , m_slice(slice)
{
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(batchMs);
    connect(&m_flushTimer, &QTimer::timeout, this, &TransactionWorker::flush);
}

TransactionWorker::~TransactionWorker() = default;

namespace {

bool covered(const QVector<TransactionStore::Range> &ranges, qint64 from, qint64 to)
{
    for (const TransactionStore::Range &range : ranges) {
        if (range.first <= from && range.second >= to)
            return true;
    }
    return false;
}

} // namespace

bool TransactionWorker::openStore()
{
    if (!m_storeTried) {
        m_storeTried = true;
        m_store = std::make_unique<TransactionStore>();
        if (!m_store->open(QDateTime::currentMSecsSinceEpoch()))
            qWarning().noquote() << "Transaction search: the local store could not be opened, "
                                    "every hour is asked of the gateways";
    }
    return m_store->isOpen();
}

void TransactionWorker::plan(quint64 generation, const QString &server, const QVector<Till> &tills,
                             qint64 from, qint64 to, const ReceiptQuery &query)
{
    if (!current(generation))
        return;
    m_working = generation;
    m_pending.clear();
    m_sentAny = false;
    m_server = server;
    m_tills = tills;
    m_from = from;
    m_to = to;
    m_query = query;
    const bool stored = openStore();
    QVector<Slice> missing;
    QVector<Slice> known;
    QVector<QVector<TransactionStore::Range>> fetched;
    for (const Till &till : tills)
        fetched.append(stored ? m_store->fetched(server, till.streamId)
                              : QVector<TransactionStore::Range>());
    const qint64 first = from - ((from % m_slice) + m_slice) % m_slice;
    for (qint64 start = first; start < to; start += m_slice) {
        for (int till = 0; till < tills.size(); ++till) {
            if (covered(fetched.at(till), start, start + m_slice))
                known.append({till, start});
            else
                missing.append({till, start});
        }
    }
    m_sink.planned(generation, missing, missing.size() + known.size());
    for (const Slice &slice : qAsConst(known)) {
        if (!current(generation))
            return;
        const QString &streamId = tills.at(slice.till).streamId;
        const int searched =
            match(slice, m_store->texts(server, streamId, slice.from, slice.from + m_slice));
        m_sink.sliceDone(generation, slice.till, false, false, searched);
    }
}

void TransactionWorker::answer(quint64 generation, const Slice &slice,
                               const PosTextPager::Outcome &outcome)
{
    if (!current(generation) || generation != m_working)
        return;
    const Till &till = m_tills.at(slice.till);
    const QString where =
        QStringLiteral("%1 at %2").arg(till.name, TransactionModel::timeText(slice.from));
    if (outcome.failed && !outcome.unanswered)
        qWarning().noquote() << "Transaction search: the receipts of" << where
                             << "are not readable, skipped:" << outcome.reason;
    if (outcome.outside > 0)
        qWarning().noquote() << "Transaction search:" << outcome.outside << "receipts of" << where
                             << "lie outside the hour asked for, left out";
    // An incomplete slice is stored, but its hour is asked again by the next search.
    if (!outcome.complete && !outcome.texts.isEmpty())
        qInfo().noquote() << QStringLiteral("Receipts of stream %1 from %2: not all came; the "
                                            "hour will be asked again")
                                 .arg(till.streamId)
                                 .arg(slice.from);
    const bool stored = openStore();
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (stored)
        m_store->addTexts(m_server, till.streamId, slice.from, slice.from + m_slice, outcome.texts,
                          now, outcome.complete);
    if (!outcome.failed) {
        m_sink.sliceDone(generation, slice.till, false, false, match(slice, outcome.texts));
        return;
    }
    // What came before the failure is in the store with what earlier searches kept.
    const int searched = stored ? match(slice, m_store->texts(m_server, till.streamId, slice.from,
                                                              slice.from + m_slice))
                                : match(slice, outcome.texts);
    m_sink.sliceDone(generation, slice.till, true, outcome.unanswered, searched);
}

int TransactionWorker::match(const Slice &slice, const QVector<PosText> &texts)
{
    const Till &till = m_tills.at(slice.till);
    int searched = 0;
    for (const PosText &text : texts) {
        if (text.time < m_from || text.time >= m_to)
            continue;
        ++searched;
        if (!m_query.matches(text.text))
            continue;
        m_pending.append(TransactionModel::rowOf(text.time, till.name, till.streamId, text.text));
    }
    if (m_pending.isEmpty())
        return searched;
    if (!m_sentAny) {
        // the first receipts found go at once: the operator sees the search work
        flush();
    } else if (!m_flushTimer.isActive()) {
        m_flushTimer.start();
        m_sinceFlush.start();
    } else if (m_sinceFlush.elapsed() >= m_flushTimer.interval()) {
        // a long run of stored hours gives no chance to the timer
        flush();
    }
    return searched;
}

void TransactionWorker::flush()
{
    m_flushTimer.stop();
    if (m_pending.isEmpty())
        return;
    if (current(m_working))
        m_sink.found(m_working, m_pending);
    m_sentAny = true;
    m_pending.clear();
}

void TransactionWorker::finish(quint64 generation)
{
    if (!current(generation))
        return;
    flush();
    m_sink.finished(generation);
    if (m_store && m_store->isOpen())
        m_store->prune(QDateTime::currentMSecsSinceEpoch());
}
