#include "XServer.h"

#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTest>

XServer::~XServer()
{
    stop();
}

bool XServer::available()
{
    return !QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty();
}

bool XServer::start(const QString &size)
{
    // -noreset: by default Xvfb resets whenever its last client disconnects, and a client
    // connecting during that reset is dropped (the program under test racing the xdotool
    // runs that look for its window).
    m_process.start(QStringLiteral("Xvfb"),
                    {"-displayfd", "1", "-screen", "0", size + QStringLiteral("x24"), "-nolisten",
                     "tcp", "-noreset"});
    if (!m_process.waitForStarted(10000))
        return false;
    if (!QTest::qWaitFor([&] { return m_process.canReadLine(); }, 15000))
        return false;
    m_display = QLatin1Char(':') + QString::fromLatin1(m_process.readLine()).trimmed();
    return true;
}

void XServer::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000))
        m_process.kill();
}

QString XServer::run(const QString &program, const QStringList &arguments) const
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    process.waitForFinished(15000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

QString XServer::xdotool(const QStringList &arguments) const
{
    return run(QStringLiteral("xdotool"), arguments);
}

QString XServer::waitForWindow(qint64 pid, int timeoutMs) const
{
    QString window;
    // The result is the window itself: empty when none came in time.
    (void)QTest::qWaitFor(
        [&] {
            window = xdotool({"search", "--onlyvisible", "--pid", QString::number(pid)})
                         .section(QLatin1Char('\n'), 0, 0);
            return !window.isEmpty();
        },
        timeoutMs);
    return window;
}
