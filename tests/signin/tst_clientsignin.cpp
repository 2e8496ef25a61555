// The whole console with its four login fields stored: it signs in by itself against the demo
// site (served in this process on a free port), or reports the refused password.
#include "ProgramRun.h"
#include "SimServer.h"

#include <QDir>
#include <QSettings>
#include <QTest>

using namespace ardix;

class TestClientSignIn : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<SimServer> m_server;

    static QString logPath()
    {
        return qEnvironmentVariable("HOME") + QStringLiteral("/.local/share/Ardix/clientLogs.txt");
    }

    // Where the login page's settings store lives: no organisation name is set, so Qt keys
    // the default store by the organisation domain and the application name.
    static QString settingsPath()
    {
        return qEnvironmentVariable("XDG_CONFIG_HOME") +
               QStringLiteral("/ardix.example/Ardix.conf");
    }

    void storeFields(const QString &password)
    {
        QSettings stored(settingsPath(), QSettings::IniFormat);
        stored.setValue(QStringLiteral("host"), QStringLiteral("127.0.0.1"));
        stored.setValue(QStringLiteral("port"), QString::number(m_server->port()));
        stored.setValue(QStringLiteral("user"), QStringLiteral("operator"));
        stored.setValue(QStringLiteral("pass"), password);
        stored.sync();
        QCOMPARE(stored.status(), QSettings::NoError);
    }

    // Lines of the log that are one of `wanted`, in the order logged.
    static QStringList matching(const QStringList &wanted)
    {
        QStringList seen;
        for (const QString &line : ProgramRun::readLines(logPath())) {
            for (const QString &w : wanted) {
                if (line.startsWith(w))
                    seen.append(w);
            }
        }
        return seen;
    }

private slots:
    void init()
    {
        std::string error;
        const std::string demo =
            qEnvironmentVariable("ARDIX_SOURCE_DIR").toStdString() + "/sim/sites/demo.json";
        auto site = sim::Site::fromFile(demo, sim::nowMs(), error);
        QVERIFY2(site, error.c_str());
        m_server = std::make_unique<SimServer>(std::move(*site));
        QVERIFY(m_server->start());
        QFile::remove(logPath());
    }

    void cleanup() { m_server.reset(); }

    void signsInByItself()
    {
        storeFields(QStringLiteral("operator"));
        ProgramRun client(ProgramRun::builtProgram(QStringLiteral("client/client")));
        QVERIFY(client.start());
        QVERIFY(ProgramRun::waitForLine(logPath(), QStringLiteral("Fetching layouts ..."), 30000));
        const QStringList wanted{"Connected to Zarn", "Logging in",
                                 "Logged in, id: ", "Fetching objects ...", "Fetching layouts ..."};
        QCOMPARE(matching(wanted), wanted);
        QCOMPARE(m_server->count(QStringLiteral(" signIn -> ok")), 1);
        QCOMPARE(client.process().state(), QProcess::Running);
    }

    void wrongStoredPasswordIsReported()
    {
        storeFields(QStringLiteral("not-the-password"));
        ProgramRun client(ProgramRun::builtProgram(QStringLiteral("client/client")));
        QVERIFY(client.start());
        QVERIFY(ProgramRun::waitForLine(logPath(), QStringLiteral("Login error: "), 30000));
        QCOMPARE(matching({"Login error: "}).size(), 1);
        QCOMPARE(matching({"Logged in, id: "}).size(), 0);
        QCOMPARE(client.process().state(), QProcess::Running);
    }
};

QTEST_GUILESS_MAIN(TestClientSignIn)
#include "tst_clientsignin.moc"
