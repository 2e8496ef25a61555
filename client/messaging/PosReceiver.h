#pragma once

#include <QHash>
#include <QMap>
#include <QObject>
#include <QString>

#include <memory>

class zmq_Subscriber;

// Receives the channel texts (POS texts) that systems beside the cameras publish: one ZeroMQ
// subscriber per publisher host, channels subscribed on behalf of the video cells, and every
// message re-emitted as posReceived(topic, msg).
class PosReceiver : public QObject
{
    Q_OBJECT
public:
    explicit PosReceiver(QObject *parent = nullptr);
    ~PosReceiver() override;

    Q_INVOKABLE void subscribe(QString ip, int port, QString channel);
    Q_INVOKABLE void unsubscribe(QString ip, QString channel);

    // Inspection for native callers: the host's subscriber (null without one) and its number
    // of subscriptions not yet matched by an unsubscribe.
    std::shared_ptr<zmq_Subscriber> subscriberFor(const QString &ip) const;
    int subscriptionCount(const QString &ip) const;

signals:
    void posReceived(QString topic, QString msg);

private:
    void createSubscriber(const QString &ip, int port);
    void removeSubscriber(const QString &ip);

    QMap<QString, std::shared_ptr<zmq_Subscriber>> subscribers;
    QMap<QString, int> subscriptionCounts;
    // Per host, how many subscriptions each channel holds: two cells showing the same stream
    // share one ZeroMQ filter, which goes only with the last of them.
    QMap<QString, QHash<QString, int>> channelCounts;
};
