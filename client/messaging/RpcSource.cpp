#include "RpcSource.h"

#include "IpcConfig.h"
#include "RemoteControlExposure.h"
#include "client_Service.h"

#include <QCoreApplication>
#include <QDebug>
#include <QRemoteObjectHost>

RpcSource::RpcSource(QObject *parent)
    : QObject(parent)
{
    const QString url = IpcConfig::readUrl(QCoreApplication::applicationDirPath());
    qDebug() << "IPC url:" << url;
    m_url = QUrl(url);
}

RpcSource::~RpcSource()
{
    // The service goes first so that the host never publishes a half-destroyed object.
    m_service.reset();
    m_host.reset();
}

bool RpcSource::start()
{
    qInfo() << "Listening on:" << m_url;
    RemoteControlExposure::warnIfReachable(m_url);
    // The earlier host must release the endpoint before a new one can listen on it.
    m_host.reset();
    m_host = std::make_unique<QRemoteObjectHost>(m_url, QUrl());
    const QRemoteObjectNode::ErrorCode error = m_host->lastError();
    // The service exists even without a listening host: the console serves it locally.
    m_service = std::make_shared<client_Service>();
    m_host->enableRemoting(m_service.get(), QString());
    if (error != QRemoteObjectNode::NoError) {
        qWarning() << "Remote control unavailable:" << error;
        return false;
    }
    return true;
}
