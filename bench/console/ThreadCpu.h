#pragma once

#include <QMap>
#include <QString>
#include <QtGlobal>

// CPU time of a process's threads, read from /proc/<pid>/task/*/stat and summed by kind of
// thread: the name without its trailing number ("llvmpipe-3" counts as "llvmpipe-N"). Tells
// where a run's time went: decoding, drawing, the GUI thread, the simulator. Threads that
// ended between two samples are missing from the later one.
class ThreadCpu
{
public:
    explicit ThreadCpu(qint64 pid);

    // Reads every thread's CPU seconds now.
    void sample();
    // Seconds each kind of thread used between the last two samples, and how many threads of
    // that kind the later one saw.
    QMap<QString, QPair<double, int>> sinceLast() const;

private:
    using Times = QMap<qint64, QPair<QString, double>>; // by thread id: kind, seconds

    static QString kindOf(QString name);

    qint64 m_pid;
    Times m_before;
    Times m_now;
};
