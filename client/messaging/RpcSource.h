#pragma once

#include <QObject>
#include <QUrl>

#include <memory>

class QRemoteObjectHost;
class client_Service;

// Hosts the remote-control interface on the endpoint of "IPC/url" in "config.ini" beside the
// executable, so that companion programs can follow and drive the console.
class RpcSource : public QObject
{
    Q_OBJECT

public:
    // Reads the endpoint; nothing listens before start().
    explicit RpcSource(QObject *parent = nullptr);
    ~RpcSource() override;

    // Listens and publishes a fresh client_Service under its type name. False when the
    // endpoint cannot be listened on; the console then runs on without remote control.
    bool start();
    // Empty before start().
    std::shared_ptr<client_Service> service() const { return m_service; }
    QUrl url() const { return m_url; }

private:
    QUrl m_url;
    std::unique_ptr<QRemoteObjectHost> m_host;
    std::shared_ptr<client_Service> m_service;
};
