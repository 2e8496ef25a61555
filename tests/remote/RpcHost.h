#pragma once

#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>

// Drives a copy of the rpc_host helper in a folder of its own, so that its "config.ini" (read
// beside the executable, as the console does) is private to the test.
class RpcHost
{
public:
    // folder: created if needed; the helper and its config.ini go there, and it runs there.
    RpcHost(const QString &folder, const QString &url);
    ~RpcHost();

    // Starts the helper and waits until it publishes.
    bool start();
    // Closes the helper like a console that is quit (stdin closed), then waits for its end.
    bool stop();
    void kill();
    qint64 processId() const { return m_process.processId(); }
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }

    void send(const QByteArray &command);
    void login() { send("login"); }
    void logout() { send("logout"); }
    // Publishes (name, json) pairs.
    void publish(const QList<QPair<QString, QString>> &layouts);

    // Waits for the next event of that kind (earlier ones of other kinds are kept); returns
    // an empty object on time-out.
    QJsonObject waitForEvent(const QString &kind, int timeoutMs = 10000);
    // Events received so far and not yet taken.
    QList<QJsonObject> events();

    QString logPath() const { return m_folder + QStringLiteral("/rpc_host.log"); }
    QStringList logLines() const;
    // Waits until the log holds line exactly; false on time-out.
    bool waitForLogLine(const QString &line, int timeoutMs = 10000) const;
    QString folder() const { return m_folder; }

    // The test's sandbox (or the system temporary folder outside the harness).
    static QString sandbox();
    // Data rows "tcp" and "local" in a column "transport", for initTestCase_data(): the
    // suites run once per transport.
    static void addTransportRows();
    // A tcp URL on a port that was free a moment ago, or a local socket name unique to this
    // process; transport is "tcp" or "local".
    static QString freeUrl(const QString &transport);
    // Writes "<folder>/config.ini" with that endpoint. The file's time moves on at each call:
    // QSettings caches the file per process and rereads it only when its size or time changes.
    static void writeConfig(const QString &folder, const QString &url);
    // Hard-links (or copies) a built program into folder and writes config.ini beside it.
    static QString install(const QString &builtProgram, const QString &folder, const QString &url);

private:
    void readEvents();

    QString m_folder;
    QString m_url;
    QProcess m_process;
    QByteArray m_pending;
    QList<QJsonObject> m_events;
};
