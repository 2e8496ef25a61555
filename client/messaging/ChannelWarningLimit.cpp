#include "ChannelWarningLimit.h"

ChannelWarningLimit::ChannelWarningLimit(qint64 intervalMs)
    : m_intervalMs(intervalMs)
{
    m_clock.start();
}

bool ChannelWarningLimit::allow(const QString &channel)
{
    const qint64 now = m_clock.elapsed();
    const auto last = m_lastWarned.find(channel);
    if (last != m_lastWarned.end()) {
        if (now - last.value() < m_intervalMs)
            return false;
        last.value() = now;
        return true;
    }
    if (m_lastWarned.size() >= maxChannels)
        forgetOld(now);
    if (m_lastWarned.size() >= maxChannels)
        return false;
    m_lastWarned.insert(channel, now);
    return true;
}

void ChannelWarningLimit::forgetOld(qint64 now)
{
    for (auto it = m_lastWarned.begin(); it != m_lastWarned.end();) {
        if (now - it.value() >= m_intervalMs)
            it = m_lastWarned.erase(it);
        else
            ++it;
    }
}
