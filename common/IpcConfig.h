#pragma once

#include <QString>

// Reads the remote-control endpoint that both programs share from "config.ini". The file beside
// the executable wins; an installed program whose folder holds none reads the machine-wide one
// in the system configuration folder. A missing file or key gives the default endpoint; the
// file is never written.
class IpcConfig
{
public:
    static QString defaultUrl();
    // The machine-wide configuration folder, "/etc/ardix" unless the build chose another.
    static QString systemFolder();
    // "<programFolder>/config.ini" when that file exists, else "<fallbackFolder>/config.ini".
    static QString filePath(const QString &programFolder, const QString &fallbackFolder);
    // Reads "IPC/url" from the file filePath() picks.
    static QString readUrl(const QString &programFolder,
                           const QString &fallbackFolder = systemFolder());
};
