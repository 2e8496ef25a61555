#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <zmq.hpp>

// A publisher on loopback for the subscriber tests: an XPUB socket on a free port, which also
// hands the test every subscription change its peers make ("\x01" or "\x00" and the filter).
class TestPublisher
{
public:
    TestPublisher();

    int port() const { return m_port; }
    QString endpoint() const;

    void send(const QList<QByteArray> &frames);
    void send(const QByteArray &channel, const QByteArray &text) { send({channel, text}); }

    // Reads subscription changes until `event` arrives; every change read (including it) is
    // appended to seen. False when it does not arrive within the timeout.
    bool waitForSubscriptionEvent(const QByteArray &event, QList<QByteArray> *seen = nullptr,
                                  int timeoutMs = 5000);

    static QByteArray subscribed(const QByteArray &filter) { return '\x01' + filter; }
    static QByteArray unsubscribed(const QByteArray &filter)
    {
        return QByteArray(1, '\0') + filter;
    }

private:
    zmq::context_t m_context{1};
    zmq::socket_t m_socket{m_context, zmq::socket_type::xpub};
    int m_port = 0;
};
