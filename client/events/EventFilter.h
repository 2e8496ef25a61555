#pragma once

#include <QHash>
#include <QPointer>
#include <QSortFilterProxyModel>

class EventList;

// The events one screen shows: the events page with its filters, or an alarm cell with the
// events of its area of the object tree (its object and everything below it).
class EventFilter : public QSortFilterProxyModel
{
    Q_OBJECT
    Q_PROPERTY(EventList *events READ events WRITE setEvents NOTIFY eventsChanged)
    // Filters; empty or false lets everything through.
    Q_PROPERTY(QString cls READ cls WRITE setCls NOTIFY filterChanged)
    Q_PROPERTY(QString sourceId READ sourceId WRITE setSourceId NOTIFY filterChanged)
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY filterChanged)
    Q_PROPERTY(bool newOnly READ newOnly WRITE setNewOnly NOTIFY filterChanged)
    Q_PROPERTY(QString areaId READ areaId WRITE setAreaId NOTIFY filterChanged)
    Q_PROPERTY(int count READ count NOTIFY countsChanged)
    Q_PROPERTY(int newCount READ newCount NOTIFY countsChanged)

public:
    explicit EventFilter(QObject *parent = nullptr);

    EventList *events() const { return m_events; }
    void setEvents(EventList *events);
    QString cls() const { return m_cls; }
    void setCls(const QString &cls);
    QString sourceId() const { return m_sourceId; }
    void setSourceId(const QString &id);
    QString text() const { return m_text; }
    void setText(const QString &text);
    bool newOnly() const { return m_newOnly; }
    void setNewOnly(bool newOnly);
    QString areaId() const { return m_areaId; }
    void setAreaId(const QString &id);
    int count() const { return rowCount(); }
    int newCount() const { return m_newCount; }

    // Acknowledges the new events this filter shows.
    Q_INVOKABLE void acknowledgeShown();
    // The key of a shown row, -1 when out of range.
    Q_INVOKABLE qlonglong keyAt(int row) const;

signals:
    void eventsChanged();
    void filterChanged();
    void countsChanged();

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    void refilter();
    void recount();
    bool inArea(const QString &sourceId) const;

    QPointer<EventList> m_events;
    QString m_cls;
    QString m_sourceId;
    QString m_text;
    bool m_newOnly = false;
    QString m_areaId;
    int m_newCount = 0;
    // Whether a source lies in the area: asked once per source until the area or tree changes.
    mutable QHash<QString, bool> m_inArea;
};
