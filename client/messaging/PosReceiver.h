#pragma once

#include <QHash>
#include <QMap>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class PosBatcher;
class QThread;
class zmq_Subscriber;

// Receives the channel texts (POS texts) that systems beside the cameras publish: one ZeroMQ
// subscriber per publisher host, channels subscribed on behalf of the video cells. The
// subscribers live on a thread of their own, which receives every message and keeps, per
// channel, only the lines a cell can show; this thread gets them as posReceived(topic, msg),
// one text per channel at most every batchIntervalMs per host and never while it has not
// handled the last, however fast publishers send. A text is the last lines (at most
// PosBatcher::maxLines) of what came on the channel since the one before; a text alone in its
// interval arrives as it was sent. Only channels subscribed exactly are delivered.
class PosReceiver : public QObject
{
    Q_OBJECT
public:
    explicit PosReceiver(QObject *parent = nullptr);
    ~PosReceiver() override;

    Q_INVOKABLE void subscribe(QString ip, int port, QString channel);
    Q_INVOKABLE void unsubscribe(QString ip, QString channel);

    // Inspection for native callers: the host's subscriber (null without one) and its number
    // of subscriptions not yet matched by an unsubscribe. The subscriber lives on the
    // receiving thread: read it, but call nothing that changes it.
    std::shared_ptr<zmq_Subscriber> subscriberFor(const QString &ip) const;
    int subscriptionCount(const QString &ip) const;

    // Short enough for texts to appear at once (one frame), long enough to bound the work.
    static constexpr int batchIntervalMs = 10;

signals:
    void posReceived(QString topic, QString msg);

private:
    void createSubscriber(const QString &ip, int port);
    void removeSubscriber(const QString &ip);
    void unsubscribeFilter(const QString &ip, const QString &channel);
    void deliver(PosBatcher *batcher);
    // Runs work on the receiving thread (started on first use) and waits for it. The receiving
    // thread never waits for this one, and its reading passes are short.
    void onReceivingThread(const std::function<void()> &work);

    QThread *thread = nullptr;
    QObject *threadContext = nullptr;
    QMap<QString, std::shared_ptr<zmq_Subscriber>> subscribers;
    QMap<QString, int> subscriptionCounts;
    // Per host, how many subscriptions each channel holds: two cells showing the same stream
    // share one ZeroMQ filter, which goes only with the last of them.
    QMap<QString, QHash<QString, int>> channelCounts;
};
