#include "zmq_Subscriber.h"

#include "zmq_Context.h"

#include <QDebug>
#include <QPointer>

#include <zmq.hpp>

namespace {

// Receive errors in a row after which a drain gives up until the next activation: a socket
// whose context was terminated fails every receive at once and would otherwise spin.
constexpr int kMaxReceiveFailures = 3;
// Messages read in one pass: the rest waits for the next turn of the event loop, so that
// calls queued to this thread are served during a flood.
constexpr int kMaxMessagesPerPass = 256;
// Messages larger than this make libzmq close the connection before it has allocated them,
// and connect again after its reconnect interval: what the publisher sends meanwhile, on any
// channel, is lost and no warning can name the channel, but one message cannot take the
// memory. Smaller ones are received and dropped here, with the channel named.
constexpr std::int64_t kMaxMessageBytes = 16 * 1024 * 1024;

} // namespace

zmq_Subscriber::zmq_Subscriber(QString address, QObject *parent)
    : zmq_Connection(std::move(address), parent)
{}

zmq_Subscriber::~zmq_Subscriber()
{
    channels.clear();
    delete disconnectWatch;
    stop();
}

bool zmq_Subscriber::createSocket()
{
    try {
        zmq_Context &context = zmq_Context::instance();
        delete disconnectWatch;
        disconnectWatch = nullptr;
        socket = std::make_shared<zmq::socket_t>(context.context(), zmq::socket_type::sub);
        socket->set(zmq::sockopt::maxmsgsize, kMaxMessageBytes);
        socket->connect(address.toUtf8().toStdString());
        disconnectWatch = new zmq_DisconnectWatch(*socket, this);
        connect(disconnectWatch, &zmq_DisconnectWatch::disconnected, this,
                &zmq_Subscriber::connectAgain);
        return true;
    } catch (const zmq::error_t &e) {
        qDebug() << "virtual bool zmq_Subscriber::createSocket()";
        qDebug() << "  Err:" << e.what();
    }
    return false;
}

zmq_Subscriber::Frames zmq_Subscriber::receiveMessage(Message &message)
{
    try {
        zmq::message_t frame;
        do {
            if (!socket->recv(frame, zmq::recv_flags::dontwait))
                return Frames::NoMessage;
            // Only frames that will be delivered are copied.
            if (message.frames == 0) {
                message.senderBytes = frame.size();
                if (frame.size() <= static_cast<size_t>(maxChannelBytes))
                    message.sender = QByteArray(frame.data<char>(), static_cast<int>(frame.size()));
            } else if (message.frames == 1) {
                message.textBytes = frame.size();
                if (frame.size() <= static_cast<size_t>(maxTextBytes))
                    message.text = QByteArray(frame.data<char>(), static_cast<int>(frame.size()));
            }
            ++message.frames;
        } while (frame.more());
    } catch (const zmq::error_t &e) {
        qDebug() << "virtual void zmq_Subscriber::readAll()";
        qDebug() << "  Err:" << e.what();
        return Frames::Failed;
    }
    return Frames::Received;
}

bool zmq_Subscriber::acceptable(const Message &message)
{
    if (message.senderBytes <= static_cast<size_t>(maxChannelBytes) &&
        message.textBytes <= static_cast<size_t>(maxTextBytes))
        return true;
    const QString channel =
        message.senderBytes <= static_cast<size_t>(maxChannelBytes)
            ? QString::fromUtf8(message.sender)
            : QStringLiteral("(a channel name of %1 bytes)").arg(message.senderBytes);
    if (dropWarnings.allow(channel)) {
        qWarning().noquote() << QStringLiteral("Dropped a message of %1 bytes on channel \"%2\" "
                                               "from %3: texts may have at most %4 bytes (more "
                                               "drops on this channel within a minute are not "
                                               "logged)")
                                    .arg(message.textBytes)
                                    .arg(channel, address)
                                    .arg(maxTextBytes);
    }
    return false;
}

