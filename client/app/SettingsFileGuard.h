#pragma once

#include <QFileDevice>
#include <QString>

// Keeps the settings file that holds the sign-in fields, and its folder, readable and writable
// by their owner only, whatever the umask, also when an earlier run left them open to others.
// A missing file is created empty and owner-only: later saves keep the permissions they find.
class SettingsFileGuard
{
public:
    // Secures the file and its folder, logging each permission it fixes; false when either
    // could not be made owner-only (the reason is logged).
    static bool secure(const QString &filePath);
    // The default settings file of the application (the one the login page keeps).
    static QString defaultFilePath();
    static bool isOwnerOnly(const QString &path);

private:
    static bool secureFolder(const QString &folder);
    static bool secureFile(const QString &filePath);
    static bool restrict(const QString &path, QFileDevice::Permissions wanted, const char *what);
};
