#pragma once

#include <QObject>

#include <QElapsedTimer>

#include <atomic>

class QQuickWindow;

// Where a window frame's time goes on the render thread: synchronising with the GUI thread,
// rendering (the cells' pictures and the scene), and from the end of rendering to the frame
// on screen (the swap); and how long the thread waited between frames.
class FramePhases : public QObject
{
public:
    explicit FramePhases(QQuickWindow *window);

    // Starts counting afresh.
    void reset();
    // Milliseconds per frame since reset(), on one line.
    void print() const;

private:
    QElapsedTimer m_clock;
    std::atomic<qint64> m_syncStart{0}, m_renderStart{0}, m_renderEnd{0}, m_swapEnd{0};
    std::atomic<qint64> m_sync{0}, m_render{0}, m_swap{0}, m_gap{0};
    std::atomic<long> m_frames{0};
};
