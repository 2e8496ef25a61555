#pragma once

#include "RecordingIndex.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QVector>

// When to search which range of a stream's recordings (again). Each stream's StreamHistory
// asks it before every chunk search and tells it every answer:
// - a range counts as searched once its answer came; what was then still to be recorded (from
//   the start of the chunk being recorded, else from kSettleMs before the answer, and all that
//   lies after) is asked again as time passes, at most once per kAgainMs per stream;
// - a range whose answer (or failure) came less than kAgainMs ago is never asked again;
// - a range being searched is not asked twice; one unanswered after kTimeoutMs is expired;
// - ranges never asked are rounded out to whole hours, so that a view moving a little at a
//   time asks nothing new until it reaches the next hour.
// Times are in ms since the epoch; `now` is the caller's clock.
class ChunkSearches : public QObject
{
    Q_OBJECT
    // Searches asked and not yet answered, failed or expired.
    Q_PROPERTY(int running READ running NOTIFY runningChanged)

public:
    static constexpr qint64 kAgainMs = 10000;
    static constexpr qint64 kTimeoutMs = 10000;
    static constexpr qint64 kSettleMs = 10000;
    static constexpr qint64 kRoundMs = 3600 * 1000;

    explicit ChunkSearches(QObject *parent = nullptr);
    ~ChunkSearches() override;

    int running() const;

    // The parts of [from, to) of `streamId` to search now, each counted as asked.
    QVector<TimeRange> take(const QString &streamId, qint64 from, qint64 to, qint64 now);
    // A search of [from, to) answered at `now`; `openStart` is the start of the chunk still
    // being recorded in the answer (RecordingIndex::openChunkStart), -1 for none. An answer
    // to a search asked by someone else counts the same.
    void answered(const QString &streamId, qint64 from, qint64 to, qint64 openStart, qint64 now);
    void failed(const QString &streamId, qint64 from, qint64 to, qint64 now);
    // The searches asked kTimeoutMs or more before `now` and still unanswered, forgotten (and
    // not asked again for kAgainMs): the caller says they failed.
    QVector<QPair<QString, TimeRange>> expire(qint64 now);
    // Whether exactly that search is being asked.
    bool isAsking(const QString &streamId, qint64 from, qint64 to) const;
    // Forgets what was answered of a stream, for a reader that holds none of it (a cell added
    // again, a gateway back after a fault): it is asked again as the rule allows, while the
    // searches in flight and the answers and failures of the last kAgainMs still count, so
    // that nothing answered under kAgainMs ago is asked again.
    void forgetAnswered(const QString &streamId);

signals:
    void runningChanged();

private:
    struct Stream;
    struct Asked
    {
        TimeRange range;
        qint64 at = 0;
    };
    void noteRunning(int before);

    QHash<QString, Stream> m_streams;
};
