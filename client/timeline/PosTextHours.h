#pragma once

#include "PosText.h"

#include <QHash>
#include <QObject>
#include <QPair>
#include <QSet>
#include <QString>
#include <QVector>

#include <list>

// The channel texts of recorded streams by hour, shared by the console's text caches and
// bounded: once the texts held take more than the limit, the hours used least recently are
// dropped (and fetched again when next shown). Hours are kept under a key that names the
// server and the stream (PosTextCache::keyOf), so two sites' streams of the same id never mix.
// The console's store, shared(), takes its limit from the setting [Receipts] cacheMB (MB,
// default 64). GUI thread only.
class PosTextHours : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 kHour = 3600000;
    static constexpr int kDefaultLimitMb = 64;

    struct Hour
    {
        QVector<PosText> texts; // in time order
        qint64 fetchedAt = -1;  // wall clock of the fetch that brought it whole, -1 never
        bool final = false;     // complete, and ended over a minute before it was fetched
        qint64 failedAt = -1;   // wall clock of its last failure, -1 none since it came
        qint64 bytes = 0;       // what its texts take, as counted against the limit
    };

    explicit PosTextHours(qint64 limitBytes = kDefaultLimitMb * 1024LL * 1024,
                          QObject *parent = nullptr);
    ~PosTextHours() override;

    // The console's store, made at its first use.
    static PosTextHours *shared();

    qint64 limitBytes() const { return m_limit; }
    void setLimitBytes(qint64 bytes);
    // What the hours held take now.
    qint64 bytes() const { return m_bytes; }
    int hourCount() const { return int(m_order.size()); }

    // The hour starting at `hour` of `key`, or null; marks it used.
    const Hour *find(const QString &key, qint64 hour);
    // Replaces the texts of [from, to) inside one hour with `texts` (those outside left out);
    // `whole`: the hour was fetched whole at `fetchedAt`, complete; `final` as Hour::final.
    void store(const QString &key, qint64 hour, qint64 from, qint64 to,
               const QVector<PosText> &texts, qint64 fetchedAt, bool whole, bool final);
    // The hour could not be fetched (whole) at `at`: its state says so; its texts stay.
    void markFailed(const QString &key, qint64 hour, qint64 at);
    // The texts of `key` in [from, to), in time order; marks their hours used.
    QVector<PosText> between(const QString &key, qint64 from, qint64 to);
    // True when an hour of `key` meeting [from, to) failed last time it was asked.
    bool failedBetween(const QString &key, qint64 from, qint64 to) const;

    // What a text takes in memory, as counted against the limit.
    static qint64 sizeOf(const PosText &text);

signals:
    // Texts or states of the hours of `key` changed (also when some were dropped).
    void changed(const QString &key);

private:
    using Id = QPair<QString, qint64>;
    struct Entry
    {
        Id id;
        Hour hour;
    };

    Hour &entry(const QString &key, qint64 hour);
    void trim();

    // Most recently used first.
    std::list<Entry> m_order;
    QHash<Id, std::list<Entry>::iterator> m_index;
    // Hours held per key, for the range scans of failedBetween.
    QHash<QString, int> m_keys;
    qint64 m_limit;
    qint64 m_bytes = 0;
};
