#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVector>

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
    // True while slices are being fetched.
    Q_PROPERTY(bool busy READ busy NOTIFY busyChanged)

public:
    explicit PosTextCache(QObject *parent = nullptr);
    ~PosTextCache() override;

    QString streamId() const;
    QString gateway() const;
    bool busy() const;

    Q_INVOKABLE void setSource(const QString &streamId, const QString &gateway);
    // Fetches the slices of [from, to) of the current stream that are not cached yet; the
    // ones no longer asked for by the latest request are dropped from the queue.
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
    // Texts or failures of the current stream changed.
    void changed();

private:
    const QVector<PosText> *currentTexts() const;

    QString m_streamId;
    QString m_gateway;
    QHash<QString, QVector<PosText>> m_texts; // by stream, in time order
};
