// vantrel's connection and state against the console side in another process: the replica's
// conversation, the heartbeat, the shared LayoutList, and the commands it sends.
#include "LayoutList.h"
#include "LayoutListSingleton.h"
#include "LogCapture.h"
#include "QuickRpc.h"
#include "RpcHost.h"
#include "RpcReplica.h"

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QSignalSpy>
#include <QtTest>

#include <csignal>
#include <memory>

namespace {

using Layouts = QList<QPair<QString, QString>>;

Layouts listed()
{
    const LayoutList *list = LayoutListSingleton::instance();
    Layouts rows;
    for (int row = 0; row < list->rowCount(); ++row) {
        const QModelIndex index = list->index(row);
        rows.append({index.data(LayoutList::NameRole).toString(),
                     index.data(LayoutList::JsonRole).toString()});
    }
    return rows;
}

const Layouts shop{{QStringLiteral("Entrance"), QStringLiteral("{\"numRows\":1}")},
                   {QStringLiteral("Caixa – Sé 東"), QStringLiteral("{\"label\":\"Café\"}")}};

} // namespace

class TestQuickRpc : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<RpcHost> m_host;
    QString m_url;

    void newHost()
    {
        static int run = 0;
        m_host = std::make_unique<RpcHost>(
            QStringLiteral("%1/host-%2").arg(RpcHost::sandbox()).arg(++run), m_url);
    }

private slots:
    void initTestCase_data() { RpcHost::addTransportRows(); }

    void init()
    {
        QFETCH_GLOBAL(QString, transport);
        m_url = RpcHost::freeUrl(transport);
        RpcHost::writeConfig(QCoreApplication::applicationDirPath(), m_url);
        newHost();
    }

    void cleanup() { m_host.reset(); }

    void startedBeforeTheConsoleFollowsItsSignIn()
    {
        LayoutList *list = LayoutListSingleton::instance();
        QAbstractItemModelTester tester(list,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        list->clear();

        LogCapture log;
        QuickRpc rpc;
        QVERIFY(!rpc.loggedIn());
        QCOMPARE(log.lines().value(0), QStringLiteral("IPC url: \"%1\"").arg(m_url));
        QCOMPARE(log.lines().value(1), QStringLiteral("Connecting to: QUrl(\"%1\")").arg(m_url));
        QVERIFY(log.lines().value(2).startsWith(
            QStringLiteral("Service instance: client_ServiceReplica(0x")));

        // the console appears, signed out: asked at once, answered false
        QVERIFY(m_host->start());
        m_host->publish(shop);
        QVERIFY(QTest::qWaitFor(
            [&] {
                return log.contains(QStringLiteral(
                    "client_ServiceReplica::stateChanged(new: Valid , old: Default )"));
            },
            15000));
        QTRY_VERIFY_WITH_TIMEOUT(
            log.contains(QStringLiteral("void QuickRpc::handleLoggedIn(bool)")), 10000);
        QVERIFY(log.contains(QStringLiteral("client_ServiceReplica::initialized")));
        QVERIFY(!rpc.loggedIn());

        // signing in switches without any request of ours, and the list follows
        m_host->login();
        QTRY_VERIFY_WITH_TIMEOUT(rpc.loggedIn(), 10000);
        QTRY_COMPARE(listed(), shop);

        // every later list replaces the whole one
        const Layouts other{{QStringLiteral("Yard"), QString()}};
        m_host->publish(other);
        QTRY_COMPARE(listed(), other);
    }

    void closingTheConsoleReturnsToSignedOut()
    {
        QVERIFY(m_host->start());
        m_host->publish(shop);
        m_host->login();
        QuickRpc rpc;
        QTRY_VERIFY_WITH_TIMEOUT(rpc.loggedIn(), 15000);
        QTRY_COMPARE(listed(), shop);

        LogCapture log;
        QVERIFY(m_host->stop());
        // the heartbeat is 5 s while connected; a closed socket is noticed sooner
        QTRY_VERIFY_WITH_TIMEOUT(!rpc.loggedIn(), RpcReplica::longHeartbeatMs + 1000);
        QVERIFY(log.contains(
            QStringLiteral("client_ServiceReplica::stateChanged(new: Suspect , old: Valid )")));
        // the list stays as it was while the console is away
        QCOMPARE(listed(), shop);

        // the console comes back: reconnected and asked again without any action
        newHost();
        QVERIFY(m_host->start());
        m_host->login();
        QTRY_VERIFY_WITH_TIMEOUT(rpc.loggedIn(), 15000);
    }

    void aHungConsoleIsNoticedByTheHeartbeat()
    {
        QVERIFY(m_host->start());
        m_host->login();
        QuickRpc rpc;
        QTRY_VERIFY_WITH_TIMEOUT(rpc.loggedIn(), 15000);

        const qint64 pid = m_host->processId();
        QCOMPARE(::kill(pid_t(pid), SIGSTOP), 0);
        // the socket stays open: only an unanswered heartbeat can tell (one interval to send
        // the ping, one more to miss its answer)
        QTRY_VERIFY_WITH_TIMEOUT(!rpc.loggedIn(), 2 * RpcReplica::longHeartbeatMs + 2000);
        ::kill(pid_t(pid), SIGCONT);
    }

    void consoleSigningOut()
    {
        QVERIFY(m_host->start());
        m_host->login();
        QuickRpc rpc;
        QTRY_VERIFY_WITH_TIMEOUT(rpc.loggedIn(), 15000);
        LogCapture log;
        m_host->logout();
        QTRY_VERIFY_WITH_TIMEOUT(!rpc.loggedIn(), 10000);
        QVERIFY(log.contains(QStringLiteral("void QuickRpc::handleLoggedOut()")));
    }

    void commandsReachTheConsole()
    {
        QVERIFY(m_host->start());
        m_host->login();
        QuickRpc rpc;
        QTRY_VERIFY_WITH_TIMEOUT(rpc.loggedIn(), 15000);

        LogCapture log;
        rpc.setPage(QStringLiteral("Recorder"));
        rpc.setPage(QString());
        QCOMPARE(log.count(QStringLiteral("Invalid page")), 2);
        rpc.setPage(QStringLiteral("recorder"));
        rpc.setPage(QStringLiteral("playback"));
        QCOMPARE(m_host->waitForEvent(QStringLiteral("requestedJumpPage")).value("page").toString(),
                 QStringLiteral("recorder"));
        QCOMPARE(m_host->waitForEvent(QStringLiteral("requestedJumpPage")).value("page").toString(),
                 QStringLiteral("playback"));

        rpc.setLayout(shop.at(1).first, shop.at(1).second);
        const QJsonObject request = m_host->waitForEvent(QStringLiteral("setLayoutRequested"));
        QCOMPARE(request.value("name").toString(), shop.at(1).first);
        QCOMPARE(request.value("json").toString(), shop.at(1).second);
    }

    void anUnusableAddressKeepsItRunning()
    {
        RpcHost::writeConfig(QCoreApplication::applicationDirPath(),
                             QStringLiteral("bogus://nowhere"));
        LogCapture log;
        QuickRpc rpc;
        QVERIFY(log.contains(QStringLiteral("connectToNode() failed")));
        QCOMPARE(log.lines(QtWarningMsg).count(QStringLiteral("connectToNode() failed")), 1);
        QVERIFY(!rpc.loggedIn());
        rpc.setPage(QStringLiteral("recorder")); // goes nowhere, harmlessly
    }
};

QTEST_MAIN(TestQuickRpc)
#include "tst_quickrpc.moc"
