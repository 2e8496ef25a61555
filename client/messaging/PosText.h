#pragma once

#include <QMetaType>
#include <QString>
#include <QtGlobal>

// One channel text (a till's receipt) and the moment it was sent, in ms since the epoch.
struct PosText
{
    qint64 time = 0;
    QString text;
};

Q_DECLARE_METATYPE(PosText)
