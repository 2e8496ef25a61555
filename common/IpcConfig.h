#pragma once

#include <QString>

// Reads the remote-control endpoint that both programs share from "config.ini" beside the
// executable. A missing file or key gives the default endpoint; the file is never written.
class IpcConfig
{
public:
    static QString defaultUrl();
    // Reads "IPC/url" from "<folder>/config.ini".
    static QString readUrl(const QString &folder);
};
