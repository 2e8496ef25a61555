#include "IpcConfig.h"

#include <QSettings>

QString IpcConfig::defaultUrl()
{
    return QStringLiteral("tcp://127.0.0.1:12230");
}

QString IpcConfig::readUrl(const QString &folder)
{
    QSettings settings(QStringLiteral("%1/config.ini").arg(folder), QSettings::IniFormat);
    return settings.value(QStringLiteral("IPC/url"), defaultUrl()).toString();
}
