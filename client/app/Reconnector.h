#pragma once

#include <QObject>
#include <QTimer>

// Paces the attempts to reach the event server again after the connection was lost: the
// waits grow 1, 2, 4, 8, 16 and then 30 s, each with a little jitter so that many consoles
// do not knock on a restarted server at the same instant. The screens read from it whether
// the connection is lost and when the next attempt is.
class Reconnector : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool active READ isActive NOTIFY activeChanged)
    Q_PROPERTY(int attempt READ attempt NOTIFY nextAttemptChanged)
    // Milliseconds since the epoch of the next attempt; 0 while one is under way.
    Q_PROPERTY(qint64 nextAttemptAt READ nextAttemptAt NOTIFY nextAttemptChanged)

public:
    explicit Reconnector(QObject *parent = nullptr);

    bool isActive() const { return m_active; }
    int attempt() const { return m_attempt; }
    qint64 nextAttemptAt() const { return m_nextAttemptAt; }

    // The wait before attempt n (1-based), without jitter.
    static int baseDelayMs(int attempt);

    // The connection is lost: the first attempt follows after the first wait.
    void begin();
    // The last attempt failed: the next one is scheduled.
    void attemptFailed();
    // Signed in again, or given up for good.
    void finish();

signals:
    void activeChanged();
    void nextAttemptChanged();
    // Time for the next attempt (its number in attempt()).
    void attemptDue();

private:
    void schedule();
    void fire();

    QTimer m_timer;
    bool m_active = false;
    int m_attempt = 0;
    qint64 m_nextAttemptAt = 0;
};
