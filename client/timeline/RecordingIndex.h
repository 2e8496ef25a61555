#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantList>
#include <QVariantMap>
#include <QVector>

#include <vector>

// One recorded chunk as the timeline knows it: times in ms since the epoch, end exclusive.
// `unavailable` is set once the gateway refused the chunk's recording (404, 5xx). `open`: the
// chunk was still being recorded when its search answered; its end follows the clock, `lag`
// behind it (the answer's age when it came, and any difference between the two clocks).
struct RecordedSpan
{
    qint64 start = 0;
    qint64 end = 0;
    qint64 size = 0;
    bool unavailable = false;
    bool open = false;
    qint64 lag = 0;
};

// A time range [from, to) in ms since the epoch.
struct TimeRange
{
    qint64 from = 0;
    qint64 to = 0;
};

// What the timeline knows of each stream's recordings: the chunks that chunk searches have
// answered, the ranges already asked (so a range is asked once), and the ranges whose search
// failed. Chunks are kept in time order whatever order they came in; overlapping chunks are
// kept as they are, but a chunk that was being recorded is replaced by what a later answer
// says of the chunk with the same start. The end of a chunk being recorded grows with the
// clock between searches (every second). The "current" stream is the one the queries below are
// about; the others stay cached for when the operator comes back to them.
class RecordingIndex : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString streamId READ streamId WRITE setStreamId NOTIFY streamIdChanged)
    // First and last recorded moment known for the current stream; -1 when none is known.
    Q_PROPERTY(qint64 firstRecorded READ firstRecorded NOTIFY changed)
    Q_PROPERTY(qint64 lastRecorded READ lastRecorded NOTIFY changed)

public:
    explicit RecordingIndex(QObject *parent = nullptr);
    ~RecordingIndex() override;

    QString streamId() const;
    void setStreamId(const QString &streamId);
    // Where the gateway at `gateway` ("http://host:port") serves the current stream's chunk that
    // starts at `chunkStart`.
    QString recordingUrl(const QString &gateway, qint64 chunkStart) const;
    // The same for a chunk read in several byte ranges or parts: one still being recorded is
    // asked up to the end the index knows, since the gateway answers a growing file to its plain
    // address and the same bytes to every request that names the end.
    QString readingUrl(const QString &gateway, const RecordedSpan &span) const;
    qint64 firstRecorded() const;
    qint64 lastRecorded() const;

    // How near the present the end of an answered chunk lies when it is still being recorded.
    static constexpr qint64 kOpenSlackMs = 3000;
    // The start of the chunk still being recorded among an answer's chunks that came at `now`:
    // the one that ends within kOpenSlackMs of it and that no other chunk follows; -1 for none.
    static qint64 openChunkStart(const QVariantList &chunks, qint64 now);

    // A search of `streamId` over [from, to) answered `chunks` (maps with "start", "end",
    // "size"; malformed entries are skipped). The range counts as known.
    Q_INVOKABLE void addChunks(const QString &streamId, qint64 from, qint64 to,
                               const QVariantList &chunks);
    // A search of `streamId` over [from, to) failed or took too long: drawn as unavailable,
    // asked again by the next missingRanges().
    Q_INVOKABLE void markFailed(const QString &streamId, qint64 from, qint64 to);
    // The gateway refused the recording of the chunk that starts at `chunkStart`.
    Q_INVOKABLE void markUnavailable(const QString &streamId, qint64 chunkStart);
    // Everything known of `streamId` is thrown away: its ranges are missing again.
    void forgetStream(const QString &streamId);
    // The parts of [from, to) of the current stream that no search has answered yet, as
    // [{from, to}], in time order.
    Q_INVOKABLE QVariantList missingRanges(qint64 from, qint64 to) const;

    // The current stream's chunk that holds `t` (the latest starting one when several do), as
    // {start, end, size, unavailable, open}; an empty map when no chunk holds it.
    Q_INVOKABLE QVariantMap chunkAt(qint64 t) const;
    // The chunk holding `t`, or else the first one that starts after `t`; empty when none.
    Q_INVOKABLE QVariantMap chunkFrom(qint64 t) const;
    // The first recorded moment at or after `t`; -1 when none is known.
    Q_INVOKABLE qint64 nextRecordedAfter(qint64 t) const;

    // For drawing: the current stream's chunks and failed ranges that meet [from, to).
    std::vector<RecordedSpan> spansBetween(qint64 from, qint64 to) const;
    QVector<TimeRange> failedBetween(qint64 from, qint64 to) const;

signals:
    void streamIdChanged();
    void changed();

private:
    struct Stream;
    // Moves the ends of the chunks being recorded to the clock.
    void grow();
    const Stream *current() const;
    static int firstCandidate(const Stream &s, qint64 t);

    QString m_streamId;
    QHash<QString, Stream> m_streams;
    QTimer m_growth;
};
