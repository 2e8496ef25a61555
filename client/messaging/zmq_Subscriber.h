#pragma once

#include "ChannelWarningLimit.h"
#include "zmq_Connection.h"
#include "zmq_DisconnectWatch.h"

#include <QByteArray>
#include <QSet>
#include <QString>

// A SUB socket connected to one publisher: keeps the set of subscribed channels (topic
// prefixes) and emits messageReceived(channel, text) for every message of two or more frames.
// A message whose text is longer than maxTextBytes (or whose channel is longer than
// maxChannelBytes) is dropped as soon as it is received, before anything copies it, with a
// warning at most once a minute per channel.
class zmq_Subscriber : public zmq_Connection
{
    Q_OBJECT
public:
    explicit zmq_Subscriber(QString address, QObject *parent = nullptr);
    ~zmq_Subscriber() override;

    void subscribe(QString channel);
    void unsubscribe(QString channel);

    QSet<QString> subscribedChannels() const { return channels; }

    static constexpr int maxTextBytes = 64 * 1024;
    static constexpr int maxChannelBytes = 1024;

protected slots:
    void readAll() override;
    bool createSocket() override;

private:
    enum class Frames { Received, NoMessage, Failed };
    struct Message
    {
        QByteArray sender;
        QByteArray text;
        int frames = 0;
        size_t senderBytes = 0;
        size_t textBytes = 0;
    };
    Frames receiveMessage(Message &message);
    // False, with a warning if one is due, when the message is too large to be delivered.
    bool acceptable(const Message &message);
    bool setFilter(bool add, const QString &channel, const char *function);
    // libzmq gives up a connection after a protocol error (such as an oversized message):
    // connects anew, and the socket sends its filters again.
    void connectAgain();

    QSet<QString> channels;
    ChannelWarningLimit dropWarnings;
    zmq_DisconnectWatch *disconnectWatch = nullptr;
};
