#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// An X server of the test's own, so that parallel tests never cover each other's windows or
// take each other's clicks, plus the X tools that drive programs on it.
class XServer
{
public:
    ~XServer();

    // True when Xvfb and xdotool are installed.
    static bool available();
    // Starts Xvfb with one screen of that size ("640x480"); false when it does not come up.
    bool start(const QString &size);
    void stop();
    // ":N", for DISPLAY.
    QString display() const { return m_display; }

    // Runs xdotool on this display and returns what it printed.
    QString xdotool(const QStringList &arguments) const;
    // Runs any program on this display and returns what it printed.
    QString run(const QString &program, const QStringList &arguments) const;
    // The first visible window of a process, waiting up to timeoutMs; empty when none came.
    QString waitForWindow(qint64 pid, int timeoutMs = 15000) const;

private:
    QProcess m_process;
    QString m_display;
};
