// Channel texts as the video cells use them: PosReceiver's connections and filters per
// gateway against real publishers on loopback, the simulated demo site's cashier camera, and
// the overlay line list.
#include "LogCapture.h"
#include "PosBatcher.h"
#include "PosReceiver.h"
#include "Simulator.h"
#include "SubtitleList.h"
#include "TestPublisher.h"
#include "zmq_Subscriber.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

const QString kHost = QStringLiteral("127.0.0.1");
const char kSentinel[] = "sentinel";

// The texts delivered on a channel.
QStringList textsOf(const QSignalSpy &spy, const QString &channel)
{
    QStringList result;
    for (const auto &args : spy) {
        if (args.at(0).toString() == channel)
            result.append(args.at(1).toString());
    }
    return result;
}

QStringList topics(const QSignalSpy &spy)
{
    QStringList result;
    for (const auto &args : spy)
        result.append(args.at(0).toString());
    return result;
}

} // namespace

class TestPosReceiver : public QObject
{
    Q_OBJECT

private slots:
    // Two cells for two cameras behind one gateway share one connection with two filters;
    // each cell's going removes only its own filter, the last one closes the connection.
    void twoCellsOnOneGateway()
    {
        LogCapture log;
        TestPublisher publisher;
        PosReceiver receiver;
        QSignalSpy received(&receiver, &PosReceiver::posReceived);

        receiver.subscribe(kHost, publisher.port(), "11");
        receiver.subscribe(kHost, publisher.port(), "12");
        auto subscriber = receiver.subscriberFor(kHost);
        QVERIFY(subscriber);
        QVERIFY(subscriber->isRunning());
        QCOMPARE(receiver.subscriptionCount(kHost), 2);
        QCOMPARE(subscriber->subscribedChannels(), (QSet<QString>{"11", "12"}));
        QVERIFY(publisher.waitForSubscriptionEvent(TestPublisher::subscribed("12")));
        QCOMPARE(log.lines(QtInfoMsg),
                 (QStringList{"Subscribed to channel: \"11\"", "Subscribed to channel: \"12\""}));

        publisher.send("11", "Entrance");
        publisher.send("12", "Till");
        QTRY_COMPARE(topics(received), (QStringList{"11", "12"}));
        QCOMPARE(received.at(1).at(1).toString(), QStringLiteral("Till"));

        receiver.unsubscribe(kHost, "11");
        QVERIFY(publisher.waitForSubscriptionEvent(TestPublisher::unsubscribed("11")));
        QCOMPARE(receiver.subscriptionCount(kHost), 1);
        QCOMPARE(receiver.subscriberFor(kHost), subscriber);
        QVERIFY(log.contains("Unsubscribed channel: \"11\""));
        received.clear();
        publisher.send("11", "not shown");
        publisher.send("12", "still shown");
        QTRY_COMPARE(topics(received), QStringList{"12"});

        QSignalSpy stopped(subscriber.get(), &zmq_Connection::stopped);
        const std::weak_ptr<zmq_Subscriber> released = subscriber;
        subscriber.reset();
        receiver.unsubscribe(kHost, "12");
        QVERIFY(released.expired());
        QCOMPARE(stopped.size(), 1);
        QVERIFY(!receiver.subscriberFor(kHost));
        QCOMPARE(receiver.subscriptionCount(kHost), 0);
        QVERIFY(publisher.waitForSubscriptionEvent(TestPublisher::unsubscribed("12")));
    }

