#include "TransactionExport.h"

#include "TransactionSearch.h"
#include "TransactionStore.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QQmlEngine>
#include <QSaveFile>
#include <QUrl>

#include <algorithm>

namespace {

void registerTransactionExport()
{
    qmlRegisterType<TransactionExport>("Native", 1, 0, "TransactionExport");
}

constexpr qint64 kSlice = 3600000;

// Where a receipt is in the store: its till, its time and which of the texts of that moment.
struct Key
{
    TransactionModel::Row row; // without its text
    int till = 0;
    int nth = 0;
};

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerTransactionExport)

TransactionExport::TransactionExport(QObject *parent)
    : QObject(parent)
{}

TransactionExport::~TransactionExport()
{
    if (m_thread) {
        m_cancelled->store(true);
        m_thread->wait();
        delete m_thread;
    }
}

bool TransactionExport::start(const QString &path, TransactionSearch *search)
{
    if (!search)
        return false;
    Job job;
    const QUrl url(path);
    job.path = url.isLocalFile() ? url.toLocalFile() : path;
    for (const auto &till : search->searchedTills())
        job.tills.append({till.streamId, till.name});
    job.server = search->searchedServer();
    job.from = search->searchedFrom();
    job.to = search->searchedTo();
    job.query = search->searchedQuery();
    job.column = search->results()->sortColumn();
    job.order = search->results()->sortOrder();
    return start(job);
}

bool TransactionExport::start(const Job &job)
{
    if (m_thread)
        return false;
    m_path = job.path;
    m_rows = 0;
    m_progress = 0;
    m_cancelled = std::make_shared<std::atomic<bool>>(false);
    const quint64 generation = ++m_generation;
    auto cancelled = m_cancelled;
    m_thread = QThread::create([this, job, cancelled, generation] {
        QString error;
        // posts to this object's thread; dropped once another export began
        const auto progress = [this, generation](double share, int rows) {
            QMetaObject::invokeMethod(
                this,
                [this, generation, share, rows] {
                    if (generation != m_generation || !m_thread)
                        return;
                    m_progress = share;
                    m_rows = rows;
                    emit progressChanged();
                },
                Qt::QueuedConnection);
        };
        const bool ok = run(job, *cancelled, progress, &error);
        QMetaObject::invokeMethod(
            this,
            [this, generation, ok, error] {
                if (generation == m_generation)
                    done(ok, error);
            },
            Qt::QueuedConnection);
    });
    m_thread->setObjectName(QStringLiteral("csv-export"));
    m_thread->start();
    emit runningChanged();
    emit progressChanged();
    return true;
}

void TransactionExport::cancel()
{
    if (m_cancelled)
        m_cancelled->store(true);
}

void TransactionExport::done(bool ok, const QString &error)
{
    if (!m_thread)
        return;
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    if (ok) {
        m_progress = 1;
        qInfo().noquote()
            << QStringLiteral("Transactions exported: %1 rows to %2").arg(m_rows).arg(m_path);
    } else {
        qWarning().noquote() << "Exporting the transactions failed:" << error;
    }
    emit progressChanged();
    emit runningChanged();
    emit finished(ok, m_path, error);
}

