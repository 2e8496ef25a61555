#pragma once

#include <QObject>
#include <QString>

#include <memory>

namespace zmq {
class socket_t;
}
class QSocketNotifier;

// A ZeroMQ socket that lives in the Qt event loop: a read notifier on the socket's
// notification descriptor drives readAll(), so nothing blocks on ZeroMQ. Subclasses create
// the socket and read its messages.
class zmq_Connection : public QObject
{
    Q_OBJECT
public:
    explicit zmq_Connection(QString address, QObject *parent = nullptr);
    ~zmq_Connection() override;

    // Creates the socket, installs the notifier and emits started(); false when the socket
    // or its descriptor could not be had.
    bool start();
    // Tears the notifier and the socket down; emits stopped() when there was a socket.
    void stop();

    QString endpoint() const { return address; }
    bool isRunning() const { return socket && notifier; }

signals:
    void started();
    void stopped();
    void messageReceived(QString sender, QString message);

protected slots:
    void handleNotifierActivated(int socket);
    virtual void readAll() = 0;
    virtual bool createSocket() = 0;

protected:
    // The descriptor is edge-triggered: any call on the socket (a receive, an option) may
    // consume its signal while messages stay queued. Call after such a call: when the socket
    // holds a readable message, a drain is queued on the event loop.
    void scheduleReadIfPending();
    // Set by readAll() when it gave up on repeated receive errors: the queued re-check is
    // skipped then, so a broken socket does not spin; the next activation tries again.
    bool drainAborted = false;

    QString address;
    std::shared_ptr<zmq::socket_t> socket;
    QSocketNotifier *notifier = nullptr;

private:
    bool readPending = false;
};
