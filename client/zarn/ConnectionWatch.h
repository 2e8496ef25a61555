#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

// Notices an event-server connection that has gone quiet: while running it sends a cheap
// probe every interval and reports lost() when a probe stays unanswered for the deadline.
// A TCP connection to a server that hangs, or a network that drops packets without a reset,
// never reports an error by itself.
class ConnectionWatch : public QObject
{
    Q_OBJECT

public:
    // probe(token) sends one request; its answer (any answer) must come back through
    // answered(token) on this object's thread.
    using Probe = std::function<void(quint64 token)>;

    explicit ConnectionWatch(Probe probe, QObject *parent = nullptr);

    void setTimes(int intervalMs, int deadlineMs);
    void start();
    void stop();
    bool isRunning() const { return m_interval.isActive(); }
    void answered(quint64 token);

signals:
    void lost();

private:
    void sendProbe();
    void expire();

    Probe m_probe;
    QTimer m_interval;
    QTimer m_deadline;
    quint64 m_token = 0;
    quint64 m_waitingFor = 0; // 0: no probe outstanding
};
