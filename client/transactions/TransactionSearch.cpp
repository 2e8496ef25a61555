#include "TransactionSearch.h"

#include "PosDataFetcher.h"
#include "ServerIdentity.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QQmlEngine>
#include <QUrl>

#include <algorithm>

namespace {

void registerTransactionSearch()
{
    qmlRegisterType<TransactionSearch>("Native", 1, 0, "TransactionSearch");
    qmlRegisterUncreatableType<TransactionModel>("Native", 1, 0, "TransactionModel",
                                                 QStringLiteral("Given by TransactionSearch"));
}

// ms since the epoch from a number or a Date; -1 for anything else.
qint64 toMs(const QVariant &value)
{
    if (value.canConvert<QDateTime>() && value.userType() == QMetaType::QDateTime)
        return value.toDateTime().toMSecsSinceEpoch();
    bool ok = false;
    const double ms = value.toDouble(&ok);
    return ok && ms >= 0 && ms < 1e15 ? qint64(ms) : -1;
}

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerTransactionSearch)

TransactionSearch::TransactionSearch(QObject *parent)
    : QObject(parent)
    , m_results(new TransactionModel(this))
{
    qRegisterMetaType<TransactionModel *>();
    m_worker = new TransactionWorker(makeSink(), kSlice, kBatchMs);
    m_worker->moveToThread(&m_thread);
    // The worker, its store and its connection end on their own thread, as it stops.
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread.setObjectName(QStringLiteral("transactions"));
    m_thread.start();
    for (Runner &runner : m_runners) {
        runner.pager = new PosTextPager(this);
        runner.pager->setTimeout(m_timeout);
        // A receipt is searched and exported whole, however long.
        runner.pager->setMaxLines(PosDataFetcher::kWholeTextLines);
        Runner *at = &runner;
        connect(runner.pager, &PosTextPager::finished, this,
                [this, at](const PosTextPager::Outcome &outcome) { handleAnswer(*at, outcome); });
    }
}

TransactionSearch::~TransactionSearch()
{
    m_worker->setGeneration(++m_generation);
    m_thread.quit();
    m_thread.wait();
}

// The worker calls these on its thread: each posts to this object's thread.
TransactionWorker::Sink TransactionSearch::makeSink()
{
    TransactionWorker::Sink sink;
    sink.planned = [this](quint64 generation, const QVector<TransactionWorker::Slice> &missing,
                          int total) {
        QMetaObject::invokeMethod(
            this,
            [=] {
                if (generation == m_generation)
                    planned(missing, total);
            },
            Qt::QueuedConnection);
    };
    sink.found = [this](quint64 generation, const QVector<TransactionModel::Row> &rows) {
        QMetaObject::invokeMethod(
            this,
            [=] {
                if (generation == m_generation)
                    addRows(rows);
            },
            Qt::QueuedConnection);
    };
    sink.sliceDone = [this](quint64 generation, int till, bool failed, bool unanswered,
                            int searched) {
        QMetaObject::invokeMethod(
            this,
            [=] {
                if (generation == m_generation)
                    sliceDone(till, failed, unanswered, searched);
            },
            Qt::QueuedConnection);
    };
    sink.finished = [this](quint64 generation) {
        QMetaObject::invokeMethod(
            this,
            [=] {
                if (generation == m_generation)
                    finish();
            },
            Qt::QueuedConnection);
    };
    return sink;
}

double TransactionSearch::progress() const
{
    if (!m_planned)
        return 0;
    return m_slices > 0 ? double(m_slicesDone) / m_slices : 1.0;
}

int TransactionSearch::resultCount() const
{
    return m_results->count() + m_results->dropped();
}

void TransactionSearch::setTimeout(int milliseconds)
{
    if (milliseconds == m_timeout || milliseconds <= 0)
        return;
    m_timeout = milliseconds;
    for (Runner &runner : m_runners)
        runner.pager->setTimeout(milliseconds);
    emit timeoutChanged();
}

void TransactionSearch::setServer(const QString &server)
{
    if (server == m_server)
        return;
    m_server = server;
    emit serverChanged();
}

void TransactionSearch::start(const QVariantList &tills, const QVariant &from, const QVariant &to,
                              const QString &query, const QVariant &minAmount)
{
    stop();
    m_results->clear();
    m_tills.clear();
    QVector<TransactionWorker::Till> workerTills;
    for (const QVariant &entry : tills) {
        const QVariantMap map = entry.toMap();
        Till till{map.value(QStringLiteral("streamId")).toString(),
                  map.value(QStringLiteral("name")).toString(),
                  map.value(QStringLiteral("gateway")).toString()};
        if (till.streamId.isEmpty())
            continue;
        if (till.name.isEmpty())
            till.name = till.streamId;
        m_tills.append(till);
        workerTills.append({till.streamId, till.name});
    }
    m_from = toMs(from);
    m_to = toMs(to);
    m_searchedServer = m_server.isEmpty() ? ServerIdentity::current() : m_server;
    m_queryText = query;
    m_minimumText = minAmount.toString();
    m_lastTills = tills;
    m_minimum = minAmount;
    m_query = ReceiptQuery(query, minAmount);
    m_problems.clear();
    m_firstResultMs = -1;
    m_clock.start();
    m_worker->setGeneration(m_generation);
    setOffline(false);
    emit problemsChanged();
    emit resultCountChanged();
    emit progressChanged();
    setRunning(true);
    if (m_from < 0 || m_to <= m_from || m_tills.isEmpty()) {
        m_problems << tr("Nothing to search: no till or no time range");
        emit problemsChanged();
        planned({}, 0);
        return;
    }
    const quint64 generation = m_generation;
    const ReceiptQuery parsed = m_query;
    QMetaObject::invokeMethod(
        m_worker,
        [worker = m_worker, generation, server = m_searchedServer, workerTills, from = m_from,
         to = m_to, parsed] { worker->plan(generation, server, workerTills, from, to, parsed); },
        Qt::QueuedConnection);
}

