// The controller's sign-in sequence against the simulated event server over loopback TCP:
// what it logs, what it signals, the tree and layout list it loads, and a door command.
#include "App.h"
#include "CallLog.h"
#include "LogCapture.h"
#include "RpcSource.h"
#include "SimServer.h"
#include "client_Service.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

using namespace ardix;

class TestSignIn : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<SimServer> m_server;
    std::unique_ptr<App> m_app;

    void startServer()
    {
        m_server = std::make_unique<SimServer>(sites::shop());
        QVERIFY(m_server->start());
    }

    void login(const QString &password)
    {
        m_app->login(QStringLiteral("operator"), password, QStringLiteral("127.0.0.1"),
                     m_server->port());
    }

    void signInAndLoad()
    {
        startServer();
        QSignalSpy rebuilt(m_app->zarnRepository(), &ZarnObjectsRepository::dataChanged);
        login(QStringLiteral("operator"));
        QVERIFY(rebuilt.wait(5000));
    }

    client_Service *service() const { return m_app->rpcSource()->service().get(); }

private slots:
    void init() { m_app = std::make_unique<App>(); }

    void cleanup()
    {
        m_app.reset();
        m_server.reset();
    }

    void signInLoadsTreeAndLayouts()
    {
        startServer();
        LogCapture log;
        QSignalSpy loggedIn(m_app.get(), &App::loggedIn);
        QSignalSpy loginError(m_app.get(), &App::loginError);
        CallLog layouts(service(), &client_Service::layoutListChanged);
        QSignalSpy rebuilt(m_app->zarnRepository(), &ZarnObjectsRepository::dataChanged);
        login(QStringLiteral("operator"));

        QVERIFY(loggedIn.wait(5000));
        QVERIFY(service()->isLoggedIn());
        QTRY_COMPARE(rebuilt.count(), 1);
        QTRY_COMPARE(layouts.count(), 1);
        QCOMPARE(loginError.count(), 0);

        const QStringList expected{"Connected to Zarn", "Logging in", "Logged in, id:  500",
                                   "Fetching objects ...", "Fetching layouts ..."};
        QStringList seen;
        for (const QString &line : log.lines()) {
            if (expected.contains(line))
                seen.append(line);
        }
        QCOMPARE(seen, expected);
        QCOMPARE(m_app->zarnRepository()->root()->id(), QStringLiteral("1"));

        const QList<client_Layout> list = service()->layoutList();
        QCOMPARE(list.size(), 2);
        QCOMPARE(list.at(0).name(), QStringLiteral("Hall"));
        QCOMPARE(list.at(0).json(), QStringLiteral(R"({"numRows":1,"numCols":1})"));
        QCOMPARE(list.at(1).name(), QStringLiteral("Caf\u00e9"));
    }

    void wrongPasswordReportsServerText()
    {
        startServer();
        LogCapture log;
        QSignalSpy loginError(m_app.get(), &App::loginError);
        login(QStringLiteral("wrong"));
        QVERIFY(loginError.wait(5000));
        QCOMPARE(loginError.at(0).at(0).toString(), QStringLiteral("wrong user name or password"));
        QCOMPARE(log.lines(QtWarningMsg),
                 QStringList{"Login error:  \"wrong user name or password\""});
        QVERIFY(!service()->isLoggedIn());
    }

    void refusedConnectionSaysFailedToConnect()
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const int port = probe.serverPort();
        probe.close();
        LogCapture log;
        QSignalSpy loginError(m_app.get(), &App::loginError);
        m_app->login(QStringLiteral("operator"), QStringLiteral("operator"),
                     QStringLiteral("127.0.0.1"), port);
        QVERIFY(loginError.wait(5000));
        QCOMPARE(loginError.at(0), QVariantList{QStringLiteral("Failed to connect")});
        // The library's reason, once.
        QCOMPARE(log.lines(QtWarningMsg),
                 QStringList{QStringLiteral("zarn: open failed: cannot connect to 127.0.0.1:%1: "
                                            "Connection refused")
                                 .arg(port)});
        QVERIFY(log.lines(QtInfoMsg).isEmpty());
    }

    void retryAfterFailureSignsInOnce()
    {
        startServer();
        LogCapture log;
        QSignalSpy loginError(m_app.get(), &App::loginError);
        QSignalSpy loggedIn(m_app.get(), &App::loggedIn);
        login(QStringLiteral("wrong"));
        QVERIFY(loginError.wait(5000));
        login(QStringLiteral("wrong"));
        QTRY_COMPARE(loginError.count(), 2);

        QSignalSpy rebuilt(m_app->zarnRepository(), &ZarnObjectsRepository::dataChanged);
        CallLog layouts(service(), &client_Service::layoutListChanged);
        login(QStringLiteral("operator"));
        QVERIFY(loggedIn.wait(5000));
        QTRY_COMPARE(layouts.count(), 1);
        // one sign-in request per attempt, one of each answer
        QCOMPARE(m_server->count(QStringLiteral(" signIn ")), 3);
        QCOMPARE(log.count(QStringLiteral("Logging in")), 3);
        QCOMPARE(loggedIn.count(), 1);
        QCOMPARE(loginError.count(), 2);
        QCOMPARE(rebuilt.count(), 1);
        QCOMPARE(m_server->count(QStringLiteral(" getObjects ")), 1);
    }

    void objectFetchFailureIsLogged()
    {
        startServer();
        // park the object request as soon as the sign-in is through, then drop the line
        connect(m_app.get(), &App::loggedIn, this,
                [this] { m_server->sim().setHoldRequests(true); });
        LogCapture log;
        QSignalSpy rebuilt(m_app->zarnRepository(), &ZarnObjectsRepository::dataChanged);
        login(QStringLiteral("operator"));
        QTRY_VERIFY(m_server->sim().waitForHeldRequests(1, std::chrono::milliseconds(0)));
        m_server->sim().closeAllConnections();
        QTRY_COMPARE(log.linesStartingWith(QStringLiteral("Fetching objects failed:")).size(), 1);
        QVERIFY(log.linesStartingWith(QStringLiteral("Fetching objects failed:"))
                    .first()
                    .endsWith(QStringLiteral("Code: 1002\"")));
        QCOMPARE(rebuilt.count(), 0);
        QVERIFY(m_app->zarnRepository()->objects().isEmpty());
    }

    void layoutFetchFailureIsLogged()
    {
        LogCapture log;
        m_app->fetchLayoutsList(); // not connected: the request fails at once
        QTRY_COMPARE(log.linesStartingWith(QStringLiteral("Fetching layouts failed:")).size(), 1);
        QCOMPARE(log.lines(QtWarningMsg).size(), 1);
        QVERIFY(service()->layoutList().isEmpty());
    }

    void doorWriteGoesToServerAndWaitsForReport()
    {
        signInAndLoad();
        ZarnObject *lock = m_app->zarnRepository()->objectById(QStringLiteral("22"));
        ZarnObject *contact = m_app->zarnRepository()->objectById(QStringLiteral("21"));
        QVERIFY(lock && contact);
        QSignalSpy lockChanged(lock, &ZarnObject::valueChanged);

        // a write on a sensor is no request at all
        contact->setProperty("value", true);
        m_server->sim().setHoldRequests(true);
        lock->setProperty("value", true);
        QTRY_VERIFY(m_server->sim().waitForHeldRequests(1, std::chrono::milliseconds(0)));
        QVERIFY(!lock->value());
        QCOMPARE(lockChanged.count(), 0);

        m_server->sim().setHoldRequests(false);
        QVERIFY(lockChanged.wait(5000));
        QVERIFY(lock->value());
        QTRY_VERIFY(contact->value()); // the contact follows its lock
        QCOMPARE(m_server->count(QStringLiteral(" setActuatorValue ")), 1);
    }
};

QTEST_MAIN(TestSignIn)
#include "tst_signin.moc"