void zmq_Subscriber::readAll()
{
    if (!socket)
        return;
    int events = 0;
    try {
        events = socket->get(zmq::sockopt::events);
    } catch (const zmq::error_t &e) {
        qWarning() << "virtual void zmq_Subscriber::readAll()";
        qWarning() << "  Err:" << e.what();
        return;
    }
    if (!(events & ZMQ_POLLIN))
        return;

    const QPointer<zmq_Subscriber> alive(this);
    int failures = 0;
    for (int read = 0; read < kMaxMessagesPerPass; ++read) {
        Message message;
        const Frames result = receiveMessage(message);
        if (result == Frames::NoMessage)
            return;
        if (result == Frames::Failed) {
            if (++failures < kMaxReceiveFailures)
                continue;
            qWarning() << "virtual void zmq_Subscriber::readAll()";
            qWarning() << "  Receiving keeps failing; reading stops until the next activation";
            drainAborted = true;
            return;
        }
        failures = 0;
        if (message.frames < 2) {
            qDebug() << "virtual void zmq_Subscriber::readAll()";
            qDebug() << "  Dropped a message of" << message.frames << "frame(s)";
            continue;
        }
        if (!acceptable(message))
            continue;
        // Invalid UTF-8 decodes with replacement characters; the message is still delivered.
        emit messageReceived(QString::fromUtf8(message.sender), QString::fromUtf8(message.text));
        // A receiver may have destroyed this subscriber.
        if (!alive || !socket)
            return;
    }
}

void zmq_Subscriber::connectAgain()
{
    if (!socket)
        return;
    qInfo().noquote() << QStringLiteral("Connection to the channel-text publisher at %1 lost (it "
                                        "stopped, or sent a message over %2 bytes); connecting "
                                        "again")
                             .arg(address)
                             .arg(kMaxMessageBytes);
    const std::string endpoint = address.toUtf8().toStdString();
    try {
        socket->disconnect(endpoint);
    } catch (const zmq::error_t &) {
        // Already gone with its connection: nothing to undo.
    }
    try {
        socket->connect(endpoint);
    } catch (const zmq::error_t &e) {
        qWarning() << "void zmq_Subscriber::connectAgain()";
        qWarning() << "  Err:" << e.what();
    }
    scheduleReadIfPending();
}

bool zmq_Subscriber::setFilter(bool add, const QString &channel, const char *function)
{
    // Publishers write their topics in UTF-8 (the frames are decoded so), so the filter is
    // the channel's UTF-8 bytes: any other encoding would never match a non-ASCII topic.
    const QByteArray bytes = channel.toUtf8();
    try {
        const zmq::const_buffer filter(bytes.constData(), static_cast<size_t>(bytes.size()));
        if (add)
            socket->set(zmq::sockopt::subscribe, filter);
        else
            socket->set(zmq::sockopt::unsubscribe, filter);
        return true;
    } catch (const zmq::error_t &e) {
        qWarning() << function;
        qWarning() << "  Err:" << e.what();
    }
    return false;
}

void zmq_Subscriber::subscribe(QString channel)
{
    if (!socket)
        return;
    if (channels.contains(channel)) {
        qDebug() << "Channel:" << channel << "already be subscribed";
        return;
    }
    channels.insert(channel);
    if (!setFilter(true, channel, Q_FUNC_INFO))
        channels.remove(channel);
    scheduleReadIfPending();
}

void zmq_Subscriber::unsubscribe(QString channel)
{
    if (!socket)
        return;
    if (!channels.contains(channel)) {
        qDebug() << "Channel:" << channel << "is not in the set!";
        return;
    }
    // A filter that could not be removed stays in the set, so the set keeps telling what
    // the socket filters.
    if (setFilter(false, channel, Q_FUNC_INFO))
        channels.remove(channel);
    scheduleReadIfPending();
}
