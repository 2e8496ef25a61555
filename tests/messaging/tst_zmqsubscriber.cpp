// The ZeroMQ subscriber against real publishers on loopback: which messages are delivered and
// how, its channel filters as the publisher sees them, and its life cycle.
#include "LogCapture.h"
#include "TestPublisher.h"
#include "zmq_Subscriber.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>

using Frames = QList<QByteArray>;
using Message = QPair<QString, QString>;
Q_DECLARE_METATYPE(Frames)

namespace {

const char kSentinel[] = "sentinel";

// A subscriber that counts its drains, so a test can tell how many activations a burst took.
class CountingSubscriber : public zmq_Subscriber
{
public:
    using zmq_Subscriber::zmq_Subscriber;
    int drains = 0;

protected:
    void readAll() override
    {
        ++drains;
        zmq_Subscriber::readAll();
    }
};

// A subscriber whose socket already holds a message when start() runs: it subscribes to
// everything while creating its socket and returns only once a message waits on it.
class EarlyMessageSubscriber : public zmq_Subscriber
{
public:
    EarlyMessageSubscriber(const QString &address, TestPublisher &publisher)
        : zmq_Subscriber(address)
        , m_publisher(publisher)
    {}
    bool messageWaited = false;

protected:
    bool createSocket() override
    {
        if (!zmq_Subscriber::createSocket())
            return false;
        socket->set(zmq::sockopt::subscribe, "");
        if (!m_publisher.waitForSubscriptionEvent(TestPublisher::subscribed("")))
            return true;
        m_publisher.send("early", "before start");
        zmq::pollitem_t item{socket->handle(), 0, ZMQ_POLLIN, 0};
        messageWaited = zmq::poll(&item, 1, std::chrono::milliseconds(5000)) == 1;
        return true;
    }

private:
    TestPublisher &m_publisher;
};

QList<Message> messages(const QSignalSpy &spy)
{
    QList<Message> result;
    for (const auto &args : spy)
        result.append({args.at(0).toString(), args.at(1).toString()});
    return result;
}

} // namespace

class TestZmqSubscriber : public QObject
{
    Q_OBJECT

private:
    // A running subscriber of the given channels whose filters reached the publisher.
    std::unique_ptr<zmq_Subscriber> connected(TestPublisher &publisher, const QStringList &channels)
    {
        auto subscriber = std::make_unique<zmq_Subscriber>(publisher.endpoint());
        if (!subscriber->start())
            return nullptr;
        for (const QString &channel : channels) {
            subscriber->subscribe(channel);
            if (!publisher.waitForSubscriptionEvent(TestPublisher::subscribed(channel.toUtf8())))
                return nullptr;
        }
        return subscriber;
    }

private slots:
    void init() { qRegisterMetaType<Frames>(); }

    // One message per row, then a two-frame sentinel: the row's message must arrive as
    // expected (or not at all) and the loop must go on to the sentinel.
    void deliversTwoFramesOfEveryMessage_data()
    {
        QTest::addColumn<Frames>("frames");
        QTest::addColumn<bool>("delivered");
        QTest::addColumn<QString>("sender");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("logLine");

        const QByteArray receipt("Milk 1.19\nBread 2.49\nTOTAL 3.68");
        QTest::newRow("two frames")
            << Frames{"12", receipt} << true << "12" << QString::fromUtf8(receipt) << QString();
        QTest::newRow("three frames: the third is ignored")
            << Frames{"12", "text", "ignored"} << true << "12"
            << "text" << QString();
        QTest::newRow("empty text") << Frames{"12", ""} << true << "12"
                                    << "" << QString();
        QTest::newRow("non-ASCII text") << Frames{"12", "Crème fraîche 1,49 €"} << true << "12"
                                        << QStringLiteral("Crème fraîche 1,49 €") << QString();
        QTest::newRow("invalid UTF-8 decodes with replacement characters")
            << Frames{"12", QByteArray("ok \xff\xfe end")} << true << "12"
            << QStringLiteral("ok \uFFFD\uFFFD end") << QString();
        QTest::newRow("one frame is dropped")
            << Frames{"12"} << false << QString() << QString()
            << QStringLiteral("  Dropped a message of 1 frame(s)");
    }

    void deliversTwoFramesOfEveryMessage()
    {
        QFETCH(Frames, frames);
        QFETCH(bool, delivered);
        QFETCH(QString, sender);
        QFETCH(QString, text);
        QFETCH(QString, logLine);

        LogCapture log;
        TestPublisher publisher;
        auto subscriber = connected(publisher, {"12", kSentinel});
        QVERIFY(subscriber);
        QSignalSpy received(subscriber.get(), &zmq_Subscriber::messageReceived);
        publisher.send(frames);
        publisher.send(kSentinel, "after");

        QTRY_VERIFY(!received.isEmpty() && received.last().at(0).toString() == kSentinel);
        QList<Message> expected;
        if (delivered)
            expected.append(Message(sender, text));
        expected.append(Message(kSentinel, "after"));
        QCOMPARE(messages(received), expected);
        if (!logLine.isEmpty()) {
            QVERIFY(log.lines(QtDebugMsg).contains(logLine));
            QVERIFY(log.lines(QtDebugMsg).contains("virtual void zmq_Subscriber::readAll()"));
        }
    }

