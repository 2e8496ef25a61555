#include "zmq_Context.h"

#include <QDebug>

zmq_Context::zmq_Context(int ioThreads)
    : m_context(ioThreads, ZMQ_MAX_SOCKETS_DFLT)
{
    qDebug() << "zmq_Context::zmq_Context(int)";
    // Terminating the context must not wait for unsent messages, and new sockets start with
    // a linger of 0.
    m_context.set(zmq::ctxopt::blocky, 0);
}

zmq_Context::~zmq_Context()
{
    qDebug() << "zmq_Context::~zmq_Context()";
}

zmq_Context &zmq_Context::instance()
{
    qDebug() << "static zmq_Context& zmq_Context::instance()";
    static zmq_Context context(1);
    return context;
}