void TransactionSearch::cancel()
{
    if (!m_running)
        return;
    stop();
    qInfo().noquote() << QStringLiteral("Transaction search cancelled after %1 ms, %2 results")
                             .arg(m_clock.elapsed())
                             .arg(resultCount());
    setRunning(false);
}

void TransactionSearch::sortResults(int column, int order)
{
    const bool cut = m_results->dropped() > 0;
    m_results->sort(column,
                    order == Qt::DescendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder);
    if (!cut)
        return;
    qInfo().noquote() << QStringLiteral("Transaction search: the results hold the first %1 of %2; "
                                        "searched again for the first in the new order")
                             .arg(m_results->count())
                             .arg(resultCount());
    start(m_lastTills, m_from, m_to, m_queryText, m_minimum);
}

QVector<TransactionWorker::Till> TransactionSearch::searchedTills() const
{
    QVector<TransactionWorker::Till> tills;
    for (const Till &till : m_tills)
        tills.append({till.streamId, till.name});
    return tills;
}

// Ends the work of the search in progress: what it still sends is dropped.
void TransactionSearch::stop()
{
    m_worker->setGeneration(++m_generation);
    for (Runner &runner : m_runners) {
        runner.pager->cancel();
        runner.active = false;
    }
    m_queue.clear();
    m_planned = false;
    m_slices = m_slicesDone = m_fetched = m_searched = 0;
}

void TransactionSearch::planned(const QVector<TransactionWorker::Slice> &missing, int total)
{
    m_planned = true;
    m_slices = total;
    m_queue = missing;
    m_fetched = missing.size();
    emit progressChanged();
    startNext();
    if (m_slices == 0)
        sliceDone(-1, false, false, 0);
}

// One request at a time: a fetcher's first request sets up its network access, which may take
// a while; the others start from the event loop, each in an event of its own.
void TransactionSearch::startNext()
{
    const auto idle = std::find_if(m_runners.begin(), m_runners.end(),
                                   [](const Runner &runner) { return !runner.active; });
    if (m_queue.isEmpty() || idle == m_runners.end())
        return;
    idle->slice = m_queue.takeFirst();
    idle->active = true;
    const Till &till = m_tills.at(idle->slice.till);
    idle->pager->fetch(till.gateway, till.streamId, idle->slice.from, idle->slice.from + kSlice);
    const quint64 generation = m_generation;
    QMetaObject::invokeMethod(
        this,
        [this, generation] {
            if (generation == m_generation)
                startNext();
        },
        Qt::QueuedConnection);
}

void TransactionSearch::handleAnswer(Runner &runner, const PosTextPager::Outcome &outcome)
{
    if (!runner.active)
        return;
    runner.active = false;
    const quint64 generation = m_generation;
    const TransactionWorker::Slice slice = runner.slice;
    QMetaObject::invokeMethod(
        m_worker,
        [worker = m_worker, generation, slice, outcome] {
            worker->answer(generation, slice, outcome);
        },
        Qt::QueuedConnection);
    startNext();
}

void TransactionSearch::sliceDone(int till, bool failed, bool unanswered, int searched)
{
    if (till >= 0) {
        ++m_slicesDone;
        m_searched += searched;
        if (failed) {
            ++m_tills[till].failed;
            updateProblems();
        }
        if (unanswered)
            setOffline(true);
        emit progressChanged();
    }
    if (m_slicesDone < m_slices)
        return;
    const quint64 generation = m_generation;
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker, generation] { worker->finish(generation); },
        Qt::QueuedConnection);
}

void TransactionSearch::addRows(const QVector<TransactionModel::Row> &rows)
{
    if (m_firstResultMs < 0)
        m_firstResultMs = m_clock.elapsed();
    m_results->append(rows);
    emit resultCountChanged();
}

void TransactionSearch::finish()
{
    m_worker->setGeneration(++m_generation);
    QString tills;
    for (const Till &till : qAsConst(m_tills))
        tills += (tills.isEmpty() ? QString() : QStringLiteral(", ")) + till.name;
    qInfo().noquote()
        << QStringLiteral("Transaction search of %1 from %2 to %3 for \"%4\"%5: %6 results of %7 "
                          "receipts in %8 ms (%9 of %10 hours asked of gateways, %11 problems)")
               .arg(tills, TransactionModel::timeText(m_from), TransactionModel::timeText(m_to),
                    m_queryText,
                    m_minimumText.isEmpty() ? QString()
                                            : QStringLiteral(", at least %1").arg(m_minimumText))
               .arg(resultCount())
               .arg(m_searched)
               .arg(m_clock.elapsed())
               .arg(m_fetched)
               .arg(m_slices)
               .arg(m_problems.size());
    setRunning(false);
    emit finished();
}

void TransactionSearch::updateProblems()
{
    QStringList problems;
    for (const Till &till : qAsConst(m_tills)) {
        if (till.failed > 0)
            problems
                << (till.failed == 1
                        ? tr("%1: 1 hour could not be searched").arg(till.name)
                        : tr("%1: %2 hours could not be searched").arg(till.name).arg(till.failed));
    }
    if (problems == m_problems)
        return;
    m_problems = problems;
    emit problemsChanged();
}

void TransactionSearch::setRunning(bool running)
{
    if (running == m_running)
        return;
    m_running = running;
    emit runningChanged();
}

void TransactionSearch::setOffline(bool offline)
{
    if (offline == m_offline)
        return;
    m_offline = offline;
    emit offlineChanged();
}
