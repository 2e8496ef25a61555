#pragma once

#include <QUrl>

// The remote-control interface has no authentication: whoever reaches its endpoint drives the
// console. This tells a TCP endpoint that other machines can reach from one on loopback.
class RemoteControlExposure
{
public:
    // True for a "tcp" URL whose host is neither a loopback address nor "localhost".
    static bool reachableFromOtherMachines(const QUrl &url);
    // Logs a warning when the endpoint is reachable from other machines; returns whether it is.
    static bool warnIfReachable(const QUrl &url);
};
