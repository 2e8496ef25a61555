// The controller losing and regaining the event server, against the simulated server over
// loopback TCP: a dropped connection and a server that stops answering are both noticed,
// replicas are told, the console reconnects with growing waits and loads the tree and the
// layouts again; a sign-in refused meanwhile sends the operator back to the login screen.
#include "App.h"
#include "CallLog.h"
#include "LogCapture.h"
#include "Reconnector.h"
#include "RpcSource.h"
#include "SimServer.h"
#include "client_Service.h"

#include <QDateTime>
#include <QSignalSpy>
#include <QTest>

#include <chrono>

using namespace std::chrono_literals;

class TestReconnect : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<SimServer> m_server;
    std::unique_ptr<App> m_app;

    client_Service *service() const { return m_app->rpcSource()->service().get(); }

    void signIn()
    {
        m_server = std::make_unique<SimServer>(sites::shop());
        QVERIFY(m_server->start());
        QSignalSpy layouts(service(), &client_Service::layoutListChanged);
        m_app->login(QStringLiteral("operator"), QStringLiteral("operator"),
                     QStringLiteral("127.0.0.1"), m_server->port());
        QVERIFY(layouts.wait(5000));
        QVERIFY(service()->isLoggedIn());
    }

private slots:
    void init() { m_app = std::make_unique<App>(); }

    void cleanup()
    {
        m_app.reset();
        m_server.reset();
    }

    void backoffGrowsToThirtySeconds_data()
    {
        QTest::addColumn<int>("attempt");
        QTest::addColumn<int>("base");
        QTest::newRow("before the first") << 0 << 1000;
        QTest::newRow("negative") << -5 << 1000;
        QTest::newRow("1") << 1 << 1000;
        QTest::newRow("2") << 2 << 2000;
        QTest::newRow("3") << 3 << 4000;
        QTest::newRow("4") << 4 << 8000;
        QTest::newRow("5") << 5 << 16000;
        QTest::newRow("6") << 6 << 30000;
        QTest::newRow("100") << 100 << 30000;
    }

    void backoffGrowsToThirtySeconds()
    {
        QFETCH(int, attempt);
        QFETCH(int, base);
        QCOMPARE(Reconnector::baseDelayMs(attempt), base);
        if (attempt < 1)
            return;
        // the wait scheduled for that attempt: the base plus at most a tenth
        Reconnector reconnector;
        QSignalSpy due(&reconnector, &Reconnector::attemptDue);
        reconnector.begin();
        for (int n = 1; n < attempt; ++n)
            reconnector.attemptFailed();
        QCOMPARE(reconnector.attempt(), attempt);
        const qint64 wait = reconnector.nextAttemptAt() - QDateTime::currentMSecsSinceEpoch();
        QVERIFY2(wait >= base - 50 && wait <= base * 11 / 10, qPrintable(QString::number(wait)));
        reconnector.finish();
        QVERIFY(!reconnector.isActive());
        QCOMPARE(reconnector.nextAttemptAt(), 0);
        QCOMPARE(due.count(), 0);
    }

    void lostConnectionIsRegained_data()
    {
        QTest::addColumn<bool>("hang");
        QTest::addColumn<QString>("noticed");
        QTest::newRow("dropped") << false << QStringLiteral("zarn: connection to 127.0.0.1:");
        QTest::newRow("server stops answering")
            << true << QStringLiteral("The event server does not answer; closing the connection");
    }

    void lostConnectionIsRegained()
    {
        QFETCH(bool, hang);
        QFETCH(QString, noticed);
        m_app->zarnClient()->setKeepAliveTimes(100, 400);
        signIn();
        LogCapture log;
        QSignalSpy loggedOut(m_app.get(), &App::loggedOut);
        CallLog replicaOut(service(), &client_Service::loggedOut);
        QSignalSpy loggedIn(m_app.get(), &App::loggedIn);
        QSignalSpy layouts(service(), &client_Service::layoutListChanged);
        const int treesLoaded = m_server->count(QStringLiteral("getObjects -> ok"));

        if (hang) {
            m_server->sim().setHoldRequests(true);
        } else {
            m_server->sim().dropConnections(1500ms);
        }
        QVERIFY(loggedOut.wait(3000));
        QCOMPARE(replicaOut.count(), 1);
        QVERIFY(!service()->isLoggedIn());
        QVERIFY(m_app->reconnector()->isActive());
        QVERIFY(m_app->reconnector()->nextAttemptAt() > 0);
        QVERIFY(!log.linesStartingWith(noticed).isEmpty());
        QVERIFY(log.lines(QtWarningMsg)
                    .contains(QStringLiteral("Connection to the event server lost")));
        QVERIFY(log.lines(QtInfoMsg).contains(QStringLiteral("Logged out")));
        if (hang)
            m_server->sim().setHoldRequests(false);

        // signed in again with the same fields; tree and layouts reloaded and republished
        QVERIFY(loggedIn.wait(10000));
        QTRY_VERIFY(layouts.count() >= 1);
        QVERIFY(service()->isLoggedIn());
        QVERIFY(!m_app->reconnector()->isActive());
        QTRY_VERIFY(m_server->count(QStringLiteral("getObjects -> ok")) > treesLoaded);
        QCOMPARE(service()->layoutList().size(), 2);
        QVERIFY(log.lines(QtInfoMsg).contains(
            QStringLiteral("Reconnecting to the event server, attempt 1")));
        QVERIFY(log.lines(QtInfoMsg).contains(QStringLiteral("Reconnected to the event server")));
        QCOMPARE(loggedOut.count(), 1);
    }

    void refusedSignInAsksForLogin()
    {
        signIn();
        LogCapture log;
        QSignalSpy loginRequired(m_app.get(), &App::loginRequired);
        QSignalSpy loginError(m_app.get(), &App::loginError);
        m_server->sim().refuseSignIns(60s);
        m_server->sim().dropConnections(0ms);
        QVERIFY(loginRequired.wait(5000));
        QCOMPARE(loginRequired.at(0).at(0).toString(),
                 QStringLiteral("wrong user name or password"));
        QCOMPARE(loginError.count(), 0);
        QVERIFY(!m_app->reconnector()->isActive());
        QVERIFY(!service()->isLoggedIn());
        // no attempt follows
        const int attempts =
            log.linesStartingWith(QStringLiteral("Reconnecting to the event server")).size();
        QVERIFY(
            !QTest::qWaitFor([&] { return m_server->count(QStringLiteral("signIn")) > 2; }, 2500));
        QCOMPARE(log.linesStartingWith(QStringLiteral("Reconnecting to the event server")).size(),
                 attempts);
    }

    void failedFirstSignInIsNotRetried()
    {
        // Without an earlier sign-in a refused port is the login form's business.
        QSignalSpy loginError(m_app.get(), &App::loginError);
        m_app->login(QStringLiteral("operator"), QStringLiteral("operator"),
                     QStringLiteral("127.0.0.1"), 1);
        QVERIFY(loginError.wait(10000));
        QCOMPARE(loginError.at(0).at(0).toString(), QStringLiteral("Failed to connect"));
        QVERIFY(!m_app->reconnector()->isActive());
    }
};

QTEST_GUILESS_MAIN(TestReconnect)
#include "tst_reconnect.moc"
