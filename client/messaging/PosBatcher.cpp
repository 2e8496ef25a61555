#include "PosBatcher.h"

#include <algorithm>

PosBatcher::PosBatcher(int intervalMs, QObject *parent)
    : QObject(parent)
    , m_intervalMs(intervalMs)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &PosBatcher::flush);
}

QStringList PosBatcher::lastLines(const QString &text)
{
    QStringList lines;
    int end = text.size();
    while (lines.size() < maxLines) {
        const int start = end > 0 ? text.lastIndexOf(QLatin1Char('\n'), end - 1) + 1 : 0;
        QString line = text.mid(start, std::min(end - start, maxLineLength));
        if (end - start > maxLineLength)
            line[maxLineLength - 1] = QChar(0x2026);
        lines.prepend(line);
        if (start == 0)
            break;
        end = start - 1;
    }
    return lines;
}

void PosBatcher::add(const QString &channel, const QString &text)
{
    const QStringList lines = lastLines(text);
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        auto pending = std::find_if(m_pending.begin(), m_pending.end(),
                                    [&](const Pending &p) { return p.channel == channel; });
        if (pending == m_pending.end())
            pending = m_pending.insert(m_pending.end(), Pending{channel, {}});
        pending->lines.append(lines);
        if (pending->lines.size() > maxLines)
            pending->lines.erase(pending->lines.begin(), pending->lines.end() - maxLines);
    }
    if (m_timer.isActive())
        return;
    const qint64 since = m_sinceReady.isValid() ? m_sinceReady.elapsed() : m_intervalMs;
    if (since >= m_intervalMs)
        flush();
    else
        m_timer.start(static_cast<int>(m_intervalMs - since));
}

QVector<PosBatcher::Text> PosBatcher::take()
{
    QVector<Pending> pending;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        pending.swap(m_pending);
        m_untaken = false;
    }
    QVector<Text> texts;
    texts.reserve(pending.size());
    for (const Pending &p : qAsConst(pending))
        texts.append(Text{p.channel, p.lines.join(QLatin1Char('\n'))});
    return texts;
}

void PosBatcher::flush()
{
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_pending.isEmpty())
            return;
        if (m_untaken) {
            // The taking side is busy: what comes meanwhile joins the batch it has not taken.
            lock.unlock();
            m_timer.start(m_intervalMs);
            return;
        }
        m_untaken = true;
    }
    m_sinceReady.restart();
    emit ready();
}
