#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// A whole program started by a test: its own process, the test's sandboxed environment, and
// its log file read back line by line.
class ProgramRun
{
public:
    // Path of a program built in this tree, e.g. "client/client".
    static QString builtProgram(const QString &relativePath);

    ProgramRun(const QString &program, const QStringList &arguments = {});
    ~ProgramRun();

    void setEnv(const QString &name, const QString &value);
    void setWorkingDirectory(const QString &folder);
    bool start();
    // Waits for the process to end by itself; false on time-out.
    bool waitForExit(int timeoutMs);
    void stop();

    QProcess &process() { return m_process; }
    int exitCode() const { return m_process.exitCode(); }

    // Lines of a log file, without line ends; empty when the file does not exist.
    static QStringList readLines(const QString &path);
    // Waits until some line of the log file contains text; false on time-out.
    static bool waitForLine(const QString &path, const QString &text, int timeoutMs = 15000);

private:
    QProcess m_process;
    QString m_program;
    QStringList m_arguments;
};
