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

void TransactionWorker::plan(quint64 generation, const QVector<Till> &tills, qint64 from, qint64 to,
                             const ReceiptQuery &query)
{
    if (!current(generation))
        return;
    m_working = generation;
    m_pending.clear();
    m_sentAny = false;
    m_tills = tills;
    m_from = from;
    m_to = to;
    m_query = query;
    const bool stored = openStore();
    QVector<Slice> missing;
    QVector<Slice> known;
    QVector<QVector<TransactionStore::Range>> fetched;
    for (const Till &till : tills)
        fetched.append(stored ? m_store->fetched(till.streamId)
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
            match(slice, m_store->texts(streamId, slice.from, slice.from + m_slice));
        m_sink.sliceDone(generation, slice.till, false, false, searched);
    }
}

void TransactionWorker::answer(quint64 generation, const Slice &slice, const QVariantMap &answer)
{
    if (!current(generation) || generation != m_working)
        return;
    bool readable = true;
    const QVector<PosText> texts = readAnswer(slice, answer, &readable);
    if (!readable) {
        failed(generation, slice, false);
        return;
    }
    // A cut answer is stored, but its hour is asked again by the next search.
    const bool complete = !answer.value(QStringLiteral("cut")).toBool();
    if (!complete)
        // the fetcher has warned of the cut already
        qInfo().noquote() << QStringLiteral("Receipts of stream %1 from %2: the answer was cut "
                                            "short; the hour will be asked again")
                                 .arg(m_tills.at(slice.till).streamId)
                                 .arg(slice.from);
    if (openStore())
        m_store->addTexts(m_tills.at(slice.till).streamId, slice.from, slice.from + m_slice, texts,
                          QDateTime::currentMSecsSinceEpoch(), complete);
    m_sink.sliceDone(generation, slice.till, false, false, match(slice, texts));
}

QVector<PosText> TransactionWorker::readAnswer(const Slice &slice, const QVariantMap &answer,
                                               bool *readable)
{
    QVector<PosText> texts;
    const QString where =
        QStringLiteral("%1 at %2")
            .arg(m_tills.at(slice.till).name, TransactionModel::timeText(slice.from));
    const QString error = answer.value(QStringLiteral("error")).toString();
    if (!error.isEmpty() || !answer.value(QStringLiteral("hasArr")).toBool()) {
        qWarning().noquote() << "Transaction search: the receipts of" << where
                             << "are not readable, skipped:"
                             << (error.isEmpty() ? QStringLiteral("no \"arr\"") : error);
        *readable = false;
        return texts;
    }
    const QVariantList times = answer.value(QStringLiteral("times")).toList();
    const QStringList strings = answer.value(QStringLiteral("texts")).toStringList();
    const int count = qMin(times.size(), strings.size());
    texts.reserve(count);
    int outside = 0;
    for (int i = 0; i < count; ++i) {
        const double time = times.at(i).toDouble();
        // An answer's texts outside the hour asked for would land in the wrong hour's place.
        if (!(time >= double(slice.from) && time < double(slice.from + m_slice))) {
            ++outside;
            continue;
        }
        texts.append({qint64(time), strings.at(i)});
    }
    if (outside > 0)
        qWarning().noquote() << "Transaction search:" << outside << "receipts of" << where
                             << "lie outside the hour asked for, left out";
    return texts;
}

void TransactionWorker::failed(quint64 generation, const Slice &slice, bool unanswered)
{
    if (!current(generation) || generation != m_working)
        return;
    int searched = 0;
    if (openStore())
        searched = match(slice, m_store->texts(m_tills.at(slice.till).streamId, slice.from,
                                               slice.from + m_slice));
    m_sink.sliceDone(generation, slice.till, true, unanswered, searched);
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
