#include "LayoutClock.h"

#include <QDebug>

#include <array>
#include <cmath>

LayoutClock::LayoutClock(QObject *parent)
    : QObject(parent)
{
    m_since.start();
    m_tick.setInterval(250);
    connect(&m_tick, &QTimer::timeout, this, &LayoutClock::momentChanged);
}

qint64 LayoutClock::moment() const
{
    if (m_base < 0 || m_paused)
        return m_base;
    return m_base + qint64(std::llround(double(m_since.elapsed()) * m_rate));
}

bool LayoutClock::isRate(double rate)
{
    constexpr std::array<double, 5> rates{0.5, 1, 2, 4, 8};
    for (double r : rates) {
        if (qFuzzyCompare(r, rate))
            return true;
    }
    return false;
}

// The moment reached becomes the new base, so that a change of rate or pause counts from now.
void LayoutClock::rebase()
{
    m_base = moment();
    m_since.restart();
}

void LayoutClock::setRate(double rate)
{
    if (!isRate(rate)) {
        qWarning() << "Layout playback: no such rate" << rate;
        return;
    }
    if (qFuzzyCompare(m_rate, rate))
        return;
    rebase();
    m_rate = rate;
    emit rateChanged();
}

void LayoutClock::setPaused(bool paused)
{
    if (m_paused == paused)
        return;
    rebase();
    m_paused = paused;
    if (m_paused || m_base < 0)
        m_tick.stop();
    else
        m_tick.start();
    emit pausedChanged();
    emit momentChanged();
}

void LayoutClock::seek(qint64 t)
{
    m_base = t;
    m_since.restart();
    if (!m_paused)
        m_tick.start();
    emit momentChanged();
    emit jumped();
}

void LayoutClock::stepFrame(int direction)
{
    setPaused(true);
    seek(moment() + (direction < 0 ? -kFrameMs : kFrameMs));
}
