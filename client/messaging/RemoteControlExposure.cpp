#include "RemoteControlExposure.h"

#include <QDebug>
#include <QHostAddress>

bool RemoteControlExposure::reachableFromOtherMachines(const QUrl &url)
{
    if (url.scheme() != QLatin1String("tcp"))
        return false;
    const QString host = url.host();
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return false;
    // A name other than "localhost" may resolve anywhere, and an empty host or the any-address
    // listens on every interface: all count as reachable.
    const QHostAddress address(host);
    return address.isNull() || !address.isLoopback();
}

bool RemoteControlExposure::warnIfReachable(const QUrl &url)
{
    if (!reachableFromOtherMachines(url))
        return false;
    qWarning().noquote() << "Remote control listens on" << url.toString()
                         << "which is not a loopback address: any machine that reaches it can "
                            "drive the console (the interface has no authentication)";
    return true;
}
