#include "EventArchive.h"

#include "EventStore.h"

#include <QDateTime>
#include <QThread>

EventArchive::EventArchive(const QString &fileName, QObject *parent)
    : QObject(parent)
    , m_fileName(fileName)
    , m_thread(new QThread(this))
    , m_worker(new QObject)
{
    qRegisterMetaType<EventRecords>();
    m_thread->setObjectName(QStringLiteral("event store"));
    m_worker->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread->start();
}

void EventArchive::start()
{
    QMetaObject::invokeMethod(m_worker, [this] {
        if (m_store)
            return;
        m_store = new EventStore(m_fileName);
        m_store->open(QDateTime::currentMSecsSinceEpoch());
        // Emitted on the store's thread; the list receives it queued on its own.
        emit loaded(m_store->load());
    });
}

void EventArchive::prune(qint64 now)
{
    QMetaObject::invokeMethod(m_worker, [this, now] {
        if (m_store)
            m_store->prune(now);
    });
}

EventArchive::~EventArchive()
{
    // Queued after every write asked before, and waited for: they all reach the disk first
    // (quitting alone would leave queued writes undone).
    QMetaObject::invokeMethod(
        m_worker,
        [this] {
            delete m_store;
            m_store = nullptr;
        },
        Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
}

void EventArchive::add(const EventRecords &events)
{
    QMetaObject::invokeMethod(m_worker, [this, events] {
        if (m_store)
            m_store->add(events);
    });
}

void EventArchive::acknowledge(const QVector<qint64> &keys, const QString &by, qint64 when)
{
    QMetaObject::invokeMethod(m_worker, [this, keys, by, when] {
        if (m_store)
            m_store->acknowledge(keys, by, when);
    });
}

void EventArchive::rename(const EventRecords &events)
{
    QMetaObject::invokeMethod(m_worker, [this, events] {
        if (m_store)
            m_store->rename(events);
    });
}
