#pragma once

#include <QObject>
#include <QString>

#include <memory>

namespace zmq {
class socket_t;
}
class QSocketNotifier;

// Watches a connecting ZeroMQ socket for lost connections, in the Qt event loop. libzmq
// connects again by itself after a network failure, but not after a protocol error, such as a
// message over the socket's ZMQ_MAXMSGSIZE: disconnected() tells the owner to connect anew.
class zmq_DisconnectWatch : public QObject
{
    Q_OBJECT
public:
    // Starts watching; does nothing (with a warning) when the monitor cannot be set up. The
    // watch must go before the socket is closed.
    zmq_DisconnectWatch(zmq::socket_t &socket, QObject *parent = nullptr);
    ~zmq_DisconnectWatch() override;

signals:
    void disconnected();

private:
    void readEvents();

    void *m_watched = nullptr;
    std::unique_ptr<zmq::socket_t> m_monitor;
    QSocketNotifier *m_notifier = nullptr;
};