    // A text of maxTextBytes is delivered whole; one byte more is dropped on receipt, with one
    // warning for the channel, and the messages after it go on.
    void deliversTextsUpToTheLimit()
    {
        LogCapture log;
        TestPublisher publisher;
        auto subscriber = connected(publisher, {"12"});
        QVERIFY(subscriber);
        QSignalSpy received(subscriber.get(), &zmq_Subscriber::messageReceived);
        QByteArray big(zmq_Subscriber::maxTextBytes, 'x');
        big[10] = '\xc3'; // a sequence cut short in the middle of the text
        publisher.send("12", big);
        publisher.send("12", big + 'x');
        publisher.send("12", big + 'x');
        publisher.send("12", "next");
        QTRY_COMPARE(received.size(), 2);
        const QString text = received.at(0).at(1).toString();
        QCOMPARE(text.size(), big.size());
        QCOMPARE(text.at(10), QChar(QChar::ReplacementCharacter));
        QCOMPARE(received.at(1).at(1).toString(), QStringLiteral("next"));
        QCOMPARE(log.linesStartingWith(
                        QStringLiteral("Dropped a message of 65537 bytes on channel \"12\""))
                     .size(),
                 1);
    }

    // Larger still, libzmq closes the connection before allocating the message; the
    // subscriber connects again and its channels go on.
    void messageOverTheConnectionLimitCostsAReconnection()
    {
        TestPublisher publisher;
        auto subscriber = connected(publisher, {"12"});
        QVERIFY(subscriber);
        QSignalSpy received(subscriber.get(), &zmq_Subscriber::messageReceived);
        publisher.send("12", QByteArray(17 * 1024 * 1024, 'x'));
        // What is sent while it reconnects is lost: sent again until it arrives.
        QTRY_VERIFY_WITH_TIMEOUT((publisher.send("12", "next"), !received.isEmpty()), 20000);
        QCOMPARE(received.first().at(1).toString(), QStringLiteral("next"));
    }

    // A burst published while the GUI thread is busy arrives whole and in order, many messages
    // per activation; a filter change in between (which can consume the descriptor's edge)
    // does not strand the queue.
    void drainsQueuedMessagesInOrder()
    {
        // Below the receive high-water mark (1000), so nothing may be dropped.
        const int count = 900;
        TestPublisher publisher;
        CountingSubscriber subscriber(publisher.endpoint());
        QVERIFY(subscriber.start());
        subscriber.subscribe("12");
        QVERIFY(publisher.waitForSubscriptionEvent(TestPublisher::subscribed("12")));
        QSignalSpy received(&subscriber, &zmq_Subscriber::messageReceived);

        for (int i = 0; i < count; ++i)
            publisher.send("12", QByteArray::number(i));
        subscriber.subscribe("13");
        QVERIFY(publisher.waitForSubscriptionEvent(TestPublisher::subscribed("13")));

        QTRY_COMPARE(received.size(), count);
        for (int i = 0; i < count; ++i)
            QCOMPARE(received.at(i).at(1).toString(), QString::number(i));
        QVERIFY2(subscriber.drains < count / 10, qPrintable(QString::number(subscriber.drains)));
    }

    // Publishers write topics in UTF-8, and the filter is the channel's UTF-8 bytes.
    void subscribesNonAsciiChannel()
    {
        const QString channel = QStringLiteral("Kasse-Ü");
        TestPublisher publisher;
        auto subscriber = connected(publisher, {channel, kSentinel});
        QVERIFY(subscriber);
        QSignalSpy received(subscriber.get(), &zmq_Subscriber::messageReceived);
        publisher.send(QByteArray("Kasse-U"), "other");
        publisher.send(channel.toUtf8(), "Ümlaut 1,00");
        publisher.send(kSentinel, "end");
        QTRY_COMPARE(received.size(), 2);
        QCOMPARE(messages(received),
                 (QList<Message>{{channel, QStringLiteral("Ümlaut 1,00")}, {kSentinel, "end"}}));
    }

