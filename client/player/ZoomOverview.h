#pragma once

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QTimer>

class MpvObject;
class QQuickItem;

// The small picture of the whole frame that a zoomed view shows in its corner, the part shown
// framed over it. The drawn video is zoomed by the player itself, so the whole frame is asked
// of the player (its unzoomed "screenshot-raw", taken on the player's own thread), scaled down
// on the thread pool and taken again about once a second while active. While inactive nothing
// is asked and no picture is kept: an unzoomed view costs nothing.
class ZoomOverview : public QObject
{
    Q_OBJECT
    // The MpvObject whose frames are shown.
    Q_PROPERTY(QQuickItem *player READ player WRITE setPlayer NOTIFY playerChanged)
    // Set while the overview is shown (the view zoomed).
    Q_PROPERTY(bool active READ active WRITE setActive NOTIFY activeChanged)
    // The picture's size in pixels: the frame is scaled to fit it, keeping its shape.
    Q_PROPERTY(QSize size READ size WRITE setSize NOTIFY sizeChanged)
    Q_PROPERTY(QImage image READ image NOTIFY imageChanged)

public:
    static constexpr int refreshMs = 1000;

    explicit ZoomOverview(QObject *parent = nullptr);

    QQuickItem *player() const;
    void setPlayer(QQuickItem *player);
    bool active() const { return m_active; }
    void setActive(bool active);
    QSize size() const { return m_size; }
    void setSize(const QSize &size);
    QImage image() const { return m_image; }

signals:
    void playerChanged();
    void activeChanged();
    void sizeChanged();
    void imageChanged();

private:
    void request();
    void frameArrived(quint64 request, const QImage &frame);
    void scaled(quint64 generation, const QImage &picture);
    // Forgets what is on its way and the picture.
    void stop();

    QPointer<MpvObject> m_player;
    bool m_active = false;
    QSize m_size;
    QImage m_image;
    QTimer m_refresh;
    // The frame request on its way, 0 for none; one at a time.
    quint64 m_request = 0;
    bool m_scaling = false;
    // Raised at each stop: a picture scaled for an earlier activation is dropped.
    quint64 m_generation = 0;
};
