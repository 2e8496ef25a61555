#pragma once

#include "zmq_Connection.h"

#include <QByteArray>
#include <QSet>
#include <QString>

// A SUB socket connected to one publisher: keeps the set of subscribed channels (topic
// prefixes) and emits messageReceived(channel, text) for every message of two or more frames.
class zmq_Subscriber : public zmq_Connection
{
    Q_OBJECT
public:
    explicit zmq_Subscriber(QString address, QObject *parent = nullptr);
    ~zmq_Subscriber() override;

    void subscribe(QString channel);
    void unsubscribe(QString channel);

    QSet<QString> subscribedChannels() const { return channels; }

protected slots:
    void readAll() override;
    bool createSocket() override;

private:
    enum class Frames { Received, NoMessage, Failed };
    Frames receiveMessage(QByteArray &sender, QByteArray &text, int &frameCount);
    bool setFilter(bool add, const QString &channel, const char *function);

    QSet<QString> channels;
};
