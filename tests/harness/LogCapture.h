#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <mutex>

// Records every Qt message while alive (from any thread), formatted the way the log file
// shows it, so tests can assert the exact log lines and their levels. Captures nest: while an
// inner one is alive, the outer ones record the same lines.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QStringList lines() const;
    QStringList lines(QtMsgType type) const;
    // Lines that start with prefix, in order.
    QStringList linesStartingWith(const QString &prefix) const;
    bool contains(const QString &line) const { return lines().contains(line); }
    int count(const QString &line) const { return lines().count(line); }
    void clear();

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &text);

    struct Entry
    {
        QtMsgType type;
        QString text;
    };
    // A pthread mutex rather than a QMutex: ThreadSanitizer sees its ordering (QMutex waits on
    // a futex inside uninstrumented Qt).
    mutable std::mutex m_mutex;
    QList<Entry> m_entries;
    QtMessageHandler m_previous;
    LogCapture *m_outer;
};