bool TransactionExport::run(const Job &job, const std::atomic<bool> &cancelled,
                            const std::function<void(double, int)> &progress, QString *error)
{
    const QString cancelledText = tr("Cancelled");
    if (job.path.isEmpty()) {
        *error = tr("No file name given");
        return false;
    }
    TransactionStore store(job.storeFile);
    if (!store.open(QDateTime::currentMSecsSinceEpoch())) {
        *error = tr("the local store could not be opened: %1").arg(store.lastError());
        return false;
    }
    // QSaveFile writes beside the target and renames over it only once all is written; a
    // cancelled one removes what it wrote.
    QSaveFile out(job.path);
    if (!out.open(QIODevice::WriteOnly)) {
        *error = tr("%1 could not be written: %2").arg(job.path, out.errorString());
        return false;
    }
    const auto less = TransactionModel::lessThan(job.column, job.order);
    QByteArray chunk = TransactionModel::csvHeader();
    int written = 0;
    const auto flush = [&](bool always) {
        if (!always && chunk.size() < (1 << 20))
            return true;
        if (out.write(chunk) != chunk.size())
            return false;
        chunk.clear();
        return true;
    };
    // after each hour, and every few thousand rows of the second pass
    const auto report = [&](double share) { progress(share, written); };
    const auto fail = [&](const QString &why) {
        out.cancelWriting();
        *error = why;
        return false;
    };
    const qint64 first = job.from - ((job.from % kSlice) + kSlice) % kSlice;
    const int hours = int((job.to - first + kSlice - 1) / kSlice);
    const auto matching = [&](int hour, QVector<Key> *keys, bool withText) {
        const qint64 from = first + hour * kSlice;
        for (int t = 0; t < job.tills.size(); ++t) {
            const Till &till = job.tills.at(t);
            const QVector<PosText> texts = store.texts(
                job.server, till.streamId, qMax(from, job.from), qMin(from + kSlice, job.to));
            qint64 last = -1;
            int nth = 0;
            for (const PosText &text : texts) {
                nth = text.time == last ? nth + 1 : 0;
                last = text.time;
                if (!job.query.matches(text.text))
                    continue;
                Key key{TransactionModel::rowOf(text.time, till.name, till.streamId, text.text), t,
                        nth};
                if (!withText) {
                    // only what orders the rows stays: a million receipts fit in memory
                    key.row.text.clear();
                    if (job.column != TransactionModel::FirstLineColumn)
                        key.row.firstLine.clear();
                }
                keys->append(key);
            }
        }
    };
    if (job.column == TransactionModel::TimeColumn) {
        // In time order the hours follow one another: one hour's receipts in memory at a time.
        const bool descending = job.order == Qt::DescendingOrder;
        for (int i = 0; i < hours; ++i) {
            if (cancelled.load())
                return fail(cancelledText);
            QVector<Key> keys;
            matching(descending ? hours - 1 - i : i, &keys, true);
            std::stable_sort(keys.begin(), keys.end(),
                             [&less](const Key &a, const Key &b) { return less(a.row, b.row); });
            for (const Key &key : qAsConst(keys))
                chunk += TransactionModel::csvLine(key.row);
            written += keys.size();
            if (!flush(false))
                return fail(tr("%1 could not be written: %2").arg(job.path, out.errorString()));
            report(double(i + 1) / hours);
        }
    } else {
        // Any other order: the order keys of every receipt first, then each text read again.
        QVector<Key> keys;
        for (int i = 0; i < hours; ++i) {
            if (cancelled.load())
                return fail(cancelledText);
            matching(i, &keys, false);
            report(0.5 * (i + 1) / hours);
        }
        std::stable_sort(keys.begin(), keys.end(),
                         [&less](const Key &a, const Key &b) { return less(a.row, b.row); });
        for (Key &key : keys) {
            if ((written & 255) == 0 && cancelled.load())
                return fail(cancelledText);
            const QVector<PosText> texts = store.texts(job.server, job.tills.at(key.till).streamId,
                                                       key.row.time, key.row.time + 1);
            if (key.nth < texts.size())
                key.row.text = texts.at(key.nth).text;
            chunk += TransactionModel::csvLine(key.row);
            key.row.text.clear();
            ++written;
            if (!flush(false))
                return fail(tr("%1 could not be written: %2").arg(job.path, out.errorString()));
            if ((written & 4095) == 0)
                report(0.5 + 0.5 * written / qMax(1, keys.size()));
        }
    }
    if (cancelled.load())
        return fail(cancelledText);
    if (!flush(true) || !out.commit()) {
        *error = tr("%1 could not be written: %2").arg(job.path, out.errorString());
        return false;
    }
    progress(1.0, written);
    return true;
}
