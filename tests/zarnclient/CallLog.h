#pragma once

#include <QList>
#include <QObject>
#include <QVariant>
#include <QVariantList>

// Records a signal's emissions on the thread of the log, like QSignalSpy but safe for signals
// emitted on the event-server library's thread: those arrive queued, so the recorded list is
// only ever touched by the test's own thread. Wait with QTRY_*.
class CallLog : public QObject
{
public:
    template <typename Sender, typename Declarer, typename... Args>
    CallLog(Sender *sender, void (Declarer::*signal)(Args...))
    {
        connect(sender, signal, this, [this](Args... args) {
            m_calls.append(QVariantList{QVariant::fromValue(args)...});
        });
    }

    int count() const { return m_calls.size(); }
    QVariantList at(int i) const { return m_calls.value(i); }
    QVariantList last() const { return m_calls.isEmpty() ? QVariantList() : m_calls.last(); }

private:
    QList<QVariantList> m_calls;
};
