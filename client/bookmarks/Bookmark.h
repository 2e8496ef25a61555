#pragma once

#include <QMetaType>
#include <QString>
#include <QVector>

// A moment of a camera the operator marked, with a note: the event server the camera belongs
// to (ServerIdentity), its stream, its name when marked, the moment (ms since the epoch), the
// note as plain text, who marked it and when.
struct Bookmark
{
    QString id;
    QString server;
    QString streamId;
    QString camera;
    qint64 time = 0;
    QString note;
    QString author;
    qint64 created = 0;
};

using Bookmarks = QVector<Bookmark>;
Q_DECLARE_METATYPE(Bookmarks)
