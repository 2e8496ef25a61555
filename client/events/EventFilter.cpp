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
    m_events = events;
    m_inArea.clear();
    setSourceModel(events);
    if (events && events->repository()) {
        connect(events->repository(), &ZarnObjectsRepository::dataChanged, this,
                &EventFilter::refilter);
    }
    emit eventsChanged();
    recount();
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
    if (m_newOnly && !e.isNew())
        return false;
    if (!m_cls.isEmpty() && e.cls != m_cls)
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
