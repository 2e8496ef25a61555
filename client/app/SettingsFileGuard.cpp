#include "SettingsFileGuard.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace {

constexpr QFileDevice::Permissions folderPermissions =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
constexpr QFileDevice::Permissions filePermissions =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner;
// Bits that let anybody but the owner in.
constexpr QFileDevice::Permissions othersBits = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                                QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                                QFileDevice::WriteOther | QFileDevice::ExeOther;

} // namespace

bool SettingsFileGuard::secure(const QString &filePath)
{
    const bool folderOk = secureFolder(QFileInfo(filePath).absolutePath());
    return secureFile(filePath) && folderOk;
}

QString SettingsFileGuard::defaultFilePath()
{
    return QSettings().fileName();
}

bool SettingsFileGuard::isOwnerOnly(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() && !(info.permissions() & othersBits);
}

bool SettingsFileGuard::secureFolder(const QString &folder)
{
    if (!QFileInfo::exists(folder)) {
        // Made owner-only at once; only folders that were already open to others are reported.
        if (!QDir().mkpath(folder) || !QFile::setPermissions(folder, folderPermissions)) {
            qWarning() << "Cannot create the settings folder:" << folder;
            return false;
        }
        return true;
    }
    return restrict(folder, folderPermissions, "Settings folder made owner-only:");
}

bool SettingsFileGuard::secureFile(const QString &filePath)
{
    if (!QFileInfo::exists(filePath)) {
        // Created owner-only before anything is saved in it: a save keeps what it finds.
        QFile file(filePath);
        if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(filePermissions)) {
            qWarning() << "Cannot create the settings file:" << filePath << file.errorString();
            return false;
        }
        return true;
    }
    return restrict(filePath, filePermissions, "Settings file made owner-only:");
}

bool SettingsFileGuard::restrict(const QString &path, QFileDevice::Permissions wanted,
                                 const char *what)
{
    if (isOwnerOnly(path))
        return true;
    if (!QFile::setPermissions(path, wanted)) {
        qWarning() << "Cannot make owner-only:" << path;
        return false;
    }
    qInfo() << what << path;
    return true;
}
