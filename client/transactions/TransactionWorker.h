#pragma once

#include "PosTextPager.h"
#include "ReceiptQuery.h"
#include "TransactionModel.h"
#include "TransactionStore.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <QVariantMap>
#include <QVector>

#include <atomic>
#include <functional>
#include <memory>

// The part of a TransactionSearch that runs on its own thread: the store, the matching, and
// the batching of found receipts. Its methods run on that thread (called through
// QMetaObject::invokeMethod); what it finds goes back through the Sink's functions, which the
// search makes post to its own thread. Work of a search that has since been replaced or
// cancelled (an older generation) is dropped.
class TransactionWorker : public QObject
{
    Q_OBJECT

public:
    struct Till
    {
        QString streamId;
        QString name;
    };
    struct Slice
    {
        int till = 0;
        qint64 from = 0;
    };
    struct Sink
    {
        // The slices to fetch; the others (`total` in all) are matched from the store.
        std::function<void(quint64 generation, const QVector<Slice> &missing, int total)> planned;
        std::function<void(quint64 generation, const QVector<TransactionModel::Row> &rows)> found;
        std::function<void(quint64 generation, int till, bool failed, bool unanswered,
                           int searched)>
            sliceDone;
        std::function<void(quint64 generation)> finished;
    };

    TransactionWorker(const Sink &sink, qint64 slice, int batchMs);
    ~TransactionWorker() override;

    // Any thread: work of other generations is dropped from now on.
    void setGeneration(quint64 generation) { m_generation.store(generation); }

    // `server`: the event server the tills belong to (ServerIdentity), what the store keeps
    // their texts under.
    void plan(quint64 generation, const QString &server, const QVector<Till> &tills, qint64 from,
              qint64 to, const ReceiptQuery &query);
    // A gateway's texts of a slice, every answer of it (PosTextPager) and stored: those of
    // [slice) are matched. A slice not complete is asked again by the next search; one whose
    // answer failed (`unanswered`: never came) is matched from all the store holds of it.
    void answer(quint64 generation, const Slice &slice, const PosTextPager::Outcome &outcome);
    // Sends what is left and tidies the store.
    void finish(quint64 generation);

private:
    bool current(quint64 generation) const { return generation == m_generation.load(); }
    bool openStore();
    int match(const Slice &slice, const QVector<PosText> &texts);
    void flush();

    Sink m_sink;
    const qint64 m_slice;
    std::atomic<quint64> m_generation{0};
    quint64 m_working = 0; // the generation the fields below are about
    std::unique_ptr<TransactionStore> m_store;
    bool m_storeTried = false;
    QString m_server;
    QVector<Till> m_tills;
    qint64 m_from = 0;
    qint64 m_to = 0;
    ReceiptQuery m_query;
    QVector<TransactionModel::Row> m_pending;
    QTimer m_flushTimer{this}; // a child: it moves to the worker's thread with it
    QElapsedTimer m_sinceFlush;
    bool m_sentAny = false; // in the current generation
};
