#pragma once

#include <QObject>
#include <QPointer>

class EventList;

// What an auditor lists afterwards: each clip export, CSV export and snapshot becomes an event
// of class "audit.EXPORT" (already acknowledged by the operator who made it) in the events list
// and the local store, with what it was, who made it, the file's name and its SHA-256.
class AuditTrail : public QObject
{
    Q_OBJECT

public:
    static const QString kExportClass;

    explicit AuditTrail(EventList *events, QObject *parent = nullptr);

    // Records the file at `path` handed over as `what` (e.g. "Clip", "CSV", "Snapshot") from
    // `sourceId` (a camera, or the transactions page). The file is hashed off the GUI thread;
    // the event follows once the hash is known.
    Q_INVOKABLE void recordExport(const QString &sourceId, const QString &what,
                                  const QString &path);

    // The event's text; the hash empty when the file could not be read.
    static QString exportText(const QString &what, const QString &user, const QString &path,
                              const QByteArray &sha256);

signals:
    // An export's event was handed to the events list.
    void recorded(const QString &path);

private:
    QPointer<EventList> m_events;
};
