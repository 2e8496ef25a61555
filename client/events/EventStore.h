#pragma once

#include "SqliteConnection.h"

#include "EventRecord.h"

#include <QString>
#include <QVariantList>

#include <functional>

// The events in the console's SQLite store ("data.sqlite" in the working directory), on a
// connection of its own: at most kMaxEvents of them and none older than kKeepMs. WAL mode and
// a busy timeout keep the other connections to the file from waiting long.
// Not thread-safe: create, use and destroy it on one thread (its connection belongs there).
class EventStore
{
public:
    static constexpr int kMaxEvents = 10000;
    static constexpr qint64 kKeepMs = 30LL * 24 * 3600000;

    explicit EventStore(const QString &fileName = QStringLiteral("data.sqlite"));
    ~EventStore();
    EventStore(const EventStore &) = delete;
    EventStore &operator=(const EventStore &) = delete;

    // Opens the file, makes the table, drops what is over the limits at `now`.
    bool open(qint64 now);
    bool isOpen() const { return m_open; }

    // Stores the events (a key already stored keeps its row) and drops the oldest beyond
    // kMaxEvents; one transaction.
    bool add(const EventRecords &events);
    // Marks the events of these keys acknowledged, those not yet acknowledged only.
    bool acknowledge(const QVector<qint64> &keys, const QString &by, qint64 when);
    // Sets the source's name and path of the events of these keys (named once the tree knew
    // them).
    bool rename(const EventRecords &events);
    // The kept events, newest (highest key) first.
    EventRecords load() const;
    // Drops events older than kKeepMs before `now` and all but the newest kMaxEvents.
    bool prune(qint64 now);

private:
    bool exec(const QString &statement);
    // Runs `statement` once per row with the row's values bound, then `after` (if any), in one
    // transaction; what failed is logged under `what`.
    bool writeRows(const char *what, const QString &statement, int rows,
                   const std::function<QVariantList(int)> &valuesOf,
                   const QString &after = QString());
    bool fail(const QString &what, const QString &error);

    SqliteConnection m_connection;
    QString m_fileName;
    bool m_open = false;
};
