#include "PosReceiver.h"

#include "zmq_Subscriber.h"

#include <QCoreApplication>
#include <QDebug>
#include <QQmlEngine>

namespace {

void registerPosReceiver()
{
    qmlRegisterSingletonType<PosReceiver>(
        "Native", 1, 0, "PosReceiver",
        [](QQmlEngine *, QJSEngine *) -> QObject * { return new PosReceiver; });
}

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerPosReceiver)

PosReceiver::PosReceiver(QObject *parent)
    : QObject(parent)
{}

PosReceiver::~PosReceiver() = default;

void PosReceiver::createSubscriber(const QString &ip, int port)
{
    if (subscribers.contains(ip))
        return;
    const QString address = QStringLiteral("tcp://%1:%2").arg(ip).arg(port);
    auto subscriber = std::make_shared<zmq_Subscriber>(address);
    connect(subscriber.get(), &zmq_Subscriber::messageReceived, this,
            [this](const QString &sender, const QString &message) {
                emit posReceived(sender, message);
            });
    subscribers.insert(ip, subscriber);
    subscriptionCounts.insert(ip, 0);
    channelCounts.insert(ip, {});
    subscriber->start();
}

void PosReceiver::removeSubscriber(const QString &ip)
{
    // Taken out of the maps first: the subscriber's destruction emits stopped(), and a
    // receiver of it must find the bookkeeping already without this host.
    std::shared_ptr<zmq_Subscriber> subscriber = subscribers.take(ip);
    subscriptionCounts.remove(ip);
    channelCounts.remove(ip);
    subscriber.reset();
}

void PosReceiver::subscribe(QString ip, int port, QString channel)
{
    if (!subscribers.contains(ip) || !subscriptionCounts.contains(ip))
        createSubscriber(ip, port);
    qInfo() << "Subscribed to channel:" << channel;
    subscriptionCounts[ip] += 1;
    channelCounts[ip][channel] += 1;
    subscribers.value(ip)->subscribe(channel);
}

void PosReceiver::unsubscribe(QString ip, QString channel)
{
    if (!subscribers.contains(ip) || !subscriptionCounts.contains(ip))
        return;
    qInfo() << "Unsubscribed channel:" << channel;
    QHash<QString, int> &channels = channelCounts[ip];
    const auto held = channels.find(channel);
    if (held == channels.end()) {
        // Never subscribed here: the subscriber logs it, and no one's subscription is undone.
        subscribers.value(ip)->unsubscribe(channel);
        return;
    }
    if (--held.value() == 0) {
        channels.erase(held);
        subscribers.value(ip)->unsubscribe(channel);
    }
    if (--subscriptionCounts[ip] == 0)
        removeSubscriber(ip);
}

std::shared_ptr<zmq_Subscriber> PosReceiver::subscriberFor(const QString &ip) const
{
    return subscribers.value(ip);
}

int PosReceiver::subscriptionCount(const QString &ip) const
{
    return subscriptionCounts.value(ip);
}
