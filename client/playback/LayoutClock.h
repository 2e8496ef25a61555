#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

// The moment a layout plays back: a base moment plus the wall time elapsed since it was set,
// times the rate. Every cell of the layout is compared with it, so it runs on whatever a
// player does; a pause or a seek sets a new base.
class LayoutClock : public QObject
{
    Q_OBJECT
    // ms since the epoch; -1 until a moment is set.
    Q_PROPERTY(qint64 moment READ moment NOTIFY momentChanged)
    Q_PROPERTY(double rate READ rate WRITE setRate NOTIFY rateChanged)
    Q_PROPERTY(bool paused READ paused WRITE setPaused NOTIFY pausedChanged)

public:
    // How far one frame step moves the moment.
    static constexpr qint64 kFrameMs = 40;

    explicit LayoutClock(QObject *parent = nullptr);

    qint64 moment() const;
    double rate() const { return m_rate; }
    // Rates other than 0.5, 1, 2, 4 and 8 are refused with a warning.
    void setRate(double rate);
    bool paused() const { return m_paused; }
    void setPaused(bool paused);

    Q_INVOKABLE void seek(qint64 t);
    // One frame back (-1) or on (+1); the clock pauses first.
    Q_INVOKABLE void stepFrame(int direction);
    static bool isRate(double rate);

signals:
    void momentChanged();
    void rateChanged();
    void pausedChanged();
    // The moment jumped (a seek or a frame step), as opposed to running on.
    void jumped();

private:
    void rebase();

    qint64 m_base = -1;
    QElapsedTimer m_since;
    double m_rate = 1.0;
    bool m_paused = false;
    // Tells the moment's readers four times a second while it runs.
    QTimer m_tick;
};
