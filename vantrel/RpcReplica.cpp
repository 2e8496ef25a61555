#include "RpcReplica.h"

#include "IpcConfig.h"

#include <QCoreApplication>
#include <QDebug>
#include <QMetaEnum>

namespace {

template <typename E> const char *keyOf(E value)
{
    return QMetaEnum::fromType<E>().valueToKey(value);
}

} // namespace

RpcReplica::RpcReplica(QObject *parent)
    : QObject(parent)
{
    const QString url = IpcConfig::readUrl(QCoreApplication::applicationDirPath());
    qDebug() << "IPC url:" << url;
    m_url = QUrl(url);
}

RpcReplica::~RpcReplica() = default;

void RpcReplica::connectToClient()
{
    qInfo() << "Connecting to:" << m_url;
    m_replica.reset();
    m_node = std::make_unique<QRemoteObjectNode>();
    m_node->setHeartbeatInterval(shortHeartbeatMs);

    QRemoteObjectNode *node = m_node.get();
    connect(
        node, &QRemoteObjectNode::error, this,
        [](QRemoteObjectNode::ErrorCode code) {
            qDebug() << "QRemoteObjectNode::error";
            qDebug() << "  Error: " << keyOf(code);
        },
        Qt::DirectConnection);
    connect(
        node, &QRemoteObjectNode::remoteObjectAdded, this,
        [](const QRemoteObjectSourceLocation &entry) {
            qDebug() << "QRemoteObjectNode::remoteObjectAdded";
            qDebug() << entry;
        },
        Qt::DirectConnection);
    connect(
        node, &QRemoteObjectNode::remoteObjectRemoved, this,
        [](const QRemoteObjectSourceLocation &entry) {
            qDebug() << "QRemoteObjectNode::remoteObjectRemoved";
            qDebug() << entry;
        },
        Qt::DirectConnection);

    if (!node->connectToNode(m_url))
        qWarning() << "connectToNode() failed";

    m_replica.reset(node->acquire<client_ServiceReplica>());
    connect(m_replica.get(), &QRemoteObjectReplica::initialized, this,
            [] { qDebug() << "client_ServiceReplica::initialized"; });
    connect(m_replica.get(), &QRemoteObjectReplica::stateChanged, this,
            &RpcReplica::onStateChanged);
    qDebug() << "Service instance:" << m_replica.get();
}

void RpcReplica::onStateChanged(QRemoteObjectReplica::State state,
                                QRemoteObjectReplica::State oldState)
{
    qDebug() << "client_ServiceReplica::stateChanged(new:" << keyOf(state)
             << ", old:" << keyOf(oldState) << ")";
    if (state == QRemoteObjectReplica::Valid) {
        m_node->setHeartbeatInterval(longHeartbeatMs);
        emit connectedToHost();
    } else {
        m_node->setHeartbeatInterval(shortHeartbeatMs);
        emit disconnectedFromHost();
    }
}
