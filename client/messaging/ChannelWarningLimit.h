#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QString>

// Says whether a warning about a channel may be logged now: at most once per interval for each
// channel. A publisher can make up any number of topics, so at most maxChannels channels are
// remembered; while that many warned within the interval, warnings about others are dropped.
class ChannelWarningLimit
{
public:
    explicit ChannelWarningLimit(qint64 intervalMs = 60000);

    bool allow(const QString &channel);

    static constexpr int maxChannels = 64;

private:
    void forgetOld(qint64 now);

    QElapsedTimer m_clock;
    qint64 m_intervalMs;
    QHash<QString, qint64> m_lastWarned;
};
