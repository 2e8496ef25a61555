#include "PosReceiver.h"

#include "PosBatcher.h"
#include "ThreadHandOver.h"
#include "zmq_Subscriber.h"

#include <QCoreApplication>
#include <QDebug>
#include <QPointer>
#include <QQmlEngine>
#include <QThread>

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

PosReceiver::~PosReceiver()
{
    const QStringList hosts = subscribers.keys();
    for (const QString &ip : hosts)
        removeSubscriber(ip);
    if (thread) {
        thread->quit();
        thread->wait();
        delete threadContext;
        delete thread;
    }
}

void PosReceiver::onReceivingThread(const std::function<void()> &work)
{
    if (!thread) {
        thread = new QThread;
        thread->setObjectName(QStringLiteral("PosReceiving"));
        threadContext = new QObject;
        threadContext->moveToThread(thread);
        thread->start();
    }
    // Qt orders the two threads' steps with a semaphore that ThreadSanitizer does not see.
    ThreadHandOver::release(&work);
    QMetaObject::invokeMethod(
        threadContext,
        [&work] {
            ThreadHandOver::acquire(&work);
            work();
            ThreadHandOver::release(&work);
        },
        Qt::BlockingQueuedConnection);
    ThreadHandOver::acquire(&work);
}

void PosReceiver::createSubscriber(const QString &ip, int port)
{
    if (subscribers.contains(ip))
        return;
    const QString address = QStringLiteral("tcp://%1:%2").arg(ip).arg(port);
    std::shared_ptr<zmq_Subscriber> subscriber;
    // Made on the receiving thread, so that its socket notifier and timers live there.
    onReceivingThread([&] {
        subscriber = std::make_shared<zmq_Subscriber>(address);
        zmq_Subscriber *receiving = subscriber.get();
        auto *batcher = new PosBatcher(batchIntervalMs, receiving);
        connect(receiving, &zmq_Subscriber::messageReceived, batcher,
                [receiving, batcher](const QString &channel, const QString &text) {
                    // A filter is a prefix: texts of channels no cell shows go no further.
                    if (receiving->subscribedChannels().contains(channel))
                        batcher->add(channel, text);
                });
        // Queued: the batcher emits on the receiving thread and may be gone before delivery.
        connect(batcher, &PosBatcher::ready, this,
                [this, alive = QPointer<PosBatcher>(batcher)] { deliver(alive.data()); });
        receiving->start();
    });
    subscribers.insert(ip, subscriber);
    subscriptionCounts.insert(ip, 0);
    channelCounts.insert(ip, {});
}

void PosReceiver::removeSubscriber(const QString &ip)
{
    // Taken out of the maps first: the subscriber's destruction emits stopped(), and a
    // receiver of it must find the bookkeeping already without this host.
    std::shared_ptr<zmq_Subscriber> subscriber = subscribers.take(ip);
    subscriptionCounts.remove(ip);
    channelCounts.remove(ip);
    // Released on its own thread: its notifier and timers can only be stopped there.
    onReceivingThread([&] { subscriber.reset(); });
}

void PosReceiver::deliver(PosBatcher *batcher)
{
    if (!batcher)
        return;
    const QVector<PosBatcher::Text> texts = batcher->take();
    for (const PosBatcher::Text &text : texts)
        emit posReceived(text.channel, text.text);
}

void PosReceiver::subscribe(QString ip, int port, QString channel)
{
    if (!subscribers.contains(ip) || !subscriptionCounts.contains(ip))
        createSubscriber(ip, port);
    qInfo() << "Subscribed to channel:" << channel;
    subscriptionCounts[ip] += 1;
    channelCounts[ip][channel] += 1;
    zmq_Subscriber *subscriber = subscribers.value(ip).get();
    onReceivingThread([&] { subscriber->subscribe(channel); });
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
        unsubscribeFilter(ip, channel);
        return;
    }
    if (--held.value() == 0) {
        channels.erase(held);
        unsubscribeFilter(ip, channel);
    }
    if (--subscriptionCounts[ip] == 0)
        removeSubscriber(ip);
}

void PosReceiver::unsubscribeFilter(const QString &ip, const QString &channel)
{
    zmq_Subscriber *subscriber = subscribers.value(ip).get();
    onReceivingThread([&] { subscriber->unsubscribe(channel); });
}

std::shared_ptr<zmq_Subscriber> PosReceiver::subscriberFor(const QString &ip) const
{
    return subscribers.value(ip);
}

int PosReceiver::subscriptionCount(const QString &ip) const
{
    return subscriptionCounts.value(ip);
}
