#pragma once

#include "PosTextPager.h"
#include "ReceiptQuery.h"
#include "TransactionModel.h"
#include "TransactionWorker.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QThread>
#include <QVariant>
#include <QVector>

#include <array>

class PosTextPager;

// Searches the receipts (channel texts) of tills over a time range for a ReceiptQuery. The
// hours of the range already in the TransactionStore are matched from there; the others are
// fetched from each till's gateway ("pos-data") in one-hour slices, each through every capped
// answer until complete (PosTextPager), at most four slices at a time over all tills, then
// stored and matched as they arrive. The store keeps them under the event server they belong
// to (`server`), so another site's tills of the same stream ids are never answered from it. Storing
// and matching run on a thread of the search's own; found receipts are added to `results` in
// batches (about every 100 ms) while the search runs. A slice whose gateway does not answer within
// `timeout`, or answers something unreadable, is matched from what the store holds and counted in
// `problems`; an answer's receipts outside its hour are left out (one log line).
class TransactionSearch : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool running READ running NOTIFY runningChanged)
    // Share of the slices (hours × tills) done, 0..1.
    Q_PROPERTY(double progress READ progress NOTIFY progressChanged)
    Q_PROPERTY(int receiptsSearched READ receiptsSearched NOTIFY progressChanged)
    Q_PROPERTY(int resultCount READ resultCount NOTIFY resultCountChanged)
    // One text per till with trouble, e.g. "Till 1: 3 hours could not be searched".
    Q_PROPERTY(QStringList problems READ problems NOTIFY problemsChanged)
    // True when some till's gateway did not answer and its stored texts were used instead.
    Q_PROPERTY(bool offline READ offline NOTIFY offlineChanged)
    Q_PROPERTY(TransactionModel *results READ results CONSTANT)
    // How long, in ms, one answer may take before its slice counts as not answered.
    Q_PROPERTY(int timeout READ timeout WRITE setTimeout NOTIFY timeoutChanged)
    // The event server the tills belong to (ServerIdentity); empty: the one signed in to when
    // a search starts.
    Q_PROPERTY(QString server READ server WRITE setServer NOTIFY serverChanged)

public:
    static constexpr qint64 kSlice = 3600000;
    static constexpr int kMaxRequests = 4;
    static constexpr int kDefaultTimeout = 10000;
    static constexpr int kBatchMs = 100;

    explicit TransactionSearch(QObject *parent = nullptr);
    ~TransactionSearch() override;

    bool running() const { return m_running; }
    double progress() const;
    int receiptsSearched() const { return m_searched; }
    int resultCount() const;
    QStringList problems() const { return m_problems; }
    bool offline() const { return m_offline; }
    TransactionModel *results() const { return m_results; }
    int timeout() const { return m_timeout; }
    void setTimeout(int milliseconds);
    QString server() const { return m_server; }
    void setServer(const QString &server);

    // `tills`: [{streamId, name, gateway: "http://host:port"}]; `from`, `to`: ms since the
    // epoch or Date, the range [from, to); `query`: as typed (see ReceiptQuery); `minAmount`:
    // a number or its text, or nothing for no minimum. Ends the search in progress, clears
    // `results`, `problems` and `offline`.
    Q_INVOKABLE void start(const QVariantList &tills, const QVariant &from, const QVariant &to,
                           const QString &query, const QVariant &minAmount = QVariant());
    // Ends the search in progress; the results found so far stay.
    Q_INVOKABLE void cancel();
    // Sorts the results. When they hold only the first rows of what was found (their limit
    // reached), the last search runs again, from the store, for the first rows in that order.
    Q_INVOKABLE void sortResults(int column, int order);

    // The last search started (for an export of everything it found).
    QVector<TransactionWorker::Till> searchedTills() const;
    qint64 searchedFrom() const { return m_from; }
    qint64 searchedTo() const { return m_to; }
    QString searchedServer() const { return m_searchedServer; }
    ReceiptQuery searchedQuery() const { return m_query; }

signals:
    void runningChanged();
    void progressChanged();
    void resultCountChanged();
    void problemsChanged();
    void offlineChanged();
    void timeoutChanged();
    void serverChanged();
    // A search ended by itself (not cancelled).
    void finished();

private:
    struct Till
    {
        QString streamId;
        QString name;
        QString gateway;
        int failed = 0; // slices that could not be searched
    };
    struct Runner
    {
        PosTextPager *pager = nullptr;
        bool active = false;
        TransactionWorker::Slice slice;
    };

    TransactionWorker::Sink makeSink();
    void stop();
    void planned(const QVector<TransactionWorker::Slice> &missing, int total);
    void startNext();
    void handleAnswer(Runner &runner, const PosTextPager::Outcome &outcome);
    void sliceDone(int till, bool failed, bool unanswered, int searched);
    void addRows(const QVector<TransactionModel::Row> &rows);
    void finish();
    void updateProblems();
    void setRunning(bool running);
    void setOffline(bool offline);

    TransactionModel *m_results = nullptr;
    QThread m_thread;
    TransactionWorker *m_worker = nullptr;
    std::array<Runner, kMaxRequests> m_runners;
    QVector<Till> m_tills;
    QVector<TransactionWorker::Slice> m_queue;
    qint64 m_from = 0;
    qint64 m_to = 0;
    quint64 m_generation = 0;
    bool m_running = false;
    bool m_planned = false;
    int m_slices = 0;
    int m_slicesDone = 0;
    int m_fetched = 0;
    int m_searched = 0;
    QStringList m_problems;
    bool m_offline = false;
    int m_timeout = kDefaultTimeout;
    QString m_server;
    QString m_searchedServer;
    QElapsedTimer m_clock;
    qint64 m_firstResultMs = -1;
    QString m_queryText;
    QString m_minimumText;
    QVariantList m_lastTills;
    QVariant m_minimum;
    ReceiptQuery m_query;
};
