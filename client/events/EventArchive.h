#pragma once

#include "EventRecord.h"
#include "RetryBackoff.h"

#include <QObject>
#include <QString>
#include <QVector>

#include <functional>

class EventStore;
class QThread;
class QTimer;

// Keeps the event list in the store from a thread of its own, so that a flood of events never
// waits on the disk: writes are queued to that thread in the order they were asked, and what
// was kept comes back once, as loaded(). A write the store cannot take (the file locked by
// another program, or not open yet) is kept in memory with the ones that follow it, in their
// order, and they are tried again on a timer (after 1 s, then twice as long each time, at most
// every 30 s) until the store takes them: none is lost while the console runs.
class EventArchive : public QObject
{
    Q_OBJECT
public:
    explicit EventArchive(const QString &fileName = QStringLiteral("data.sqlite"),
                          QObject *parent = nullptr);
    // Finishes the queued writes before returning.
    ~EventArchive() override;

    // Opens the store and loads what it keeps (loaded() follows); called once the receivers
    // of loaded() are connected, so that it cannot go out unheard.
    void start();
    // Drops the events older than the store keeps.
    void prune(qint64 now);

    void add(const EventRecords &events);
    void acknowledge(const QVector<qint64> &keys, const QString &by, qint64 when);
    void rename(const EventRecords &events);

signals:
    // The events kept from earlier runs, newest first; sent once, soon after construction.
    void loaded(EventRecords events);

private:
    using Write = std::function<bool(EventStore &)>;
    // On the store's thread: runs the write, or keeps it behind those waiting already.
    void write(const Write &write);
    // On the store's thread: opens the store if it is not, then runs the kept writes in order.
    void retry();

    QString m_fileName;
    QThread *m_thread = nullptr;
    // Lives on m_thread; owns the store.
    QObject *m_worker = nullptr;
    EventStore *m_store = nullptr;
    // These three belong to m_thread.
    QTimer *m_retryTimer = nullptr;
    RetryBackoff m_backoff;
    QVector<Write> m_kept;
};