    // A page that is rebuilt makes its new cell before the old one goes: the same stream is
    // subscribed twice, and the first unsubscribe must not take the filter the second needs.
    void sameChannelTwiceSurvivesOneUnsubscribe()
    {
        TestPublisher publisher;
        PosReceiver receiver;
        QSignalSpy received(&receiver, &PosReceiver::posReceived);
        receiver.subscribe(kHost, publisher.port(), "12");
        receiver.subscribe(kHost, publisher.port(), "12");
        QCOMPARE(receiver.subscriptionCount(kHost), 2);

        receiver.unsubscribe(kHost, "12");
        QCOMPARE(receiver.subscriptionCount(kHost), 1);
        QCOMPARE(receiver.subscriberFor(kHost)->subscribedChannels(), QSet<QString>{"12"});
        // Everything the publisher saw up to a later sentinel filter: one subscribe, no
        // unsubscribe of "12".
        receiver.subscribe(kHost, publisher.port(), kSentinel);
        QList<QByteArray> seen;
        QVERIFY(publisher.waitForSubscriptionEvent(TestPublisher::subscribed(kSentinel), &seen));
        QCOMPARE(seen, (QList<QByteArray>{TestPublisher::subscribed("12"),
                                          TestPublisher::subscribed(kSentinel)}));
        publisher.send("12", "receipt");
        QTRY_COMPARE(topics(received), QStringList{"12"});

        receiver.unsubscribe(kHost, kSentinel);
        receiver.unsubscribe(kHost, "12");
        QVERIFY(!receiver.subscriberFor(kHost));
        QVERIFY(publisher.waitForSubscriptionEvent(TestPublisher::unsubscribed("12")));
    }

    void hostIsKeptWithItsFirstPort()
    {
        TestPublisher first, second;
        PosReceiver receiver;
        receiver.subscribe(kHost, first.port(), "11");
        receiver.subscribe(kHost, second.port(), "12");
        QCOMPARE(receiver.subscriberFor(kHost)->endpoint(),
                 QStringLiteral("tcp://127.0.0.1:%1").arg(first.port()));
        QVERIFY(first.waitForSubscriptionEvent(TestPublisher::subscribed("12")));

        // Once the host's count is back to 0, a new subscription connects anew with its port.
        receiver.unsubscribe(kHost, "11");
        receiver.unsubscribe(kHost, "12");
        receiver.subscribe(kHost, second.port(), "13");
        QCOMPARE(receiver.subscriberFor(kHost)->endpoint(), second.endpoint());
        QVERIFY(second.waitForSubscriptionEvent(TestPublisher::subscribed("13")));
    }

    void strayUnsubscribesChangeNothing()
    {
        LogCapture log;
        TestPublisher publisher;
        PosReceiver receiver;
        // A cell with a stream but no gateway unsubscribes with an empty host: ignored silently.
        receiver.unsubscribe(QString(), "12");
        receiver.unsubscribe(kHost, "12");
        QVERIFY(log.lines().isEmpty());

        receiver.subscribe(kHost, publisher.port(), "12");
        receiver.unsubscribe(kHost, "99");
        QVERIFY(log.contains("Channel: \"99\" is not in the set!"));
        QCOMPARE(receiver.subscriptionCount(kHost), 1);
        QVERIFY(receiver.subscriberFor(kHost));
    }

    void unreachableHostKeepsBookkeeping()
    {
        LogCapture log;
        PosReceiver receiver;
        receiver.subscribe("no such host", 5556, "12");
        QVERIFY(receiver.subscriberFor("no such host"));
        QVERIFY(!receiver.subscriberFor("no such host")->isRunning());
        QCOMPARE(receiver.subscriptionCount("no such host"), 1);
        QVERIFY(log.contains("virtual bool zmq_Subscriber::createSocket()"));
        receiver.unsubscribe("no such host", "12");
        QVERIFY(!receiver.subscriberFor("no such host"));
    }

    // The simulated demo shop publishes its cashier camera's receipts on the gateway's port:
    // a receiver subscribed to the Till's stream id gets them in script order.
    void receivesDemoCashierReceipts()
    {
        std::string error;
        auto site = ardix::sim::Site::fromFile(ARDIX_DEMO_SITE, ardix::sim::nowMs(), error);
        QVERIFY2(site, error.c_str());
        const ardix::sim::SiteObject *till = nullptr;
        for (const auto &o : site->objects) {
            if (o.pos && o.data.id == 12)
                till = &o;
        }
        QVERIFY(till);
        QCOMPARE(till->data.id, 12);
        QStringList script;
        for (const auto &text : till->pos->texts)
            script.append(QString::fromStdString(text));
        const int interval = till->pos->intervalMs;

        ardix::sim::SimulatorOptions options;
        options.site = *site;
        options.log = [](const std::string &) {};
        options.ephemeralPosPorts = true;
        ardix::sim::Simulator simulator(std::move(options));
        QVERIFY(simulator.start());
        const int port = simulator.posPort(2);
        QVERIFY(port > 0);

        PosReceiver receiver;
        QSignalSpy received(&receiver, &PosReceiver::posReceived);
        receiver.subscribe(kHost, port, "12");
        QTRY_VERIFY_WITH_TIMEOUT(received.size() >= 2, 3 * interval + 2000);
        const int first = script.indexOf(received.at(0).at(1).toString());
        QVERIFY(first >= 0);
        QCOMPARE(topics(received).mid(0, 2), (QStringList{"12", "12"}));
        QCOMPARE(received.at(1).at(1).toString(), script.at((first + 1) % script.size()));
        QVERIFY(received.at(0).at(1).toString().contains("TOTAL"));

        // What was shown is in the site's record of published texts.
        const auto kept = simulator.posTexts().between(12, 0, ardix::sim::nowMs());
        QVERIFY(kept.size() >= 2);
        QStringList keptTexts;
        for (const auto &t : kept)
            keptTexts.append(QString::fromStdString(t.text));
        QVERIFY(keptTexts.contains(received.at(1).at(1).toString()));
        QVERIFY(simulator.posTexts().between(11, 0, ardix::sim::nowMs()).empty());
    }

