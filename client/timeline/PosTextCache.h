#pragma once

#include "PosText.h"
#include "PosTextPager.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantList>
#include <QVector>

#include <array>

class PosTextHours;

// The channel texts of a recorded stream, for the timeline's ticks and for the overlay of
// recorded playback: fetched lazily from the stream's gateway's "pos-data" in slices of one
// hour, each slice through every capped answer until complete (PosTextPager), and kept in the
// console's bounded store of hours (PosTextHours) under the server and the stream. At most two
// slices are fetched at a time; a slice that failed, timed out or came incomplete is asked
// again by a later request.
class PosTextCache : public QObject
{
    Q_OBJECT
    // The stream the queries below are about, and its gateway ("http://host:port").
    Q_PROPERTY(QString streamId READ streamId NOTIFY sourceChanged)
    Q_PROPERTY(QString gateway READ gateway NOTIFY sourceChanged)
    // The event server the stream belongs to (ServerIdentity); empty: the one signed in to.
    Q_PROPERTY(QString server READ server WRITE setServer NOTIFY sourceChanged)
    // True while slices are being fetched or wait to be.
    Q_PROPERTY(bool busy READ busy NOTIFY busyChanged)
    // How long, in ms, one answer may take before the slice counts as failed.
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

    // Where the texts of a server's stream are kept.
    static QString keyOf(const QString &server, const QString &streamId);

    QString streamId() const { return m_streamId; }
    QString gateway() const { return m_gateway; }
    QString server() const { return m_server; }
    void setServer(const QString &server);
    bool busy() const { return m_busy; }
    int timeout() const { return m_timeout; }
    void setTimeout(int milliseconds);
    void setRetryDelays(int failedMs, int recentMs);
    // The store of hours used instead of the console's (tests); not owned.
    void setHours(PosTextHours *hours);

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
    // the hours wholly inside count as fetched.
    void addTexts(const QString &streamId, qint64 from, qint64 to, const QVector<PosText> &texts);

signals:
    void sourceChanged();
    void busyChanged();
    void timeoutChanged();
    // Texts or failures of the current stream changed.
    void changed();

private:
    // One of the two fetches that may run at a time.
    struct Runner
    {
        PosTextPager *pager = nullptr;
        bool active = false;
        QString key;
        QString streamId;
        qint64 from = 0;
        qint64 startedAt = 0;
    };

    QString currentKey() const;
    bool wanted(qint64 from, qint64 now) const;
    void startNext();
    void start(Runner &runner, qint64 from);
    void handleAnswer(Runner &runner, const PosTextPager::Outcome &outcome);
    void updateBusy();

    QString m_streamId;
    QString m_gateway;
    QString m_server;
    QPointer<PosTextHours> m_hours;
    QVector<qint64> m_queue; // slice starts of the current stream, the first asked first
    std::array<Runner, 2> m_runners;
    bool m_busy = false;
    int m_timeout = kDefaultTimeout;
    int m_retryDelay = kDefaultRetryDelay;
    int m_refreshDelay = kDefaultRefreshDelay;
};
