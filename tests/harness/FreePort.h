#pragma once

#include <QHostAddress>
#include <QSet>
#include <QTcpServer>

namespace scene {

// A loopback port free now (for a site's settings that must name one before it listens). The
// kernel may give a port it just gave again once the probe closes, so a test that asks for its
// event server's and its gateway's ports in a row could get one port twice: each port is handed
// out once per test program.
inline quint16 freePort()
{
    static QSet<quint16> given;
    for (int attempt = 0; attempt < 64; ++attempt) {
        QTcpServer server;
        if (!server.listen(QHostAddress::LocalHost, 0))
            continue;
        const quint16 port = server.serverPort();
        if (!given.contains(port)) {
            given.insert(port);
            return port;
        }
    }
    return 0;
}

} // namespace scene
