#include "ConnectionWatch.h"

namespace {

constexpr int kProbeIntervalMs = 5000;
constexpr int kAnswerDeadlineMs = 10000;

} // namespace

ConnectionWatch::ConnectionWatch(Probe probe, QObject *parent)
    : QObject(parent)
    , m_probe(std::move(probe))
{
    m_interval.setInterval(kProbeIntervalMs);
    m_deadline.setInterval(kAnswerDeadlineMs);
    m_deadline.setSingleShot(true);
    connect(&m_interval, &QTimer::timeout, this, &ConnectionWatch::sendProbe);
    connect(&m_deadline, &QTimer::timeout, this, &ConnectionWatch::expire);
}

void ConnectionWatch::setTimes(int intervalMs, int deadlineMs)
{
    m_interval.setInterval(intervalMs);
    m_deadline.setInterval(deadlineMs);
}

void ConnectionWatch::start()
{
    m_waitingFor = 0;
    m_deadline.stop();
    m_interval.start();
}

void ConnectionWatch::stop()
{
    m_interval.stop();
    m_deadline.stop();
    m_waitingFor = 0;
}

void ConnectionWatch::answered(quint64 token)
{
    if (token != m_waitingFor)
        return;
    m_waitingFor = 0;
    m_deadline.stop();
}

void ConnectionWatch::sendProbe()
{
    // One probe at a time: the deadline runs from the oldest unanswered one.
    if (m_waitingFor != 0)
        return;
    m_waitingFor = ++m_token;
    m_deadline.start();
    m_probe(m_waitingFor);
}

void ConnectionWatch::expire()
{
    if (m_waitingFor == 0)
        return;
    stop();
    emit lost();
}