    void subscribeTwiceThenUnsubscribeOnce()
    {
        LogCapture log;
        TestPublisher publisher;
        auto subscriber = connected(publisher, {"12", kSentinel});
        QVERIFY(subscriber);
        subscriber->subscribe("12");
        QCOMPARE(log.count(QStringLiteral("Channel: \"12\" already be subscribed")), 1);

        // The repeated call never reached the socket: the next change the publisher sees is
        // the single unsubscribe, and it removes the filter completely.
        subscriber->unsubscribe("12");
        QList<QByteArray> seen;
        QVERIFY(publisher.waitForSubscriptionEvent(TestPublisher::unsubscribed("12"), &seen));
        QCOMPARE(seen, QList<QByteArray>{TestPublisher::unsubscribed("12")});
        QCOMPARE(subscriber->subscribedChannels(), QSet<QString>{kSentinel});

        QSignalSpy received(subscriber.get(), &zmq_Subscriber::messageReceived);
        publisher.send("12", "gone");
        publisher.send(kSentinel, "end");
        QTRY_COMPARE(received.size(), 1);
        QCOMPARE(received.at(0).at(0).toString(), QString(kSentinel));
    }

    void unsubscribeUnknownChannelChangesNothing()
    {
        LogCapture log;
        TestPublisher publisher;
        auto subscriber = connected(publisher, {"12"});
        QVERIFY(subscriber);
        subscriber->unsubscribe("99");
        QCOMPARE(log.count(QStringLiteral("Channel: \"99\" is not in the set!")), 1);
        QCOMPARE(subscriber->subscribedChannels(), QSet<QString>{"12"});
        QSignalSpy received(subscriber.get(), &zmq_Subscriber::messageReceived);
        publisher.send("12", "still here");
        QTRY_COMPARE(received.size(), 1);
    }

    void unparsableAddressDoesNotStart_data()
    {
        QTest::addColumn<QString>("address");
        QTest::newRow("no port") << "tcp://127.0.0.1";
        QTest::newRow("port not a number") << "tcp://127.0.0.1:port";
        QTest::newRow("unknown transport") << "carrier-pigeon://127.0.0.1:5556";
        QTest::newRow("empty") << "";
    }

    void unparsableAddressDoesNotStart()
    {
        QFETCH(QString, address);
        LogCapture log;
        zmq_Subscriber subscriber(address);
        QSignalSpy started(&subscriber, &zmq_Connection::started);
        QVERIFY(!subscriber.start());
        QCOMPARE(started.size(), 0);
        QVERIFY(!subscriber.isRunning());
        const QStringList lines = log.lines(QtDebugMsg);
        const int at = lines.indexOf("virtual bool zmq_Subscriber::createSocket()");
        QVERIFY(at >= 0);
        QVERIFY2(lines.value(at + 1).startsWith("  Err: "), qPrintable(lines.value(at + 1)));
        // The socket stays; filters are set on it without effect.
        subscriber.subscribe("12");
        QCOMPARE(subscriber.subscribedChannels(), QSet<QString>{"12"});
    }

    void startLogsAndDeliversMessageAlreadyWaiting()
    {
        LogCapture log;
        TestPublisher publisher;
        EarlyMessageSubscriber subscriber(publisher.endpoint(), publisher);
        QSignalSpy started(&subscriber, &zmq_Connection::started);
        QSignalSpy received(&subscriber, &zmq_Subscriber::messageReceived);
        QVERIFY(subscriber.start());
        QVERIFY(subscriber.messageWaited);
        QCOMPARE(started.size(), 1);
        QTRY_COMPARE(received.size(), 1);
        QCOMPARE(messages(received), (QList<Message>{{"early", "before start"}}));

        const QStringList lines = log.lines(QtDebugMsg);
        QVERIFY(lines.contains("static zmq_Context& zmq_Context::instance()"));
        const int at = lines.indexOf("bool zmq_Connection::start()");
        QVERIFY(at >= 0);
        QVERIFY(!log.linesStartingWith("  Socket number: ").isEmpty());
    }

    void destroyingRunningSubscriberStopsAndCloses()
    {
        TestPublisher publisher;
        auto subscriber = connected(publisher, {"12"});
        QVERIFY(subscriber);
        QVERIFY(subscriber->isRunning());
        QSignalSpy stopped(subscriber.get(), &zmq_Connection::stopped);
        subscriber.reset();
        QCOMPARE(stopped.size(), 1);
        // The closed socket's filter goes away at the publisher.
        QVERIFY(publisher.waitForSubscriptionEvent(TestPublisher::unsubscribed("12")));
    }

    void subscriberWithoutSocketIgnoresEverything()
    {
        LogCapture log;
        auto subscriber = std::make_unique<zmq_Subscriber>("tcp://127.0.0.1:1");
        QSignalSpy stopped(subscriber.get(), &zmq_Connection::stopped);
        subscriber->subscribe("12");
        subscriber->unsubscribe("12");
        QVERIFY(subscriber->subscribedChannels().isEmpty());
        QVERIFY(log.linesStartingWith("Channel:").isEmpty());
        subscriber.reset();
        QCOMPARE(stopped.size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestZmqSubscriber)
#include "tst_zmqsubscriber.moc"
