#include "ContextImpl.h"

#include "zarn/Context.h"

namespace ardix::zarn::detail {

ContextImpl::ContextImpl(Logger logger)
    : work_(asio::make_work_guard(io_))
    , logger_(std::move(logger))
{}

ContextImpl::~ContextImpl()
{
    if (thread_.joinable())
        thread_.detach();
}

void ContextImpl::ensureStarted()
{
    std::lock_guard<std::mutex> lock(startMutex_);
    if (started_ || !alive_)
        return;
    started_ = true;
    // The thread keeps the context alive so that a detached thread never outlives its loop.
    auto self = shared_from_this();
    thread_ = std::thread([self] {
        self->threadId_.store(std::this_thread::get_id());
        for (;;) {
            try {
                self->io_.run();
                break;
            } catch (const std::exception &e) {
                self->log(LogLevel::Error, std::string("I/O handler threw: ") + e.what());
            } catch (...) {
                self->log(LogLevel::Error, "I/O handler threw");
            }
        }
    });
}

void ContextImpl::log(LogLevel level, const std::string &text) const
{
    if (alive_.load())
        logger_.log(level, text);
}

void ContextImpl::shutdown()
{
    std::thread thread;
    {
        std::lock_guard<std::mutex> lock(startMutex_);
        alive_ = false;
        work_.reset();
        io_.stop();
        thread.swap(thread_);
    }
    if (!thread.joinable())
        return;
    if (thread.get_id() == std::this_thread::get_id())
        thread.detach();
    else
        thread.join();
}

} // namespace ardix::zarn::detail

namespace ardix::zarn {

Context::Context()
    : Context(Logger())
{}

Context::Context(Logger logger)
    : d_(std::make_shared<detail::ContextOwner>(std::move(logger)))
{}

const Logger &Context::logger() const
{
    return d_->impl->logger();
}

std::thread::id Context::ioThreadId() const
{
    return d_->impl->threadId();
}

bool Context::isIoThread() const
{
    return d_->impl->isIoThread();
}

std::shared_ptr<detail::ContextImpl> Context::impl() const
{
    return d_->impl;
}

} // namespace ardix::zarn
