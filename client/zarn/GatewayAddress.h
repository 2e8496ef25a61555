#pragma once

#include <QString>

class ZarnObjectsRepository;

// Where a gateway's HTTP service (recordings, "pos-data", exports) is reached: the host from the
// gateway object's "address" setting, else the address the server reported for the stream, else
// this machine; the port from the gateway's "httpPort" setting, else 9554. Every part of the
// console that talks to a gateway over HTTP asks here, so that a site whose gateway listens
// elsewhere is reached everywhere alike.
class GatewayAddress
{
public:
    static constexpr int kDefaultHttpPort = 9554;
    // Where a camera cell listens for the channel texts when the gateway names no "posPort".
    static constexpr int kDefaultPosPort = 5556;

    // The gateway `deviceId` (a stream's parent); `reported`: the address the server gave in
    // the stream's information, used when the gateway has no "address" setting.
    static GatewayAddress ofDevice(const ZarnObjectsRepository *repository, const QString &deviceId,
                                   const QString &reported = QString());
    // The gateway of the stream `streamId` (its parent device).
    static GatewayAddress ofStream(const ZarnObjectsRepository *repository,
                                   const QString &streamId);
    // The port a "httpPort" setting's text names, kDefaultHttpPort when it names none (empty,
    // not a number, out of 1–65535).
    static int portFromSetting(const QString &text);

    const QString &host() const { return m_host; }
    int port() const { return m_port; }
    // "setting", "reported" or "fallback": where the host came from, for the log.
    const QString &hostSource() const { return m_hostSource; }
    // The port the gateway publishes its channel texts on, from its "posPort" setting; 0 when
    // it has none or it names no port (1–65535).
    int posPort() const { return m_posPort; }
    // "http://host:port", an IPv6 host in brackets.
    QString httpBase() const;
    // "host:port" as the operator reads it, an IPv6 host in brackets.
    QString hostPort() const;

private:
    QString m_host = QStringLiteral("127.0.0.1");
    int m_port = kDefaultHttpPort;
    QString m_hostSource = QStringLiteral("fallback");
    int m_posPort = 0;
};
