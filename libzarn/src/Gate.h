#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

namespace ardix::zarn::detail {

// Lets the I/O thread call user code only while the owning handle lives. close() waits for a
// call that is running on another thread, but not for one running on the calling thread (a
// callback that drops its own Client), so destruction never waits for itself.
class Gate
{
public:
    // Runs f unless the gate is closed; exceptions thrown by user code are swallowed because
    // they would otherwise end the I/O thread.
    template <typename F> bool run(F &&f)
    {
        if (!enter())
            return false;
        try {
            f();
        } catch (...) {
        }
        leave();
        return true;
    }

    void close()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        open_ = false;
        if (running_ > 0 && runner_ == std::this_thread::get_id())
            return;
        idle_.wait(lock, [this] { return running_ == 0; });
    }

    bool isOpen() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return open_;
    }

private:
    bool enter()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!open_)
            return false;
        ++running_;
        runner_ = std::this_thread::get_id();
        return true;
    }

    void leave()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (--running_ == 0) {
            runner_ = std::thread::id();
            idle_.notify_all();
        }
    }

    mutable std::mutex mutex_;
    std::condition_variable idle_;
    bool open_ = true;
    int running_ = 0;
    std::thread::id runner_;
};

} // namespace ardix::zarn::detail
