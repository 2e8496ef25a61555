#pragma once

#include "SqliteConnection.h"

#include "PosText.h"

#include <QPair>
#include <QString>
#include <QVector>

#include <functional>

// The till texts already fetched from the gateways, kept in the console's SQLite store
// ("data.sqlite" in the working directory) on a connection of its own, for the transaction
// search: the texts by server, stream and time, and per server and stream the time ranges
// fetched (merged). The server is the event server signed in to (ServerIdentity): stream ids
// are small integers every site reuses, so one site's receipts never answer for another's. A
// range that reached into the last few minutes when it was fetched is not recorded as
// fetched (its texts are kept), so it is asked again next time. Rows older than 30 days go
// when the store opens and at each prune(). The file runs in WAL mode with a busy timeout, so
// the GUI thread's connection to the same file is never held up for long. The tables' form is
// version kSchemaVersion, kept in the table "store_versions" under "pos_texts"; a file of the
// earlier form (texts by stream alone, no version) loses its texts, which belong to no known
// server, when it opens (one log line): they are asked of the gateways again.
// Not thread-safe: create, use and destroy it on one thread (its connection belongs there).
class TransactionStore
{
public:
    using Range = QPair<qint64, qint64>; // [first, second) in ms since the epoch

    static constexpr qint64 kKeepMs = 30LL * 24 * 3600000;
    // A range ending later than this before now is not final.
    static constexpr qint64 kRecentMs = 5 * 60000;
    static constexpr int kSchemaVersion = 2;

    explicit TransactionStore(const QString &fileName = QStringLiteral("data.sqlite"));
    ~TransactionStore();
    TransactionStore(const TransactionStore &) = delete;
    TransactionStore &operator=(const TransactionStore &) = delete;

    // Opens the file, makes the tables, drops rows older than 30 days before `now`.
    bool open(qint64 now);
    bool isOpen() const { return m_open; }
    QString lastError() const { return m_lastError; }

    // Stores what a gateway answered for [from, to) of a stream (texts outside it are left
    // out) and records the range as fetched, up to kRecentMs before `now`; an answer the
    // gateway or the fetcher cut short (`complete` false) is stored but not counted as fetched.
    // One transaction.
    bool addTexts(const QString &server, const QString &streamId, qint64 from, qint64 to,
                  const QVector<PosText> &texts, qint64 now, bool complete = true);
    // Ranges fetched of a server's stream, merged, in order.
    QVector<Range> fetched(const QString &server, const QString &streamId) const;
    // True when the whole of [from, to) of the stream is fetched.
    bool covers(const QString &server, const QString &streamId, qint64 from, qint64 to) const;
    // Stored texts of a server's stream in [from, to), oldest first.
    QVector<PosText> texts(const QString &server, const QString &streamId, qint64 from,
                           qint64 to) const;
    // Drops texts and ranges older than kKeepMs before `now`; returns the texts dropped.
    int prune(qint64 now);

private:
    bool makeTables();
    bool migrate();
    bool exec(const QString &statement);
    bool fail(const QString &what, const QString &error);
    bool recordRange(const QString &server, const QString &streamId, qint64 from, qint64 to);

    SqliteConnection m_connection;
    QString m_fileName;
    QString m_lastError;
    bool m_open = false;
};
