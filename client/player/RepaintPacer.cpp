#include "RepaintPacer.h"

#include <QCoreApplication>
#include <QQuickItem>

#include <algorithm>
#include <utility>

namespace {

// Above the frame rate of any camera stream the console plays (25 or 30), so that no picture
// waits for more than one window frame.
constexpr int kSharedFramesPerSecond = 30;

} // namespace

RepaintPacer::RepaintPacer(int framesPerSecond, QObject *parent)
    : QObject(parent)
    , m_intervalMs(1000 / std::max(1, framesPerSecond))
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &RepaintPacer::flush);
}

RepaintPacer &RepaintPacer::shared()
{
    // Owned by the application, so that its timer goes before the event loop's thread data.
    static QPointer<RepaintPacer> pacer;
    if (!pacer)
        pacer = new RepaintPacer(kSharedFramesPerSecond, QCoreApplication::instance());
    return *pacer;
}

void RepaintPacer::request(QQuickItem *item)
{
    const bool pending = std::any_of(m_pending.cbegin(), m_pending.cend(),
                                     [item](const QPointer<QQuickItem> &p) { return p == item; });
    if (!pending)
        m_pending.emplace_back(item);
    if (m_timer.isActive())
        return;
    const qint64 wait = m_sinceFlush.isValid() ? m_intervalMs - m_sinceFlush.elapsed() : qint64(0);
    if (wait <= 0)
        flush();
    else
        m_timer.start(static_cast<int>(wait));
}

void RepaintPacer::flush()
{
    m_sinceFlush.restart();
    // Items gone since they asked are null by now.
    const std::vector<QPointer<QQuickItem>> due = std::exchange(m_pending, {});
    for (const QPointer<QQuickItem> &item : due)
        if (item)
            item->update();
}
