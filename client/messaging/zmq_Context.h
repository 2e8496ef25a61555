#pragma once

#include <zmq.hpp>

// The process-wide ZeroMQ context: one I/O thread, the default socket limit, and a
// termination that never waits for unsent messages. Created on first use, it lives until
// the process exits.
class zmq_Context
{
public:
    explicit zmq_Context(int ioThreads);
    ~zmq_Context();
    zmq_Context(const zmq_Context &) = delete;
    zmq_Context &operator=(const zmq_Context &) = delete;

    // The one context. Throws zmq::error_t when it cannot be created; the next call tries
    // again (a static whose construction threw is constructed anew on the next pass).
    static zmq_Context &instance();

    zmq::context_t &context() { return m_context; }

private:
    zmq::context_t m_context;
};
