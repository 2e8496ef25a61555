#pragma once

#include "EventRecord.h"

#include <QObject>
#include <QString>
#include <QVector>

class EventStore;
class QThread;

// Keeps the event list in the store from a thread of its own, so that a flood of events never
// waits on the disk: writes are queued to that thread in the order they were asked, and what
// was kept comes back once, as loaded().
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
    QString m_fileName;
    QThread *m_thread = nullptr;
    // Lives on m_thread; owns the store.
    QObject *m_worker = nullptr;
    EventStore *m_store = nullptr;
};