    // What a publisher may send on a camera's channel, and what the cells get of it: texts over
    // the size limit are dropped with one warning per channel and minute (however often they
    // come), others are cut to the lines a cell shows.
    void hostileTexts_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("times");
        QTest::addColumn<QStringList>("delivered");
        QTest::addColumn<int>("warnings");

        QByteArray shortLines;
        for (int i = 0; i < 655360; ++i)
            shortLines += "item " + QByteArray::number(i).rightJustified(9, '0') + '\n';
        QTest::newRow("10 MiB text")
            << QByteArray(10 * 1024 * 1024, 'x') << 2 << QStringList() << 1;
        QTest::newRow("655 360 short lines") << shortLines << 3 << QStringList() << 1;
        QTest::newRow("64 KiB of empty lines")
            << QByteArray(zmq_Subscriber::maxTextBytes, '\n') << 1
            << QStringList(QString(PosBatcher::maxLines - 1, QLatin1Char('\n'))) << 0;
        const QString longLine = QString(PosBatcher::maxLineLength - 1, QLatin1Char('y'));
        QTest::newRow("one line of 64 KiB") << QByteArray(zmq_Subscriber::maxTextBytes, 'y') << 1
                                            << QStringList(longLine + QChar(0x2026)) << 0;
        QTest::newRow("empty") << QByteArray() << 1 << QStringList(QString()) << 0;
        QByteArray binary;
        for (int i = 0; i < 4096; ++i)
            binary += static_cast<char>((i * 7) % 256);
        // Every 256 bytes hold one newline: each line fits, only their number is cut.
        const QStringList binaryLines = QString::fromUtf8(binary).split('\n');
        QTest::newRow("binary")
            << binary << 1
            << QStringList(binaryLines.mid(binaryLines.size() - PosBatcher::maxLines).join('\n'))
            << 0;
    }

    void hostileTexts()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, times);
        QFETCH(QStringList, delivered);
        QFETCH(int, warnings);
        LogCapture log;
        TestPublisher publisher;
        PosReceiver receiver;
        QSignalSpy received(&receiver, &PosReceiver::posReceived);
        receiver.subscribe(kHost, publisher.port(), "12");
        receiver.subscribe(kHost, publisher.port(), kSentinel);
        QVERIFY(publisher.waitForSubscriptionEvent(TestPublisher::subscribed(kSentinel)));

        for (int i = 0; i < times; ++i)
            publisher.send("12", text);
        publisher.send(kSentinel, "after");
        QTRY_VERIFY_WITH_TIMEOUT(topics(received).contains(kSentinel), 20000);

        const QStringList texts = textsOf(received, "12");
        QCOMPARE(log.linesStartingWith(QStringLiteral("Dropped a message of")).size(), warnings);
        QCOMPARE(texts, delivered);
    }

    // A flood on one channel: the GUI thread gets a bounded number of texts, each with no more
    // lines than a cell shows, while the thread is busy no more than one is queued, and the
    // last line sent arrives.
    void floodReachesTheGuiThreadInBatches()
    {
        const int count = 50000;
        TestPublisher publisher;
        PosReceiver receiver;
        QSignalSpy received(&receiver, &PosReceiver::posReceived);
        receiver.subscribe(kHost, publisher.port(), "12");
        QVERIFY(publisher.waitForSubscriptionEvent(TestPublisher::subscribed("12")));

        QElapsedTimer flood;
        flood.start();
        for (int i = 0; i < count; ++i)
            publisher.send("12", "line " + QByteArray::number(i));
        // The publisher drops what its queue cannot hold: the last line is sent until it is seen.
        const QString last = QStringLiteral("line %1").arg(count);
        auto lastArrived = [&] {
            const QStringList texts = textsOf(received, "12");
            return !texts.isEmpty() && texts.last().endsWith(last);
        };
        QTRY_VERIFY_WITH_TIMEOUT((publisher.send("12", last.toUtf8()), lastArrived()), 20000);

        const QStringList texts = textsOf(received, "12");
        const qint64 batches = flood.elapsed() / PosReceiver::batchIntervalMs + 2;
        QVERIFY2(texts.size() <= batches, qPrintable(QString::number(texts.size())));
        QVERIFY(texts.size() < count / 100);
        for (const QString &text : texts)
            QVERIFY(text.count('\n') < PosBatcher::maxLines);
    }

    void subtitleLinesKeepTheLimit()
    {
        SubtitleList list;
        QAbstractItemModelTester tester(&list,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy reset(&list, &SubtitleList::timerNeedReset);
        QSignalSpy maxChanged(&list, &SubtitleList::maxLinesChanged);
        QCOMPARE(list.property("maxLines").toInt(), 15);

        for (int i = 1; i <= 16; ++i)
            list.append(QStringLiteral("line %1").arg(i));
        QCOMPARE(list.rowCount(), 15);
        QCOMPARE(reset.size(), 16);
        QCOMPARE(list.index(0).data(SubtitleList::LabelRole).toString(), QStringLiteral("line 2"));
        QCOMPARE(list.index(14).data(SubtitleList::LabelRole).toString(),
                 QStringLiteral("line 16"));

        // Lowering the limit removes nothing by itself, and an append drops one line only.
        QVERIFY(list.setProperty("maxLines", 5));
        QVERIFY(list.setProperty("maxLines", 5));
        QCOMPARE(maxChanged.size(), 1);
        QCOMPARE(list.rowCount(), 15);
        list.append("line 17");
        QCOMPARE(list.rowCount(), 15);
        QCOMPARE(list.index(0).data(SubtitleList::LabelRole).toString(), QStringLiteral("line 3"));

        // With a limit of 0 every append still replaces the oldest line: the list never grows.
        list.setMaxLines(0);
        list.append("line 18");
        QCOMPARE(list.rowCount(), 15);
        QCOMPARE(list.index(14).data(SubtitleList::LabelRole).toString(),
                 QStringLiteral("line 18"));
    }

    void subtitleDataAndPop()
    {
        SubtitleList list;
        QAbstractItemModelTester tester(&list,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy removed(&list, &QAbstractItemModel::rowsRemoved);
        QSignalSpy reset(&list, &SubtitleList::timerNeedReset);
        QVERIFY(!list.pop());
        QCOMPARE(removed.size(), 0);
        QCOMPARE(reset.size(), 0);

        list.append(QStringLiteral("Crème 1,49"));
        list.append("TOTAL 1,49");
        QCOMPARE(list.roleNames(), (QHash<int, QByteArray>{{Qt::UserRole + 1, "label"}}));
        QCOMPARE(list.data(list.index(0), Qt::UserRole + 1).toString(),
                 QStringLiteral("Crème 1,49"));
        QVERIFY(!list.data(list.index(0), Qt::DisplayRole).isValid());
        QVERIFY(!list.data(list.index(2), Qt::UserRole + 1).isValid());
        QVERIFY(!list.data(QModelIndex(), Qt::UserRole + 1).isValid());

        QVERIFY(list.pop());
        QCOMPARE(list.rowCount(), 1);
        QCOMPARE(list.index(0).data(Qt::UserRole + 1).toString(), QStringLiteral("TOTAL 1,49"));
        QVERIFY(list.pop());
        QVERIFY(!list.pop());
        QCOMPARE(removed.size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestPosReceiver)
#include "tst_posreceiver.moc"
