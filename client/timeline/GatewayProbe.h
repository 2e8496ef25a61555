#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class QTcpSocket;

// Tells a gateway that does not answer from a recording it refused: asked after a failure, it
// tries a TCP connection to the gateway's HTTP service. A refusal, or no answer within
// `timeout` ms, makes it `down`; while down it tries again every `retryInterval` ms and is up
// again once the gateway takes a connection.
class GatewayProbe : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool down READ down NOTIFY downChanged)
    // Why it is down, as the socket said ("Connection refused"); empty while up.
    Q_PROPERTY(QString reason READ reason NOTIFY downChanged)
    Q_PROPERTY(int timeout READ timeout WRITE setTimeout NOTIFY settingsChanged)
    Q_PROPERTY(int retryInterval READ retryInterval WRITE setRetryInterval NOTIFY settingsChanged)

public:
    explicit GatewayProbe(QObject *parent = nullptr);
    ~GatewayProbe() override;

    bool down() const { return m_down; }
    QString reason() const { return m_reason; }
    int timeout() const { return m_timeout; }
    void setTimeout(int ms);
    int retryInterval() const { return m_retry.interval(); }
    void setRetryInterval(int ms);

    // Tries `gatewayBase` ("http://host:port") now, unless a try of it is under way.
    Q_INVOKABLE void check(const QString &gatewayBase);
    // Forgets the gateway and what was found: up, nothing tried.
    Q_INVOKABLE void reset();

signals:
    void downChanged();
    void settingsChanged();

private:
    void tryNow();
    void finish(bool answered, const QString &reason);

    QString m_gateway;
    QPointer<QTcpSocket> m_socket;
    QTimer m_deadline;
    QTimer m_retry;
    bool m_down = false;
    QString m_reason;
    int m_timeout = 5000;
};
