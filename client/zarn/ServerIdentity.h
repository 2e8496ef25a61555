#pragma once

#include <QString>

// What tells one event server from another where the console keeps what came from a site
// (the receipt caches): "host:port" as signed in to, the host in lower case, an IPv6 host in
// brackets. Stream ids are small integers every site reuses; they are kept under this.
class ServerIdentity
{
public:
    static QString of(const QString &host, int port);
    // The server the console signs in to now (its ZarnClient's host and port); empty before
    // the first sign-in and where there is no console (tests).
    static QString current();
    // What rows stored before servers were told apart are kept under: no server has it.
    static QString unknown() { return QStringLiteral("?"); }
};
