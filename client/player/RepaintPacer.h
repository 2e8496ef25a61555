#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <vector>

class QQuickItem;

// Gathers the players' repaint requests into at most a given number of window frames a
// second. Every new picture of every cell asks for a frame; unpaced, a window of many cells
// draws whenever any of them has one, and with a software OpenGL each frame of the whole
// window costs the processor as much as several cells' decoding. Paced, one frame takes the
// pictures of all cells that have a new one. GUI thread only.
class RepaintPacer : public QObject
{
public:
    explicit RepaintPacer(int framesPerSecond, QObject *parent = nullptr);

    // The pacer the players share.
    static RepaintPacer &shared();

    // Repaints `item` with the next paced frame: at once when the last one is a frame's time
    // ago, else when it is. Asking again before then changes nothing.
    void request(QQuickItem *item);

private:
    void flush();

    const int m_intervalMs;
    QTimer m_timer;
    QElapsedTimer m_sinceFlush;
    std::vector<QPointer<QQuickItem>> m_pending;
};
