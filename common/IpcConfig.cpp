#include "IpcConfig.h"

#include <QFileInfo>
#include <QSettings>

#ifndef ARDIX_SYSTEM_CONFIG_DIR
#define ARDIX_SYSTEM_CONFIG_DIR "/etc/ardix"
#endif

QString IpcConfig::defaultUrl()
{
    return QStringLiteral("tcp://127.0.0.1:12230");
}

QString IpcConfig::systemFolder()
{
    return QStringLiteral(ARDIX_SYSTEM_CONFIG_DIR);
}

QString IpcConfig::filePath(const QString &programFolder, const QString &fallbackFolder)
{
    const QString beside = QStringLiteral("%1/config.ini").arg(programFolder);
    // A file beside the executable (a build tree, a copied program) keeps its meaning even
    // when unreadable: it is never passed over for the machine-wide one.
    if (QFileInfo::exists(beside) || fallbackFolder.isEmpty())
        return beside;
    return QStringLiteral("%1/config.ini").arg(fallbackFolder);
}

QString IpcConfig::readUrl(const QString &programFolder, const QString &fallbackFolder)
{
    QSettings settings(filePath(programFolder, fallbackFolder), QSettings::IniFormat);
    return settings.value(QStringLiteral("IPC/url"), defaultUrl()).toString();
}
