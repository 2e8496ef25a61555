// The console's first scene in this process, with the simulated event server: the login page
// keeps its four fields, signs in by itself when all are stored, and locks its form meanwhile.
#include "SimServer.h"
#include "Startup.h"

#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QSettings>
#include <QTest>

using namespace ardix;

class TestLoginPage : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<SimServer> m_server;
    std::unique_ptr<QQmlApplicationEngine> m_engine;

    static QString settingsPath()
    {
        return qEnvironmentVariable("XDG_CONFIG_HOME") +
               QStringLiteral("/ardix.example/Ardix.conf");
    }

    void store(const QString &user, const QString &password)
    {
        QSettings stored;
        stored.clear();
        stored.setValue(QStringLiteral("host"), QStringLiteral("127.0.0.1"));
        stored.setValue(QStringLiteral("port"), QString::number(m_server->port()));
        stored.setValue(QStringLiteral("user"), user);
        stored.setValue(QStringLiteral("pass"), password);
        stored.sync();
    }

    void load()
    {
        m_engine = std::make_unique<QQmlApplicationEngine>();
        Startup::loadScene(*m_engine, QStringLiteral("1"),
                           QUrl(QStringLiteral("qrc:/qml/main.qml")));
        QCOMPARE(m_engine->rootObjects().size(), 1);
    }

    QObject *find(const char *name) const
    {
        return m_engine->rootObjects().first()->findChild<QObject *>(QLatin1String(name));
    }

    QStringList enabledStates() const
    {
        QStringList states;
        for (const char *name : {"hostField", "portField", "userField", "passField", "loginButton"})
            states.append(find(name)->property("enabled").toBool() ? "on" : "off");
        return states;
    }

    static QStringList all(const QString &state)
    {
        QStringList states;
        for (int i = 0; i < 5; ++i)
            states.append(state);
        return states;
    }

private slots:
    void init()
    {
        m_server = std::make_unique<SimServer>(sites::shop());
        QVERIFY(m_server->start());
    }

    void cleanup()
    {
        m_engine.reset();
        m_server.reset();
    }

    void settingsFileIsKeyedByDomainAndName() { QCOMPARE(QSettings().fileName(), settingsPath()); }

    void storedFieldsSignInByThemselves()
    {
        store(QStringLiteral("operator"), QStringLiteral("operator"));
        load();
        QCOMPARE(find("hostField")->property("text").toString(), QStringLiteral("127.0.0.1"));
        QCOMPARE(enabledStates(), all("off"));
        QTRY_VERIFY(find("mainPage"));
        QCOMPARE(m_server->count(QStringLiteral(" signIn -> ok")), 1);
    }

    void refusedSignInEnablesTheFormAgain()
    {
        store(QStringLiteral("operator"), QStringLiteral("wrong"));
        load();
        QCOMPARE(enabledStates(), all("off"));
        QTRY_COMPARE(enabledStates(), all("on"));
        QCOMPARE(m_server->count(QStringLiteral(" signIn -> error 403")), 1);
        QVERIFY(find("loginPage"));
        QVERIFY(!find("mainPage"));
    }

    void missingFieldWaitsForTheButton()
    {
        store(QStringLiteral("operator"), QString());
        load();
        // a sign-in would have locked the form while the page completed
        QCOMPARE(enabledStates(), all("on"));
        QCOMPARE(m_server->sim().connectionCount(), std::size_t(0));

        find("passField")->setProperty("text", QStringLiteral("operator"));
        QMetaObject::invokeMethod(find("loginButton"), "clicked");
        QCOMPARE(enabledStates(), all("off"));
        QTRY_VERIFY(find("mainPage"));
        // the typed password went to the settings store as entered
        QTRY_COMPARE(QSettings(settingsPath(), QSettings::IniFormat).value("pass").toString(),
                     QStringLiteral("operator"));
    }
};

int main(int argc, char *argv[])
{
    // The identity decides where the settings store is, so it comes before the application.
    Startup::setIdentity();
    QGuiApplication app(argc, argv);
    TestLoginPage test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_loginpage.moc"
