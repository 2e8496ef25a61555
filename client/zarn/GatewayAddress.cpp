#include "GatewayAddress.h"

#include "ZarnObject.h"
#include "ZarnObjectsRepository.h"
#include "ZarnSetting.h"

#include <QDebug>

namespace {

QString bracketed(const QString &host)
{
    const bool ipv6 = host.contains(QLatin1Char(':')) && !host.startsWith(QLatin1Char('['));
    return ipv6 ? QLatin1Char('[') + host + QLatin1Char(']') : host;
}

} // namespace

GatewayAddress GatewayAddress::ofDevice(const ZarnObjectsRepository *repository,
                                        const QString &deviceId, const QString &reported)
{
    GatewayAddress address;
    const ZarnObject *gateway = repository ? repository->objectById(deviceId) : nullptr;
    const ZarnSetting *settings = gateway ? gateway->settings() : nullptr;
    const QString fromSetting = settings && settings->contains(QStringLiteral("address"))
                                    ? settings->prop(QStringLiteral("address")).trimmed()
                                    : QString();
    if (!fromSetting.isEmpty()) {
        address.m_host = fromSetting;
        address.m_hostSource = QStringLiteral("setting");
    } else if (!reported.trimmed().isEmpty()) {
        address.m_host = reported.trimmed();
        address.m_hostSource = QStringLiteral("reported");
    }
    if (settings && settings->contains(QStringLiteral("posPort"))) {
        bool ok = false;
        const int port = settings->prop(QStringLiteral("posPort")).trimmed().toInt(&ok);
        address.m_posPort = ok && port >= 1 && port <= 65535 ? port : 0;
    }
    if (settings && settings->contains(QStringLiteral("httpPort"))) {
        const QString text = settings->prop(QStringLiteral("httpPort"));
        address.m_port = portFromSetting(text);
        if (address.m_port == kDefaultHttpPort &&
            text.trimmed() != QString::number(kDefaultHttpPort))
            qWarning().noquote() << QStringLiteral("Gateway %1: \"httpPort\" %2 is no port; "
                                                   "port %3 is used")
                                        .arg(deviceId, text.left(32))
                                        .arg(kDefaultHttpPort);
    }
    return address;
}

GatewayAddress GatewayAddress::ofStream(const ZarnObjectsRepository *repository,
                                        const QString &streamId)
{
    const ZarnObject *stream = repository ? repository->objectById(streamId) : nullptr;
    return ofDevice(repository, stream ? stream->parentId() : QString());
}

int GatewayAddress::portFromSetting(const QString &text)
{
    bool ok = false;
    const int port = text.trimmed().toInt(&ok);
    return ok && port >= 1 && port <= 65535 ? port : kDefaultHttpPort;
}

QString GatewayAddress::httpBase() const
{
    return QStringLiteral("http://") + hostPort();
}

QString GatewayAddress::hostPort() const
{
    return QStringLiteral("%1:%2").arg(bracketed(m_host)).arg(m_port);
}
