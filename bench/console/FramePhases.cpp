#include "FramePhases.h"

#include <QQuickWindow>

#include <cstdio>

FramePhases::FramePhases(QQuickWindow *window)
    : QObject(window)
{
    m_clock.start();
    // Every signal below is emitted on the render thread: only atomics are touched there.
    connect(
        window, &QQuickWindow::beforeSynchronizing, this,
        [this] {
            const qint64 now = m_clock.nsecsElapsed();
            if (m_swapEnd.load() > 0)
                m_gap += now - m_swapEnd.load();
            m_syncStart = now;
        },
        Qt::DirectConnection);
    connect(
        window, &QQuickWindow::afterSynchronizing, this,
        [this] { m_sync += m_clock.nsecsElapsed() - m_syncStart.load(); }, Qt::DirectConnection);
    connect(
        window, &QQuickWindow::beforeRendering, this,
        [this] { m_renderStart = m_clock.nsecsElapsed(); }, Qt::DirectConnection);
    connect(
        window, &QQuickWindow::afterRendering, this,
        [this] {
            m_renderEnd = m_clock.nsecsElapsed();
            m_render += m_renderEnd.load() - m_renderStart.load();
        },
        Qt::DirectConnection);
    connect(
        window, &QQuickWindow::frameSwapped, this,
        [this] {
            m_swapEnd = m_clock.nsecsElapsed();
            m_swap += m_swapEnd.load() - m_renderEnd.load();
            ++m_frames;
        },
        Qt::DirectConnection);
}

void FramePhases::reset()
{
    m_sync = 0;
    m_render = 0;
    m_swap = 0;
    m_gap = 0;
    m_frames = 0;
}

void FramePhases::print() const
{
    const double frames = static_cast<double>(std::max(1L, m_frames.load())) * 1e6;
    std::printf("window frames: %ld; ms per frame: sync %.1f, render %.1f, swap %.1f, waiting "
                "between frames %.1f\n",
                m_frames.load(), m_sync.load() / frames, m_render.load() / frames,
                m_swap.load() / frames, m_gap.load() / frames);
    std::fflush(stdout);
}
