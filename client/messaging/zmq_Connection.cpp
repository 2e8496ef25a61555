#include "zmq_Connection.h"

#include <QDebug>
#include <QPointer>
#include <QSocketNotifier>

#include <zmq.hpp>

zmq_Connection::zmq_Connection(QString address, QObject *parent)
    : QObject(parent)
    , address(std::move(address))
{}

zmq_Connection::~zmq_Connection()
{
    stop();
}

bool zmq_Connection::start()
{
    qDebug() << "bool zmq_Connection::start()";
    if (!createSocket())
        return false;

    zmq::fd_t fd = -1;
    try {
        fd = socket->get(zmq::sockopt::fd);
    } catch (const zmq::error_t &e) {
        qDebug().nospace() << "  Exception: " << e.what();
        return false;
    }
    qDebug().nospace() << "  Socket number: " << fd;

    if (notifier) {
        // The old descriptor's notifier must not drive reads of the new socket.
        notifier->disconnect();
        notifier->setEnabled(false);
        notifier->deleteLater();
    }
    notifier = new QSocketNotifier(static_cast<qintptr>(fd), QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &zmq_Connection::handleNotifierActivated);
    notifier->setEnabled(true);

    // Reading the socket's events resets its descriptor's edge, as a receive would, but
    // takes nothing off the queue: a message that is already waiting is drained like any
    // other instead of being thrown away.
    int events = 0;
    try {
        events = socket->get(zmq::sockopt::events);
    } catch (const zmq::error_t &e) {
        qDebug() << "bool zmq_Connection::start()";
        qDebug() << "  Exception:" << e.what();
    }
    emit started();
    if (events & ZMQ_POLLIN)
        scheduleReadIfPending();
    return true;
}

void zmq_Connection::stop()
{
    if (notifier) {
        notifier->disconnect();
        notifier->setEnabled(false);
        notifier->deleteLater();
        notifier = nullptr;
    }
    if (socket) {
        socket->close();
        socket.reset();
        emit stopped();
    }
}

void zmq_Connection::handleNotifierActivated(int)
{
    readPending = false;
    if (!notifier)
        return;
    notifier->setEnabled(false);
    drainAborted = false;
    const QPointer<zmq_Connection> alive(this);
    readAll();
    // A receiver of the messages may have destroyed or stopped this connection.
    if (!alive || !notifier)
        return;
    notifier->setEnabled(true);
    if (!drainAborted)
        scheduleReadIfPending();
}

void zmq_Connection::scheduleReadIfPending()
{
    if (!socket || !notifier || readPending)
        return;
    int events = 0;
    try {
        events = socket->get(zmq::sockopt::events);
    } catch (const zmq::error_t &e) {
        qWarning() << "void zmq_Connection::scheduleReadIfPending()";
        qWarning() << "  Err:" << e.what();
        return;
    }
    if (!(events & ZMQ_POLLIN))
        return;
    readPending = true;
    // Queued, so the drain runs from the event loop and never inside the caller.
    QMetaObject::invokeMethod(
        this, [this] { handleNotifierActivated(-1); }, Qt::QueuedConnection);
}
