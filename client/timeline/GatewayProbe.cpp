#include "GatewayProbe.h"

#include "GatewayAddress.h"

#include <QCoreApplication>
#include <QDebug>
#include <QQmlEngine>
#include <QTcpSocket>
#include <QUrl>

namespace {

void registerGatewayProbe()
{
    qmlRegisterType<GatewayProbe>("Native", 1, 0, "GatewayProbe");
}

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerGatewayProbe)

GatewayProbe::GatewayProbe(QObject *parent)
    : QObject(parent)
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        finish(false, QStringLiteral("no answer within %1 s").arg(m_timeout / 1000.0));
    });
    m_retry.setSingleShot(true);
    m_retry.setInterval(10000);
    connect(&m_retry, &QTimer::timeout, this, &GatewayProbe::tryNow);
}

GatewayProbe::~GatewayProbe()
{
    if (m_socket)
        m_socket->abort();
}

void GatewayProbe::setTimeout(int ms)
{
    if (m_timeout == ms || ms <= 0)
        return;
    m_timeout = ms;
    emit settingsChanged();
}

void GatewayProbe::setRetryInterval(int ms)
{
    if (m_retry.interval() == ms || ms <= 0)
        return;
    m_retry.setInterval(ms);
    emit settingsChanged();
}

void GatewayProbe::check(const QString &gatewayBase)
{
    if (gatewayBase.isEmpty())
        return;
    if (gatewayBase == m_gateway && m_socket)
        return;
    if (gatewayBase != m_gateway)
        reset();
    m_gateway = gatewayBase;
    tryNow();
}

void GatewayProbe::reset()
{
    m_retry.stop();
    m_deadline.stop();
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
        m_socket->deleteLater();
        m_socket.clear();
    }
    m_gateway.clear();
    if (m_down) {
        m_down = false;
        m_reason.clear();
        emit downChanged();
    }
}

void GatewayProbe::tryNow()
{
    if (m_gateway.isEmpty() || m_socket)
        return;
    const QUrl url(m_gateway);
    auto *socket = new QTcpSocket(this);
    m_socket = socket;
    connect(socket, &QTcpSocket::connected, this, [this] { finish(true, QString()); });
    connect(socket, &QTcpSocket::errorOccurred, this,
            [this, socket] { finish(false, socket->errorString()); });
    m_deadline.start(m_timeout);
    socket->connectToHost(url.host(), quint16(url.port(GatewayAddress::kDefaultHttpPort)));
}

void GatewayProbe::finish(bool answered, const QString &reason)
{
    m_deadline.stop();
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
        m_socket->deleteLater();
        m_socket.clear();
    }
    const bool wasDown = m_down;
    m_down = !answered;
    m_reason = reason;
    if (!answered) {
        if (!wasDown)
            qWarning().noquote()
                << QStringLiteral("The gateway at %1 does not answer (%2)").arg(m_gateway, reason);
        m_retry.start();
    } else if (wasDown) {
        qInfo().noquote() << QStringLiteral("The gateway at %1 answers again").arg(m_gateway);
    }
    if (wasDown != m_down || !answered)
        emit downChanged();
}
