#include "EventArchive.h"

#include "EventStore.h"

#include <QDateTime>
#include <QDebug>
#include <QThread>
#include <QTimer>

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
        m_retryTimer = new QTimer(m_worker);
        m_retryTimer->setSingleShot(true);
        connect(m_retryTimer, &QTimer::timeout, m_worker, [this] { retry(); });
        m_store = new EventStore(m_fileName);
        // A store that cannot be opened now (the file locked) is opened by the first retry;
        // the list starts meanwhile with what arrives.
        if (!m_store->open(QDateTime::currentMSecsSinceEpoch()))
            m_retryTimer->start(m_backoff.next());
        // Emitted on the store's thread; the list receives it queued on its own.
        emit loaded(m_store->load());
    });
}

void EventArchive::prune(qint64 now)
{
    QMetaObject::invokeMethod(m_worker, [this, now] {
        // Nothing is lost when a prune fails: the next one drops the same events.
        if (m_store && m_kept.isEmpty())
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
            // One last try, on an open store only: opening a locked file would hold up the
            // console's exit for the busy timeout of each of its statements.
            if (!m_kept.isEmpty() && m_store && m_store->isOpen())
                retry();
            if (!m_kept.isEmpty())
                qWarning().noquote()
                    << QStringLiteral("Event store: %1 writes lost, the file stays unwritable")
                           .arg(m_kept.size());
            delete m_store;
            m_store = nullptr;
            delete m_retryTimer;
            m_retryTimer = nullptr;
        },
        Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
}

void EventArchive::write(const Write &write)
{
    if (!m_store)
        return;
    if (m_kept.isEmpty() && m_store->isOpen() && write(*m_store))
        return;
    if (m_kept.isEmpty())
        qWarning().noquote() << "Event store: the file cannot be written, events are kept in "
                                "memory until it can";
    m_kept.append(write);
    if (!m_retryTimer->isActive())
        m_retryTimer->start(m_backoff.next());
}

void EventArchive::retry()
{
    if (!m_store)
        return;
    if (!m_store->isOpen() && !m_store->open(QDateTime::currentMSecsSinceEpoch())) {
        m_retryTimer->start(m_backoff.next());
        return;
    }
    const int kept = m_kept.size();
    while (!m_kept.isEmpty()) {
        if (!m_kept.first()(*m_store)) {
            m_retryTimer->start(m_backoff.next());
            return;
        }
        m_kept.removeFirst();
    }
    if (kept > 0)
        qInfo().noquote() << QStringLiteral("Event store: the file is written again, %1 kept "
                                            "writes done after %2 attempts")
                                 .arg(kept)
                                 .arg(m_backoff.attempts());
    m_backoff.reset();
}

void EventArchive::add(const EventRecords &events)
{
    QMetaObject::invokeMethod(m_worker, [this, events] {
        write([events](EventStore &store) { return store.add(events); });
    });
}

void EventArchive::acknowledge(const QVector<qint64> &keys, const QString &by, qint64 when)
{
    QMetaObject::invokeMethod(m_worker, [this, keys, by, when] {
        write([keys, by, when](EventStore &store) { return store.acknowledge(keys, by, when); });
    });
}

void EventArchive::rename(const EventRecords &events)
{
    QMetaObject::invokeMethod(m_worker, [this, events] {
        write([events](EventStore &store) { return store.rename(events); });
    });
}
