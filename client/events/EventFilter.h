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
    // New events of an alarm class first (newest first among them), then the others.
    Q_PROPERTY(bool alarmsFirst READ alarmsFirst WRITE setAlarmsFirst NOTIFY alarmsFirstChanged)
    // Only the events up to this moment (ms since the epoch), as a layout played back at it
    // saw them; 0 (the default) lets every event through.
    Q_PROPERTY(qint64 until READ until WRITE setUntil NOTIFY untilChanged)
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
    bool alarmsFirst() const { return m_alarmsFirst; }
    void setAlarmsFirst(bool first);
    qint64 until() const { return m_until; }
    void setUntil(qint64 until);
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
    void alarmsFirstChanged();
    void untilChanged();

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;

private:
    void refilter();
    void recount();
    bool inArea(const QString &sourceId) const;
    // Whether an event's time lies in (from, to], to decide whether moving `until` changes
    // what is shown.
    bool anyEventBetween(qint64 from, qint64 to) const;
    void resort();

    QPointer<EventList> m_events;
    QString m_cls;
    QString m_sourceId;
    QString m_text;
    bool m_newOnly = false;
    QString m_areaId;
    bool m_alarmsFirst = false;
    qint64 m_until = 0;
    int m_newCount = 0;
    // Whether a source lies in the area: asked once per source until the area or tree changes.
    mutable QHash<QString, bool> m_inArea;
};
