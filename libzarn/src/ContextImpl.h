#pragma once

#include "zarn/Logger.h"

#include <asio.hpp>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace ardix::zarn::detail {

// The io_context and its thread. Started on first post, stopped by ContextOwner.
class ContextImpl : public std::enable_shared_from_this<ContextImpl>
{
public:
    explicit ContextImpl(Logger logger);
    ~ContextImpl();

    asio::io_context &io() { return io_; }
    const Logger &logger() const { return logger_; }

    // Queues f on the I/O thread, starting the thread if needed.
    template <typename F> void post(F &&f)
    {
        ensureStarted();
        asio::post(io_, std::forward<F>(f));
    }

    // Queues f only when the thread already runs: with no thread, nothing was ever started
    // that f would need to undo.
    template <typename F> void postIfStarted(F &&f)
    {
        std::lock_guard<std::mutex> lock(startMutex_);
        if (started_)
            asio::post(io_, std::forward<F>(f));
    }

    void log(LogLevel level, const std::string &text) const;
    std::thread::id threadId() const { return threadId_.load(); }
    bool isIoThread() const { return threadId_.load() == std::this_thread::get_id(); }

    // Stops the loop and joins the thread; from the I/O thread itself the thread is detached
    // and ends once the running handler returns.
    void shutdown();

private:
    void ensureStarted();

    asio::io_context io_;
    std::optional<asio::executor_work_guard<asio::io_context::executor_type>> work_;
    Logger logger_;
    std::mutex startMutex_;
    std::thread thread_;
    std::atomic<std::thread::id> threadId_{};
    std::atomic<bool> alive_{true};
    bool started_ = false;
};

// What the user's Context handles share: its destruction ends the thread.
class ContextOwner
{
public:
    explicit ContextOwner(Logger logger)
        : impl(std::make_shared<ContextImpl>(std::move(logger)))
    {}
    ~ContextOwner() { impl->shutdown(); }
    std::shared_ptr<ContextImpl> impl;
};

} // namespace ardix::zarn::detail
