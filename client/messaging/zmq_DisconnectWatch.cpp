#include "zmq_DisconnectWatch.h"

#include "zmq_Context.h"

#include <QDebug>
#include <QPointer>
#include <QSocketNotifier>

#include <zmq.hpp>

#include <atomic>

zmq_DisconnectWatch::zmq_DisconnectWatch(zmq::socket_t &socket, QObject *parent)
    : QObject(parent)
{
    static std::atomic<int> counter{0};
    const std::string endpoint = "inproc://disconnect-watch-" + std::to_string(++counter);
    try {
        if (zmq_socket_monitor(socket.handle(), endpoint.c_str(), ZMQ_EVENT_DISCONNECTED) != 0)
            throw zmq::error_t();
        m_watched = socket.handle();
        m_monitor = std::make_unique<zmq::socket_t>(zmq_Context::instance().context(),
                                                    zmq::socket_type::pair);
        m_monitor->connect(endpoint);
        const zmq::fd_t fd = m_monitor->get(zmq::sockopt::fd);
        m_notifier = new QSocketNotifier(static_cast<qintptr>(fd), QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &zmq_DisconnectWatch::readEvents);
        // Reading the events resets the descriptor's edge, so that the next event raises it.
        static_cast<void>(m_monitor->get(zmq::sockopt::events));
    } catch (const zmq::error_t &e) {
        qWarning() << "Lost connections will not be noticed:" << e.what();
        m_monitor.reset();
    }
}

zmq_DisconnectWatch::~zmq_DisconnectWatch()
{
    delete m_notifier;
    if (!m_monitor)
        return;
    zmq_socket_monitor(m_watched, nullptr, 0);
    m_monitor->close();
}

void zmq_DisconnectWatch::readEvents()
{
    // The descriptor is edge-triggered: everything queued is read at each activation.
    bool lost = false;
    try {
        zmq::message_t frame;
        while (m_monitor->recv(frame, zmq::recv_flags::dontwait)) {
            if (!frame.more())
                lost = true; // the second frame, the peer's address, ends an event
        }
    } catch (const zmq::error_t &e) {
        qWarning() << "Reading connection events failed:" << e.what();
    }
    if (lost)
        emit disconnected();
}
