#include "Simulator.h"

#include <future>
#include <iostream>

namespace ardix::sim {

Simulator::Simulator(SimulatorOptions options)
    : options_(std::move(options))
{
    if (!options_.log)
        options_.log = &Simulator::logToStderr;
}

Simulator::~Simulator()
{
    stop();
}

void Simulator::logToStderr(const std::string &line)
{
    static std::mutex mutex;
    std::lock_guard<std::mutex> lock(mutex);
    std::cerr << "zarn-sim: " << line << std::endl;
}

template <typename F> auto Simulator::call(F &&f) -> decltype(f())
{
    if (!thread_.joinable() || thread_.get_id() == std::this_thread::get_id())
        return f();
    std::packaged_task<decltype(f())()> task(std::forward<F>(f));
    auto result = task.get_future();
    asio::post(io_, [&task] { task(); });
    return result.get();
}

bool Simulator::start(std::string *error)
{
    if (thread_.joinable())
        return true;
    events_ = std::make_unique<EventServer>(io_, options_.site, options_.log);
    events_->setLimits(options_.limits);
    events_->onHeld = [this] {
        std::lock_guard<std::mutex> lock(heldMutex_);
        heldCount_ = events_->heldRequests();
        heldChanged_.notify_all();
    };
    std::string err;
    if (!events_->listen(options_.host, options_.eventPort, err)) {
        events_.reset();
        if (error)
            *error = err;
        return false;
    }
    eventPort_ = events_->port();
    io_.restart();
    work_.emplace(asio::make_work_guard(io_));
    thread_ = std::thread([this] { io_.run(); });
    return true;
}

void Simulator::stop()
{
    if (!thread_.joinable())
        return;
    call([this] { events_->stop(); });
    work_.reset();
    io_.stop();
    thread_.join();
    events_.reset();
}

void Simulator::replaceSite(Site site)
{
    if (!events_)
        return;
    call([this, &site] { events_->replaceSite(std::move(site)); });
}

void Simulator::notifyObjectsChanged()
{
    if (!events_)
        return;
    call([this] { events_->notifyObjectsChanged(); });
}

bool Simulator::setObjectValue(std::int64_t id, const zarn::Value &value)
{
    if (!events_)
        return false;
    return call([this, id, &value] { return events_->state().setObjectValue(id, value); });
}

std::int64_t Simulator::sendEvent(zarn::Event event)
{
    if (!events_)
        return 0;
    return call([this, &event] { return events_->state().deliverEvent(std::move(event), 0); });
}

void Simulator::closeAllConnections()
{
    if (!events_)
        return;
    call([this] { events_->closeAllConnections(); });
}

void Simulator::setHoldRequests(bool hold)
{
    if (!events_)
        return;
    call([this, hold] {
        events_->setHoldRequests(hold);
        std::lock_guard<std::mutex> lock(heldMutex_);
        heldCount_ = events_->heldRequests();
    });
}

bool Simulator::waitForHeldRequests(std::size_t n, std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(heldMutex_);
    return heldChanged_.wait_for(lock, timeout, [&] { return heldCount_ >= n; });
}

std::size_t Simulator::connectionCount()
{
    if (!events_)
        return 0;
    return call([this] { return events_->connectionCount(); });
}

} // namespace ardix::sim
