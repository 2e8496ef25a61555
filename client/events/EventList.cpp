#include "EventList.h"

#include "EventArchive.h"
#include "EventSource.h"
#include "EventStore.h"
#include "EventText.h"
#include "ZarnObject.h"
#include "ZarnObjectsRepository.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QQmlEngine>

#include <algorithm>

namespace {

void registerEventList()
{
    qmlRegisterUncreatableType<EventList>("Native", 1, 0, "EventList",
                                          QStringLiteral("The console has one: App.events"));
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(registerEventList)

EventList::EventList(const QString &fileName, QObject *parent)
    : QAbstractListModel(parent)
{
    m_batch.setSingleShot(true);
    m_batch.setInterval(kBatchMs);
    connect(&m_batch, &QTimer::timeout, this, &EventList::flush);
    m_ageCheck.setInterval(kAgeCheckMs);
    connect(&m_ageCheck, &QTimer::timeout, this, &EventList::dropExpired);
    m_ageCheck.start();
    if (fileName.isEmpty())
        return;
    m_loaded = false;
    m_archive = new EventArchive(fileName, this);
    connect(m_archive, &EventArchive::loaded, this, &EventList::onLoaded);
    m_archive->start();
}

EventList::~EventList()
{
    m_loaded = true;
    flush();
}

void EventList::setRepository(ZarnObjectsRepository *repository)
{
    if (m_repository)
        disconnect(m_repository, nullptr, this, nullptr);
    m_repository = repository;
    if (m_repository) {
        connect(m_repository, &ZarnObjectsRepository::dataChanged, this,
                &EventList::nameUnnamedSources);
    }
}

void EventList::nameUnnamedSources()
{
    flush();
    EventRecords renamed;
    int first = -1;
    int last = -1;
    for (int row = 0; row < m_events.size(); ++row) {
        EventRecord &e = m_events[row];
        // A source the tree knew at arrival has a path; one it did not know has none.
        if (!e.sourcePath.isEmpty())
            continue;
        const QString path = EventSource::path(m_repository, e.sourceId);
        if (path.isEmpty())
            continue;
        e.source = EventSource::name(m_repository, e.sourceId);
        e.sourcePath = path;
        renamed.append(e);
        first = first < 0 ? row : first;
        last = row;
    }
    if (renamed.isEmpty())
        return;
    emit dataChanged(index(first), index(last), {SourceRole, SourcePathRole});
    if (m_archive)
        m_archive->rename(renamed);
}

void EventList::setAlarmClasses(const QStringList &classes)
{
    QStringList cleaned;
    for (const QString &c : classes) {
        const QString trimmed = c.trimmed();
        if (!trimmed.isEmpty() && !cleaned.contains(trimmed))
            cleaned.append(trimmed);
    }
    if (cleaned == m_alarmClasses)
        return;
    m_alarmClasses = cleaned;
    emit alarmClassesChanged();
    if (!m_events.isEmpty())
        emit dataChanged(index(0), index(m_events.size() - 1), {IsAlarmRole});
    recountAlarms();
}

bool EventList::hasNewAlarm(const QStringList &sourceIds) const
{
    for (const QString &id : sourceIds) {
        if (!id.isEmpty() && m_newAlarms.contains(id))
            return true;
    }
    return false;
}

void EventList::recountAlarms()
{
    QHash<QString, int> alarms;
    if (!m_alarmClasses.isEmpty()) {
        for (const EventRecord &e : qAsConst(m_events)) {
            if (e.isNew() && isAlarm(e))
                ++alarms[e.sourceId];
        }
    }
    if (alarms == m_newAlarms)
        return;
    m_newAlarms.swap(alarms);
    ++m_alarmRevision;
    emit newAlarmsChanged();
}

void EventList::setUser(const QString &user)
{
    if (m_user == user)
        return;
    m_user = user;
    emit userChanged();
}

int EventList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_events.size();
}

QVariant EventList::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const EventRecord &e = m_events.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case TextRole:
        return e.text;
    case KeyRole:
        return e.key;
    case TimeRole:
        return e.time;
    case ServerIdRole:
        return e.serverId;
    case SourceIdRole:
        return e.sourceId;
    case SourceRole:
        return e.source;
    case SourcePathRole:
        return e.sourcePath;
    case ClassRole:
        return e.cls;
    case IsNewRole:
        return e.isNew();
    case AckTimeRole:
        return e.ackTime;
    case AckByRole:
        return e.ackBy;
    case ArrivalRole:
        return e.key / 1000;
    case IsAlarmRole:
        return isAlarm(e);
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> EventList::roleNames() const
{
    return {{KeyRole, "key"},           {TimeRole, "time"},     {ServerIdRole, "serverId"},
            {SourceIdRole, "sourceId"}, {SourceRole, "source"}, {SourcePathRole, "sourcePath"},
            {ClassRole, "cls"},         {TextRole, "text"},     {IsNewRole, "isNew"},
            {AckTimeRole, "ackTime"},   {AckByRole, "ackBy"},   {ArrivalRole, "arrival"},
            {IsAlarmRole, "isAlarm"}};
}

int EventList::rowOfKey(qint64 key) const
{
    // Keys fall from the top of the list to the bottom.
    const auto it = std::lower_bound(m_events.cbegin(), m_events.cend(), key,
                                     [](const EventRecord &e, qint64 k) { return e.key > k; });
    return it != m_events.cend() && it->key == key ? int(it - m_events.cbegin()) : -1;
}

qint64 EventList::nextKey()
{
    // Microseconds of the arrival, kept growing: unique across runs without asking the store.
    m_lastKey = qMax(m_lastKey + 1, QDateTime::currentMSecsSinceEpoch() * 1000);
    return m_lastKey;
}

void EventList::addServerEvent(const QVariantMap &event)
{
    enqueue(EventText::fromServer(event, QDateTime::currentMSecsSinceEpoch()));
}

EventRecord EventList::localRecord(const QString &sourceId, const QString &cls, const QString &text)
{
    EventRecord record;
    record.time = QDateTime::currentMSecsSinceEpoch();
    record.sourceId = sourceId;
    record.cls = EventText::oneLine(cls, 100);
    record.text = EventText::oneLine(text);
    return record;
}

void EventList::addLocal(const QString &sourceId, const QString &cls, const QString &text)
{
    enqueue(localRecord(sourceId, cls, text));
}

void EventList::addDone(const QString &sourceId, const QString &cls, const QString &text)
{
    EventRecord record = localRecord(sourceId, cls, text);
    record.ackTime = record.time;
    record.ackBy = m_user.isEmpty() ? QStringLiteral("?") : m_user;
    enqueue(record);
}

void EventList::enqueue(EventRecord record)
{
    record.key = nextKey();
    record.source = EventSource::name(m_repository, record.sourceId);
    record.sourcePath = EventSource::path(m_repository, record.sourceId);
    m_pending.append(record);
    if (!m_batch.isActive())
        m_batch.start();
}

void EventList::flush()
{
    m_batch.stop();
    if (m_pending.isEmpty())
        return;
    if (!m_loaded) {
        m_batch.start();
        return;
    }
    EventRecords batch;
    batch.swap(m_pending);
    if (m_archive)
        m_archive->add(batch);
    QStringList sources;
    QStringList alarms;
    for (const EventRecord &e : qAsConst(batch)) {
        if (!sources.contains(e.sourceId))
            sources.append(e.sourceId);
        if (isAlarm(e) && !alarms.contains(e.cls))
            alarms.append(e.cls);
    }
    // Arrivals are oldest first; the list is newest first.
    std::reverse(batch.begin(), batch.end());
    beginInsertRows(QModelIndex(), 0, batch.size() - 1);
    m_newCount += batch.size();
    batch.append(m_events);
    m_events.swap(batch);
    endInsertRows();
    dropBeyondLimit();
    recountAlarms();
    emit countChanged();
    emit newCountChanged();
    emit arrived(sources);
    if (!alarms.isEmpty())
        emit alarmsArrived(alarms);
}

void EventList::dropBeyondLimit()
{
    const int over = m_events.size() - EventStore::kMaxEvents;
    if (over <= 0)
        return;
    qWarning().noquote() << QStringLiteral("Event list: %1 oldest events dropped beyond %2")
                                .arg(over)
                                .arg(EventStore::kMaxEvents);
    beginRemoveRows(QModelIndex(), EventStore::kMaxEvents, m_events.size() - 1);
    for (int row = EventStore::kMaxEvents; row < m_events.size(); ++row) {
        if (m_events.at(row).isNew())
            --m_newCount;
    }
    m_events.resize(EventStore::kMaxEvents);
    endRemoveRows();
}

void EventList::onLoaded(const EventRecords &stored)
{
    m_loaded = true;
    // Keys go on from the store's, whatever the clock says now: a clock set back must not give
    // new events keys below the kept ones (they would sort below them and be trimmed first).
    if (!stored.isEmpty() && stored.first().key >= m_lastKey) {
        m_lastKey = stored.first().key;
        for (EventRecord &e : m_pending)
            e.key = nextKey();
    }
    if (!stored.isEmpty()) {
        beginInsertRows(QModelIndex(), m_events.size(), m_events.size() + stored.size() - 1);
        for (const EventRecord &e : stored) {
            m_newCount += e.isNew() ? 1 : 0;
        }
        m_events.append(stored);
        endInsertRows();
        dropBeyondLimit();
        recountAlarms();
        emit countChanged();
        emit newCountChanged();
    }
    flush();
}

void EventList::dropExpired()
{
    flush();
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const qint64 oldest = now - EventStore::kKeepMs;
    int dropped = 0;
    // From the bottom up, each run of expired rows in one removal.
    for (int row = m_events.size() - 1; row >= 0; --row) {
        if (m_events.at(row).time >= oldest)
            continue;
        int top = row;
        while (top > 0 && m_events.at(top - 1).time < oldest)
            --top;
        beginRemoveRows(QModelIndex(), top, row);
        for (int r = top; r <= row; ++r) {
            m_newCount -= m_events.at(r).isNew() ? 1 : 0;
        }
        m_events.remove(top, row - top + 1);
        endRemoveRows();
        dropped += row - top + 1;
        row = top;
    }
    if (m_archive)
        m_archive->prune(now);
    if (dropped == 0)
        return;
    recountAlarms();
    qInfo().noquote()
        << QStringLiteral("Event list: %1 events older than 30 days dropped").arg(dropped);
    emit countChanged();
    emit newCountChanged();
}

void EventList::setAcknowledged(int row, const QString &by, qint64 when)
{
    EventRecord &e = m_events[row];
    e.ackTime = when;
    e.ackBy = by;
    --m_newCount;
}

void EventList::acknowledge(qint64 key)
{
    acknowledgeKeys({key});
}

void EventList::acknowledgeAll()
{
    flush();
    QVector<qint64> keys;
    for (const EventRecord &e : qAsConst(m_events)) {
        if (e.isNew())
            keys.append(e.key);
    }
    acknowledgeKeys(keys);
}

void EventList::acknowledgeKeys(const QVector<qint64> &keys)
{
    const qint64 when = QDateTime::currentMSecsSinceEpoch();
    const QString by = m_user.isEmpty() ? QStringLiteral("?") : m_user;
    QVector<qint64> done;
    int first = m_events.size();
    int last = -1;
    for (const qint64 key : keys) {
        const int row = rowOfKey(key);
        if (row < 0 || !m_events.at(row).isNew())
            continue;
        setAcknowledged(row, by, when);
        done.append(key);
        first = qMin(first, row);
        last = qMax(last, row);
    }
    if (done.isEmpty())
        return;
    qInfo().noquote() << QStringLiteral("Events acknowledged by %1: %2").arg(by).arg(done.size());
    if (m_archive)
        m_archive->acknowledge(done, by, when);
    emit dataChanged(index(first), index(last), {IsNewRole, AckTimeRole, AckByRole});
    emit newCountChanged();
    recountAlarms();
}

QStringList EventList::classes() const
{
    QStringList list;
    QSet<QString> seen;
    for (const EventRecord &e : m_events) {
        if (!seen.contains(e.cls)) {
            seen.insert(e.cls);
            list.append(e.cls);
        }
    }
    list.sort(Qt::CaseInsensitive);
    return list;
}

QVariantList EventList::sources() const
{
    // Sorted by name, then id; each source named as its newest event names it.
    QMap<QString, QVariantMap> byName;
    QSet<QString> seen;
    for (const EventRecord &e : m_events) {
        if (seen.contains(e.sourceId))
            continue;
        seen.insert(e.sourceId);
        byName.insert(e.source.toLower() + QLatin1Char('\n') + e.sourceId,
                      {{QStringLiteral("id"), e.sourceId}, {QStringLiteral("name"), e.source}});
    }
    QVariantList list;
    for (const QVariantMap &source : qAsConst(byName))
        list.append(source);
    return list;
}

QString EventList::streamFor(const QString &sourceId) const
{
    return EventSource::streamFor(m_repository, sourceId);
}

QString EventList::deviceOf(const QString &streamId) const
{
    const ZarnObject *stream = m_repository ? m_repository->objectById(streamId) : nullptr;
    return stream ? stream->parentId() : QString();
}
