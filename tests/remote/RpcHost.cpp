#include "RpcHost.h"

#include "FreePort.h"
#include "ProgramRun.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcessEnvironment>
#include <QTest>

#include <unistd.h>

RpcHost::RpcHost(const QString &folder, const QString &url)
    : m_folder(folder)
    , m_url(url)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // The level goes into the log too, so that tests can tell warnings from other lines.
    env.insert(QStringLiteral("QT_MESSAGE_PATTERN"), QStringLiteral("%{type}|%{message}"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    m_process.setProcessEnvironment(env);
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.setReadChannel(QProcess::StandardOutput);
    QObject::connect(&m_process, &QProcess::readyReadStandardError, [this] {
        // Not part of the protocol; keep it visible in the test output.
        qInfo().noquote() << "rpc_host:" << m_process.readAllStandardError().trimmed();
    });
}

RpcHost::~RpcHost()
{
    if (isRunning() && !stop())
        kill();
}

QString RpcHost::sandbox()
{
    const QString root = qEnvironmentVariable("ARDIX_TEST_ROOT");
    return root.isEmpty() ? QDir::tempPath() : root;
}

QString RpcHost::freeUrl(const QString &transport)
{
    static int counter = 0;
    if (transport == QLatin1String("local")) {
        return QStringLiteral("local:ardix-rc-%1-%2")
            .arg(QCoreApplication::applicationPid())
            .arg(++counter);
    }
    return QStringLiteral("tcp://127.0.0.1:%1").arg(scene::freePort());
}

QString RpcHost::install(const QString &builtProgram, const QString &folder, const QString &url)
{
    QDir().mkpath(folder);
    const QString target = folder + QLatin1Char('/') + QFileInfo(builtProgram).fileName();
    QFile::remove(target);
    // A hard link keeps the program's own folder (and so its config.ini) at target; a copy
    // does the same where links are not possible.
    if (::link(QFile::encodeName(builtProgram).constData(),
               QFile::encodeName(target).constData()) != 0)
        QFile::copy(builtProgram, target);
    writeConfig(folder, url);
    return target;
}

void RpcHost::writeConfig(const QString &folder, const QString &url)
{
    static int rewrites = 0;
    QFile config(folder + QStringLiteral("/config.ini"));
    if (!config.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    config.write(QStringLiteral("[IPC]\nurl=%1\n").arg(url).toUtf8());
    config.setFileTime(QDateTime::currentDateTime().addSecs(++rewrites),
                       QFileDevice::FileModificationTime);
}

bool RpcHost::start()
{
    const QString program =
        install(ProgramRun::builtProgram(QStringLiteral("tests/remote/rpc_host")), m_folder, m_url);
    m_process.setWorkingDirectory(m_folder);
    m_events.clear();
    m_pending.clear();
    m_process.start(program, QStringList());
    if (!m_process.waitForStarted(10000))
        return false;
    return !waitForEvent(QStringLiteral("ready"), 15000).isEmpty();
}

bool RpcHost::stop()
{
    if (!isRunning())
        return true;
    m_process.closeWriteChannel();
    return m_process.waitForFinished(10000);
}

void RpcHost::kill()
{
    m_process.kill();
    m_process.waitForFinished(5000);
}

void RpcHost::send(const QByteArray &command)
{
    m_process.write(command + '\n');
    m_process.waitForBytesWritten(5000);
}

void RpcHost::publish(const QList<QPair<QString, QString>> &layouts)
{
    QJsonArray array;
    for (const auto &layout : layouts)
        array.append(QJsonObject{{"name", layout.first}, {"json", layout.second}});
    send("layouts " + QJsonDocument(array).toJson(QJsonDocument::Compact));
}

void RpcHost::readEvents()
{
    m_pending.append(m_process.readAllStandardOutput());
    int end;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        m_events.append(QJsonDocument::fromJson(m_pending.left(end)).object());
        m_pending.remove(0, end + 1);
    }
}

QJsonObject RpcHost::waitForEvent(const QString &kind, int timeoutMs)
{
    QJsonObject found;
    auto take = [&] {
        readEvents();
        for (int i = 0; i < m_events.size(); ++i) {
            if (m_events.at(i).value(QStringLiteral("event")).toString() == kind) {
                found = m_events.takeAt(i);
                return true;
            }
        }
        return false;
    };
    if (!QTest::qWaitFor(take, timeoutMs))
        return {};
    return found;
}

QList<QJsonObject> RpcHost::events()
{
    readEvents();
    return m_events;
}

QStringList RpcHost::logLines() const
{
    return ProgramRun::readLines(logPath());
}

bool RpcHost::waitForLogLine(const QString &line, int timeoutMs) const
{
    return QTest::qWaitFor([&] { return logLines().contains(line); }, timeoutMs);
}

void RpcHost::addTransportRows()
{
    QTest::addColumn<QString>("transport");
    QTest::newRow("tcp") << QStringLiteral("tcp");
    QTest::newRow("local") << QStringLiteral("local");
}
