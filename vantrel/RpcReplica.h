#pragma once

#include "rep_client_Service_replica.h"

#include <QObject>
#include <QRemoteObjectNode>
#include <QUrl>

#include <memory>

// The connection to the console's remote-control interface. Qt Remote Objects keeps trying
// until the console is reachable; the heartbeat is short while the console is missing and
// long while it answers, so that losing it is noticed without flooding a live connection.
class RpcReplica : public QObject
{
    Q_OBJECT

public:
    // Reads "IPC/url" from "config.ini" beside the executable; connects nothing yet.
    explicit RpcReplica(QObject *parent = nullptr);
    ~RpcReplica() override;

    // Starts over with a new node and replica.
    void connectToClient();
    // Null before connectToClient().
    client_ServiceReplica *replica() const { return m_replica.get(); }
    QUrl url() const { return m_url; }

    static constexpr int shortHeartbeatMs = 500;
    static constexpr int longHeartbeatMs = 5000;

signals:
    void connectedToHost();
    void disconnectedFromHost();

private:
    void onStateChanged(QRemoteObjectReplica::State state, QRemoteObjectReplica::State oldState);

    QUrl m_url;
    std::unique_ptr<QRemoteObjectNode> m_node;
    // Declared after the node: the replica goes first.
    std::unique_ptr<client_ServiceReplica> m_replica;
};
