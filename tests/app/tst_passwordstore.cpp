// A secret store that takes every request and never answers (a session bus on which the
// wallet's names are held by a process that hangs): the password store answers within its
// time bound without ever holding up the console's thread, says so once, and from then on
// answers at once without asking again.
#include "LogCapture.h"
#include "PasswordStore.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <atomic>

// Swallows every call made to it: the caller waits for an answer that never comes.
class SilentWallet : public QDBusVirtualObject
{
public:
    QString introspect(const QString &) const override { return QString(); }
    bool handleMessage(const QDBusMessage &, const QDBusConnection &) override
    {
        ++calls;
        return true;
    }
    std::atomic<int> calls{0};
};

class TestPasswordStore : public QObject
{
    Q_OBJECT

private:
    QProcess m_bus;
    QThread m_walletThread;
    SilentWallet m_wallet;

private slots:
    void initTestCase()
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty())
            QSKIP("dbus-daemon is needed");
        m_bus.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                             QStringLiteral("--print-address=1")});
        QVERIFY(m_bus.waitForStarted() && m_bus.waitForReadyRead(10000));
        // Before anything in this process reaches the session bus.
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus.readLine().trimmed());
        // The silent wallet has a connection and a thread of its own, as another process would.
        const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
        m_walletThread.start();
        m_wallet.moveToThread(&m_walletThread);
        QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("wallet"));
        QVERIFY(bus.isConnected());
        // The wallet's names, both generations, held by a service that never answers.
        for (const auto &[service, path] : {std::pair{"org.kde.kwalletd5", "/modules/kwalletd5"},
                                            std::pair{"org.kde.kwalletd", "/modules/kwalletd"}}) {
            QVERIFY(bus.registerService(QLatin1String(service)));
            QVERIFY(bus.registerVirtualObject(QLatin1String(path), &m_wallet));
        }
    }

    void cleanupTestCase()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("wallet"));
        m_walletThread.quit();
        m_walletThread.wait();
        if (m_bus.state() != QProcess::NotRunning) {
            m_bus.kill();
            m_bus.waitForFinished();
        }
    }

    void givesUpOnAStoreThatNeverAnswers()
    {
        LogCapture log;
        PasswordStore store;
        QSignalSpy restored(&store, &PasswordStore::restored);
        QSignalSpy kept(&store, &PasswordStore::kept);
        // The console's own thread keeps running its events while the store is asked: the
        // longest pause between two ticks stays far below a blocking call's wait.
        QElapsedTimer clock;
        QElapsedTimer sinceTick;
        qint64 longestPause = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout,
                [&] { longestPause = qMax(longestPause, sinceTick.restart()); });
        ticker.start(20);
        clock.start();
        sinceTick.start();
        store.restore();
        QVERIFY(restored.wait(PasswordStore::answerTimeoutMs + 3000));
        ticker.stop();
        longestPause = qMax(longestPause, sinceTick.elapsed());
        QVERIFY2(clock.elapsed() <= PasswordStore::answerTimeoutMs + 1000,
                 qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(longestPause < 300, qPrintable(QString::number(longestPause)));
        QCOMPARE(restored.first().first().toString(), QString());
        QVERIFY(m_wallet.calls > 0); // the store was asked, and kept silent
        QVERIFY(!store.available());
        const QString fallback =
            QStringLiteral("the password stays in the owner-only settings file");
        QCOMPARE(log.lines().filter(fallback).size(), 1);

        // Known to be missing now: not asked again, answered at once.
        const int calls = m_wallet.calls;
        store.keep(QStringLiteral("operator"));
        QCOMPARE(kept.count(), 1);
        QCOMPARE(kept.first(), (QVariantList{false, QStringLiteral("operator")}));
        QCOMPARE(m_wallet.calls, calls);
        QCOMPARE(log.lines().filter(fallback).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestPasswordStore)
#include "tst_passwordstore.moc"
