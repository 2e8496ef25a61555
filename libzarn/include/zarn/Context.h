#pragma once

#include "zarn/Logger.h"

#include <memory>
#include <thread>

namespace ardix::zarn {

namespace detail {
class ContextImpl;
class ContextOwner;
} // namespace detail

// Owns one I/O thread. Every callback and every success/failure function of the connections
// and clients built on this context runs on that thread, never inside the caller's call.
// A shared handle: copies refer to the same context. The thread starts on first use and is
// stopped and joined when the last copy (including those held by connections and clients)
// goes away; from the I/O thread itself it is left to finish on its own instead.
class Context
{
public:
    // A context whose logger drops every line.
    Context();
    // A context that reports its diagnostics to `logger`.
    explicit Context(Logger logger);

    const Logger &logger() const;
    // Id of the I/O thread, or a default id before it started.
    std::thread::id ioThreadId() const;
    // True when called on this context's I/O thread.
    bool isIoThread() const;

    std::shared_ptr<detail::ContextImpl> impl() const;

private:
    std::shared_ptr<detail::ContextOwner> d_;
};

} // namespace ardix::zarn
