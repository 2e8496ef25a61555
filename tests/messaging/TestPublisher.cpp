#include "TestPublisher.h"

#include <chrono>

TestPublisher::TestPublisher()
{
    m_socket.set(zmq::sockopt::linger, 0);
    // Every subscription is passed up, also a repeated one, so a test sees duplicates.
    m_socket.set(zmq::sockopt::xpub_verbose, 1);
    m_socket.bind("tcp://127.0.0.1:*");
    const std::string bound = m_socket.get(zmq::sockopt::last_endpoint);
    m_port = std::stoi(bound.substr(bound.rfind(':') + 1));
}

QString TestPublisher::endpoint() const
{
    return QStringLiteral("tcp://127.0.0.1:%1").arg(m_port);
}

void TestPublisher::send(const QList<QByteArray> &frames)
{
    for (int i = 0; i < frames.size(); ++i) {
        const auto flags = i + 1 < frames.size() ? zmq::send_flags::sndmore : zmq::send_flags::none;
        m_socket.send(
            zmq::const_buffer(frames[i].constData(), static_cast<size_t>(frames[i].size())), flags);
    }
}

bool TestPublisher::waitForSubscriptionEvent(const QByteArray &event, QList<QByteArray> *seen,
                                             int timeoutMs)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < deadline) {
        zmq::pollitem_t item{m_socket.handle(), 0, ZMQ_POLLIN, 0};
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (zmq::poll(&item, 1, std::max(left, std::chrono::milliseconds(1))) == 0)
            continue;
        zmq::message_t message;
        if (!m_socket.recv(message, zmq::recv_flags::dontwait))
            continue;
        const QByteArray change(message.data<char>(), static_cast<int>(message.size()));
        if (seen)
            seen->append(change);
        if (change == event)
            return true;
    }
    return false;
}
