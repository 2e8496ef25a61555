#pragma once

#include <QMetaType>
#include <QString>
#include <QVector>

// One event as the console keeps it: what the site reported (or a rule of the console raised),
// described once on arrival so that it reads the same after the object tree changed or the
// console restarted.
struct EventRecord
{
    // The console's own key: unique and growing in the order of arrival.
    qint64 key = 0;
    // ms since the epoch: the server's time when it gave one, else the arrival time.
    qint64 time = 0;
    // The server's event id; empty for an event the console raised itself.
    QString serverId;
    QString sourceId;
    // The source's name, or its raw id when the tree does not know it.
    QString source;
    // The names from the root down to the source, " / " between them.
    QString sourcePath;
    QString cls;
    // One line of plain text.
    QString text;
    // 0 while new.
    qint64 ackTime = 0;
    QString ackBy;

    bool isNew() const { return ackTime == 0; }
};

using EventRecords = QVector<EventRecord>;

Q_DECLARE_METATYPE(EventRecord)
Q_DECLARE_METATYPE(EventRecords)
