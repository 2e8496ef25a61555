#include "ProgramRun.h"

#include <QFile>
#include <QProcessEnvironment>
#include <QTest>

QString ProgramRun::builtProgram(const QString &relativePath)
{
    return qEnvironmentVariable("ARDIX_BUILD_DIR") + QLatin1Char('/') + relativePath;
}

ProgramRun::ProgramRun(const QString &program, const QStringList &arguments)
    : m_program(program)
    , m_arguments(arguments)
{
    m_process.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
}

ProgramRun::~ProgramRun()
{
    stop();
}

void ProgramRun::setEnv(const QString &name, const QString &value)
{
    QProcessEnvironment env = m_process.processEnvironment();
    if (value.isNull())
        env.remove(name);
    else
        env.insert(name, value);
    m_process.setProcessEnvironment(env);
}

void ProgramRun::setWorkingDirectory(const QString &folder)
{
    m_process.setWorkingDirectory(folder);
}

bool ProgramRun::start()
{
    m_process.start(m_program, m_arguments);
    return m_process.waitForStarted(10000);
}

bool ProgramRun::waitForExit(int timeoutMs)
{
    return m_process.state() == QProcess::NotRunning || m_process.waitForFinished(timeoutMs);
}

void ProgramRun::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QStringList ProgramRun::readLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

bool ProgramRun::waitForLine(const QString &path, const QString &text, int timeoutMs)
{
    return QTest::qWaitFor(
        [&] {
            const QStringList lines = readLines(path);
            for (const QString &line : lines) {
                if (line.contains(text))
                    return true;
            }
            return false;
        },
        timeoutMs);
}
