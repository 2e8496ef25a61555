#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVector>

#include <array>

class PosDataFetcher;

// One channel text (a till's receipt) and the moment it was sent, in ms since the epoch.
struct PosText
{
    qint64 time = 0;
    QString text;
};

// The channel texts of recorded streams, fetched lazily from their gateway's "pos-data" in
// slices of one hour and cached per stream, for the timeline's ticks and for the overlay of
// recorded playback. At most two slices are fetched at a time; a slice that failed or timed
// out is asked again by a later request.
class PosTextCache : public QObject
{
    Q_OBJECT
    // The stream the queries below are about, and its gateway ("http://host:port").
    Q_PROPERTY(QString streamId READ streamId NOTIFY sourceChanged)
    Q_PROPERTY(QString gateway READ gateway NOTIFY sourceChanged)
    // True while slices are being fetched or wait to be.
    Q_PROPERTY(bool busy READ busy NOTIFY busyChanged)
    // How long, in ms, a slice's fetch may take before it counts as failed.
    Q_PROPERTY(int timeout READ timeout WRITE setTimeout NOTIFY timeoutChanged)

public:
    static constexpr qint64 kSlice = 3600000;
    static constexpr int kDefaultTimeout = 10000;
    // A failed slice is asked again no sooner than this, so a dead gateway is not hammered
    // while the operator zooms.
    static constexpr int kDefaultRetryDelay = 10000;
    // A slice that reached into the last minute when it was fetched is asked again after
    // this, so the receipts published since appear.
    static constexpr int kDefaultRefreshDelay = 30000;

    explicit PosTextCache(QObject *parent = nullptr);
    ~PosTextCache() override;

    QString streamId() const;
    QString gateway() const;
    bool busy() const;
    int timeout() const { return m_timeout; }
    void setTimeout(int milliseconds);
    void setRetryDelays(int failedMs, int recentMs);

    Q_INVOKABLE void setSource(const QString &streamId, const QString &gateway);
    // Fetches the slices of [from, to) of the current stream that are not cached yet (and
    // again those that failed or were recent), those nearest the middle first; the ones no
    // longer asked for by the latest request are dropped from the queue.
    Q_INVOKABLE void request(qint64 from, qint64 to);
    // The current stream's texts in [from, to), in time order, as [{time, text}].
    Q_INVOKABLE QVariantList textsBetween(qint64 from, qint64 to) const;
    // True when a slice of [from, to) of the current stream could not be fetched.
    Q_INVOKABLE bool failedBetween(qint64 from, qint64 to) const;

    // For drawing ticks: the current stream's text times in [from, to), in order.
    QVector<qint64> timesBetween(qint64 from, qint64 to) const;
    // Texts of `streamId` over [from, to) known from elsewhere (a slice answered, a store):
    // the range counts as fetched.
    void addTexts(const QString &streamId, qint64 from, qint64 to, const QVector<PosText> &texts);

signals:
    void sourceChanged();
    void busyChanged();
    void timeoutChanged();
    // Texts or failures of the current stream changed.
    void changed();

private:
    struct Slice
    {
        qint64 fetchedAt = -1; // wall clock of the fetch that brought it, -1 never
        bool final = false;    // ended over a minute before it was fetched
        qint64 failedAt = -1;  // wall clock of its last failure, -1 none since it came
    };
    // One of the two fetches that may run at a time.
    struct Runner
    {
        PosDataFetcher *fetcher = nullptr;
        bool active = false;
        QString streamId;
        qint64 from = 0;
        qint64 startedAt = 0;
    };

    const QVector<PosText> *currentTexts() const;
    bool wanted(qint64 from, qint64 now) const;
    void startNext();
    void start(Runner &runner, qint64 from);
    void handleAnswer(Runner &runner, const QVariantMap &answer);
    void sliceFailed(const Runner &runner, const QString &reason);
    void sliceFetched(const Runner &runner, const QVariantMap &answer);
    void updateBusy();
    void markFetched(const QString &streamId, qint64 from, qint64 to);

    QString m_streamId;
    QString m_gateway;
    QHash<QString, QVector<PosText>> m_texts;      // by stream, in time order
    QHash<QString, QHash<qint64, Slice>> m_slices; // by stream, then slice start
    QVector<qint64> m_queue; // slice starts of the current stream, the first asked first
    std::array<Runner, 2> m_runners;
    bool m_busy = false;
    int m_timeout = kDefaultTimeout;
    int m_retryDelay = kDefaultRetryDelay;
    int m_refreshDelay = kDefaultRefreshDelay;
};
