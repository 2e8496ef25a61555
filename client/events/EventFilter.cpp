#include "EventFilter.h"

#include "EventList.h"
#include "EventSource.h"
#include "ZarnObjectsRepository.h"

#include <QCoreApplication>
#include <QQmlEngine>

namespace {

void registerEventFilter()
{
    qmlRegisterType<EventFilter>("Native", 1, 0, "EventFilter");
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(registerEventFilter)

EventFilter::EventFilter(QObject *parent)
    : QSortFilterProxyModel(parent)
{
    setDynamicSortFilter(true);
    connect(this, &QAbstractItemModel::rowsInserted, this, &EventFilter::recount);
    connect(this, &QAbstractItemModel::rowsRemoved, this, &EventFilter::recount);
    connect(this, &QAbstractItemModel::modelReset, this, &EventFilter::recount);
    connect(this, &QAbstractItemModel::layoutChanged, this, &EventFilter::recount);
    connect(this, &QAbstractItemModel::dataChanged, this, &EventFilter::recount);
}

void EventFilter::setEvents(EventList *events)
{
    if (m_events == events)
        return;
    if (m_events && m_events->repository())
        disconnect(m_events->repository(), nullptr, this, nullptr);
    if (m_events)
        disconnect(m_events, &EventList::alarmClassesChanged, this, nullptr);
    m_events = events;
    m_inArea.clear();
    setSourceModel(events);
    if (events && events->repository()) {
        connect(events->repository(), &ZarnObjectsRepository::dataChanged, this,
                &EventFilter::refilter);
    }
    if (events)
        connect(events, &EventList::alarmClassesChanged, this, [this] { resort(); });
    emit eventsChanged();
    resort();
    recount();
}

void EventFilter::setAlarmsFirst(bool first)
{
    if (m_alarmsFirst == first)
        return;
    m_alarmsFirst = first;
    resort();
    emit alarmsFirstChanged();
}

void EventFilter::resort()
{
    // Acknowledging changes IsNewRole: with it as the sort role the proxy moves the event at
    // once, the dynamic sort re-sorting exactly the rows whose sort role changed.
    setSortRole(EventList::IsNewRole);
    if (m_alarmsFirst && m_events) {
        invalidate();
        sort(0);
    } else {
        sort(-1);
    }
}

bool EventFilter::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    const EventRecord &l = m_events->at(left.row());
    const EventRecord &r = m_events->at(right.row());
    const bool lAlarm = l.isNew() && m_events->isAlarm(l);
    const bool rAlarm = r.isNew() && m_events->isAlarm(r);
    if (lAlarm != rAlarm)
        return lAlarm;
    // The list's own order, newest first, within each group.
    return left.row() < right.row();
}

void EventFilter::setUntil(qint64 until)
{
    until = qMax<qint64>(0, until);
    if (m_until == until)
        return;
    const qint64 before = m_until;
    m_until = until;
    emit untilChanged();
    // Playback moves the moment four times a second; the rows change only when it passes an
    // event.
    if (before == 0 || until == 0 || anyEventBetween(qMin(before, until), qMax(before, until)))
        refilter();
}

bool EventFilter::anyEventBetween(qint64 from, qint64 to) const
{
    for (int row = 0, rows = m_events ? m_events->count() : 0; row < rows; ++row) {
        const qint64 t = m_events->at(row).time;
        if (t > from && t <= to)
            return true;
    }
    return false;
}

void EventFilter::setCls(const QString &cls)
{
    if (m_cls == cls)
        return;
    m_cls = cls;
    refilter();
}

void EventFilter::setSourceId(const QString &id)
{
    if (m_sourceId == id)
        return;
    m_sourceId = id;
    refilter();
}

void EventFilter::setText(const QString &text)
{
    if (m_text == text)
        return;
    m_text = text;
    refilter();
}

void EventFilter::setNewOnly(bool newOnly)
{
    if (m_newOnly == newOnly)
        return;
    m_newOnly = newOnly;
    refilter();
}

void EventFilter::setAreaId(const QString &id)
{
    if (m_areaId == id)
        return;
    m_areaId = id;
    refilter();
}

void EventFilter::refilter()
{
    m_inArea.clear();
    invalidateFilter();
    emit filterChanged();
    recount();
}

void EventFilter::recount()
{
    int fresh = 0;
    for (int row = 0, rows = m_events ? rowCount() : 0; row < rows; ++row) {
        if (m_events->at(mapToSource(index(row, 0)).row()).isNew())
            ++fresh;
    }
    m_newCount = fresh;
    emit countsChanged();
}

bool EventFilter::inArea(const QString &sourceId) const
{
    auto it = m_inArea.constFind(sourceId);
    if (it == m_inArea.cend()) {
        it = m_inArea.insert(sourceId,
                             EventSource::isWithin(m_events->repository(), sourceId, m_areaId));
    }
    return it.value();
}

bool EventFilter::filterAcceptsRow(int sourceRow, const QModelIndex &) const
{
    if (!m_events || sourceRow >= m_events->count())
        return false;
    const EventRecord &e = m_events->at(sourceRow);
    if (m_until > 0 && e.time > m_until)
        return false;
    if (m_newOnly && !e.isNew())
        return false;
    // A family ("audit") lets each of its classes ("audit.EXPORT") through.
    if (!m_cls.isEmpty() && e.cls != m_cls &&
        !(e.cls.startsWith(m_cls) && e.cls.midRef(m_cls.size()).startsWith(QLatin1Char('.'))))
        return false;
    if (!m_sourceId.isEmpty() && e.sourceId != m_sourceId)
        return false;
    if (!m_areaId.isEmpty() && !inArea(e.sourceId))
        return false;
    if (m_text.isEmpty())
        return true;
    return e.text.contains(m_text, Qt::CaseInsensitive) ||
           e.source.contains(m_text, Qt::CaseInsensitive) ||
           e.cls.contains(m_text, Qt::CaseInsensitive);
}

void EventFilter::acknowledgeShown()
{
    QVector<qint64> keys;
    for (int row = 0, rows = rowCount(); row < rows; ++row) {
        if (index(row, 0).data(EventList::IsNewRole).toBool())
            keys.append(index(row, 0).data(EventList::KeyRole).toLongLong());
    }
    if (m_events)
        m_events->acknowledgeKeys(keys);
}

qlonglong EventFilter::keyAt(int row) const
{
    if (row < 0 || row >= rowCount())
        return -1;
    return index(row, 0).data(EventList::KeyRole).toLongLong();
}
