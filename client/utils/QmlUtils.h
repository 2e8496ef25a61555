#pragma once

#include <QObject>
#include <QString>

// Helpers for QML that need native time handling.
class QmlUtils : public QObject
{
    Q_OBJECT

public:
    explicit QmlUtils(QObject *parent = nullptr);

public slots:
    // The gateway's name of the recording of stream strmId that starts at msec (ms since the
    // epoch), in local time: "<strmId>_YYYYMMDD-hh-mm-ss".
    QString fileNameFromMSec(QString strmId, qulonglong msec);
    // The text with every address's password hidden, for log lines and screens.
    QString redacted(const QString &text) const;
};
