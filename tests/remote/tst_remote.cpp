// The remote-control interface across processes: the console's side (the real App in the
// rpc_host helper) and replicas generated from the same definition, over tcp and local sockets.
#include "LogCapture.h"
#include "RpcHost.h"
#include "rep_client_Service_replica.h"

#include <QRemoteObjectNode>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

using Layouts = QList<QPair<QString, QString>>;

QList<client_Layout> toClientLayouts(const Layouts &layouts)
{
    QList<client_Layout> list;
    for (const auto &layout : layouts)
        list.append(client_Layout(layout.first, layout.second));
    return list;
}

QList<client_Layout> lastList(const QSignalSpy &spy)
{
    return spy.last().at(0).value<QList<client_Layout>>();
}

// One replica on a node of its own, as a companion program has.
struct Companion
{
    explicit Companion(const QString &url)
    {
        node.connectToNode(QUrl(url));
        replica.reset(node.acquire<client_ServiceReplica>());
    }
    bool waitValid() { return replica->waitForSource(15000); }

    QRemoteObjectNode node;
    std::unique_ptr<client_ServiceReplica> replica;
};

} // namespace

class TestRemote : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<RpcHost> m_host;
    QString m_url;

private slots:
    void initTestCase_data() { RpcHost::addTransportRows(); }

    void init()
    {
        QFETCH_GLOBAL(QString, transport);
        m_url = RpcHost::freeUrl(transport);
        static int run = 0;
        m_host = std::make_unique<RpcHost>(
            QStringLiteral("%1/host-%2").arg(RpcHost::sandbox()).arg(++run), m_url);
        QVERIFY(m_host->start());
    }

    void cleanup() { m_host.reset(); }

    void replicaCarriesTheSharedSignature()
    {
        const QMetaObject &meta = client_ServiceReplica::staticMetaObject;
        QCOMPARE(meta.classInfo(meta.indexOfClassInfo("RemoteObject Type")).value(),
                 "client_Service");
        QCOMPARE(meta.classInfo(meta.indexOfClassInfo("RemoteObject Signature")).value(),
                 "d1c736b368dac9ff0b1dfe712846f97ad41ec35a");
    }

    void replicaBeforeSignInHearsFalse()
    {
        Companion companion(m_url);
        QVERIFY(companion.waitValid());
        QSignalSpy loggedIn(companion.replica.get(), &client_ServiceReplica::loggedIn);
        QSignalSpy layouts(companion.replica.get(), &client_ServiceReplica::layoutListChanged);
        companion.replica->requestLoginStatus();
        companion.replica->requestLayoutList();
        QTRY_COMPARE(loggedIn.count(), 1);
        QCOMPARE(loggedIn.at(0).at(0).toBool(), false);
        QTRY_COMPARE(layouts.count(), 1);
        QVERIFY(lastList(layouts).isEmpty());
    }

    void everyReplicaHearsEveryAnswer()
    {
        Companion a(m_url), b(m_url);
        QVERIFY(a.waitValid());
        QVERIFY(b.waitValid());
        QSignalSpy inA(a.replica.get(), &client_ServiceReplica::loggedIn);
        QSignalSpy inB(b.replica.get(), &client_ServiceReplica::loggedIn);
        QSignalSpy listA(a.replica.get(), &client_ServiceReplica::layoutListChanged);
        QSignalSpy listB(b.replica.get(), &client_ServiceReplica::layoutListChanged);

        // a's question is answered to both
        a.replica->requestLoginStatus();
        QTRY_COMPARE(inA.count(), 1);
        QTRY_COMPARE(inB.count(), 1);
        QCOMPARE(inB.at(0).at(0).toBool(), false);

        m_host->login();
        QTRY_COMPARE(inA.count(), 2);
        QTRY_COMPARE(inB.count(), 2);
        QCOMPARE(inA.at(1).at(0).toBool(), true);
        QCOMPARE(inB.at(1).at(0).toBool(), true);

        const Layouts published{{"Lobby", "{\"numRows\":1}"}, {"Yard", "{\"numRows\":2}"}};
        m_host->publish(published);
        QTRY_COMPARE(listA.count(), 1);
        QTRY_COMPARE(listB.count(), 1);

        // b's question is answered to both as well
        b.replica->requestLayoutList();
        QTRY_COMPARE(listA.count(), 2);
        QTRY_COMPARE(listB.count(), 2);
        QCOMPARE(lastList(listA), toClientLayouts(published));
        QCOMPARE(lastList(listB), toClientLayouts(published));

        m_host->logout();
        QSignalSpy outA(a.replica.get(), &client_ServiceReplica::loggedOut);
        QSignalSpy outB(b.replica.get(), &client_ServiceReplica::loggedOut);
        QVERIFY(outA.wait(10000));
        QTRY_COMPARE(outB.count(), 1);
        b.replica->requestLoginStatus();
        QTRY_COMPARE(inA.count(), 3);
        QCOMPARE(inA.at(2).at(0).toBool(), false);
    }

    void anEqualListIsPublishedAgain()
    {
        Companion companion(m_url);
        QVERIFY(companion.waitValid());
        QSignalSpy layouts(companion.replica.get(), &client_ServiceReplica::layoutListChanged);
        const Layouts published{{"Lobby", "{}"}};
        m_host->publish(published);
        m_host->publish(published);
        QTRY_COMPARE(layouts.count(), 2);
        QCOMPARE(layouts.at(0).at(0).value<QList<client_Layout>>(), toClientLayouts(published));
        QCOMPARE(layouts.at(1).at(0).value<QList<client_Layout>>(), toClientLayouts(published));
    }

    void textsCrossUnchanged()
    {
        Companion companion(m_url);
        QVERIFY(companion.waitValid());
        QSignalSpy layouts(companion.replica.get(), &client_ServiceReplica::layoutListChanged);
        const QString name = QStringLiteral("Entrée – Ñandú 東京 🚪");
        const QString json = QStringLiteral(
            "{\"numRows\": 2, \"numCols\": 3, \"elements\": [{\"row\": 0, \"col\": 0, "
            "\"rowSpan\": 1, \"colSpan\": 1, \"type\": \"door\", \"label\": \"Pórtico 北\"}]}\n");
        const Layouts published{{name, json}, {QStringLiteral("\"quoted\" \\ back"), QString()}};
        m_host->publish(published);
        QTRY_COMPARE(layouts.count(), 1);
        QCOMPARE(lastList(layouts), toClientLayouts(published));

        // and back again, into the console's layout model
        companion.replica->setLayout(name, json);
        const QJsonObject request = m_host->waitForEvent(QStringLiteral("setLayoutRequested"));
        QCOMPARE(request.value("name").toString(), name);
        QCOMPARE(request.value("json").toString(), json);
        const QJsonObject model = m_host->waitForEvent(QStringLiteral("layoutModel"));
        QCOMPARE(model.value("numRows").toInt(), 2);
        QCOMPARE(model.value("numCols").toInt(), 3);
        QCOMPARE(model.value("cells").toInt(), 1);
        QVERIFY(m_host->waitForLogLine(QStringLiteral("info|Applying layout: \"%1\"").arg(name)));
    }

    void pageRequests_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("jump");
        QTest::addColumn<QString>("key");
        QTest::newRow("recorder") << int(client_ServiceReplica::RECORDER) << "recorder"
                                  << "RECORDER";
        QTest::newRow("playback") << int(client_ServiceReplica::PLAYBACK) << "playback"
                                  << "PLAYBACK";
    }

    void pageRequests()
    {
        QFETCH(int, page);
        QFETCH(QString, jump);
        QFETCH(QString, key);
        Companion companion(m_url);
        QVERIFY(companion.waitValid());
        companion.replica->jumpPage(static_cast<client_ServiceReplica::ClientPage>(page));
        QCOMPARE(m_host->waitForEvent(QStringLiteral("requestedJumpPage")).value("page").toString(),
                 jump);
        QVERIFY(m_host->waitForLogLine(
            QStringLiteral("info|Jumping to page: client_ServiceSource::%1").arg(key)));
    }

    void settingsPageIsRefused()
    {
        Companion companion(m_url);
        QVERIFY(companion.waitValid());
        companion.replica->jumpPage(client_ServiceReplica::SETTINGS);
        // requests arrive in order: the first jump the console makes must be this one
        companion.replica->jumpPage(client_ServiceReplica::PLAYBACK);
        QCOMPARE(m_host->waitForEvent(QStringLiteral("requestedJumpPage")).value("page").toString(),
                 QStringLiteral("playback"));
        const QStringList lines = m_host->logLines();
        const int signature = lines.indexOf(QStringLiteral(
            "warning|void App::onJumpPageRequested(client_ServiceSource::ClientPage)"));
        QVERIFY(signature >= 0);
        QCOMPARE(lines.value(signature + 1),
                 QStringLiteral("warning|  Unknow page: client_ServiceSource::SETTINGS"));
        QVERIFY(!lines.contains(
            QStringLiteral("info|Jumping to page: client_ServiceSource::SETTINGS")));
    }

    void consoleSideLogsItsEndpoint()
    {
        QVERIFY(m_host->logLines().contains(QStringLiteral("debug|IPC url: \"%1\"").arg(m_url)));
        QVERIFY(m_host->logLines().contains(
            QStringLiteral("info|Listening on: QUrl(\"%1\")").arg(m_url)));
    }
};

QTEST_GUILESS_MAIN(TestRemote)
#include "tst_remote.moc"
