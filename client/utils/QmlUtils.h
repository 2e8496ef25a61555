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
    // "http://host:port" of a gateway, an IPv6 host in brackets.
    QString gatewayUrl(const QString &address, int port) const { return httpBase(address, port); }
    // The text with every address's password hidden, for log lines and screens.
    QString redacted(const QString &text) const;

public:
    static QString httpBase(const QString &address, int port);
};
