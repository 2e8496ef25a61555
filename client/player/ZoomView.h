#pragma once

#include <QObject>
#include <QRect>
#include <QRectF>

// The digital zoom of one camera picture: how far it is zoomed (1x to 8x) and which part of the
// picture is shown. Zoom is a view transform of the drawn video only: the player keeps decoding
// the whole picture, and the view hands panX, panY and mpvZoom to its video output.
//
// Positions given to it are in the view's own coordinates (the item that shows the picture);
// the picture is fitted into the view keeping its shape, as the player draws it unzoomed.
class ZoomView : public QObject
{
    Q_OBJECT
    Q_PROPERTY(qreal viewWidth READ viewWidth WRITE setViewWidth NOTIFY viewChanged)
    Q_PROPERTY(qreal viewHeight READ viewHeight WRITE setViewHeight NOTIFY viewChanged)
    Q_PROPERTY(int videoWidth READ videoWidth WRITE setVideoWidth NOTIFY viewChanged)
    Q_PROPERTY(int videoHeight READ videoHeight WRITE setVideoHeight NOTIFY viewChanged)
    Q_PROPERTY(qreal scale READ scale NOTIFY changed)
    Q_PROPERTY(bool zoomed READ zoomed NOTIFY changed)
    // The player's "video-zoom" (log2 of scale), "video-pan-x" and "video-pan-y".
    Q_PROPERTY(qreal mpvZoom READ mpvZoom NOTIFY changed)
    Q_PROPERTY(qreal panX READ panX NOTIFY changed)
    Q_PROPERTY(qreal panY READ panY NOTIFY changed)
    // The part of the picture shown, as fractions of the picture (0..1), for the overview.
    Q_PROPERTY(QRectF shownPart READ shownPart NOTIFY changed)
    // The same in the stream's own pixels, for a snapshot of what is shown.
    Q_PROPERTY(QRect sourceRect READ sourceRect NOTIFY changed)

public:
    static constexpr qreal minScale = 1.0;
    static constexpr qreal maxScale = 8.0;
    // One notch of a mouse wheel (120 eighths of a degree) zooms by this factor.
    static constexpr qreal notchFactor = 1.25;

    explicit ZoomView(QObject *parent = nullptr);

    qreal viewWidth() const { return m_viewWidth; }
    void setViewWidth(qreal value);
    qreal viewHeight() const { return m_viewHeight; }
    void setViewHeight(qreal value);
    int videoWidth() const { return m_videoWidth; }
    void setVideoWidth(int value);
    int videoHeight() const { return m_videoHeight; }
    void setVideoHeight(int value);

    qreal scale() const { return m_scale; }
    bool zoomed() const { return m_scale > minScale; }
    qreal mpvZoom() const;
    qreal panX() const { return 0.5 - m_centerX; }
    qreal panY() const { return 0.5 - m_centerY; }
    QRectF shownPart() const;
    QRect sourceRect() const;

    // Zooms by a wheel's angle delta (eighths of a degree, 120 a notch) keeping the point of
    // the picture under (x, y) where it is. False, and nothing changes, while there is no
    // picture to zoom (the video has not started) or the view has no size.
    Q_INVOKABLE bool wheel(qreal x, qreal y, int angleDelta);
    // Zooms to scale keeping the point under (x, y) where it is; scale is held to 1..8.
    Q_INVOKABLE bool zoomAt(qreal x, qreal y, qreal scale);
    // Moves the picture by (dx, dy) view pixels, as a drag does; held inside the picture.
    Q_INVOKABLE void panBy(qreal dx, qreal dy);
    // The whole picture again (1:1).
    Q_INVOKABLE void reset();
    // The width and height the whole picture is drawn at now, zoom included, in view pixels:
    // what a stream profile has to cover for the shown part to look as sharp as it can.
    Q_INVOKABLE qreal zoomedWidth() const { return m_viewWidth * m_scale; }
    Q_INVOKABLE qreal zoomedHeight() const { return m_viewHeight * m_scale; }

signals:
    void viewChanged();
    void changed();

private:
    bool hasPicture() const;
    // The picture's size in the view at 1x.
    qreal fitWidth() const;
    qreal fitHeight() const;
    void clampCenter();
    void update(qreal scale, qreal centerX, qreal centerY);

    qreal m_viewWidth = 0;
    qreal m_viewHeight = 0;
    int m_videoWidth = 0;
    int m_videoHeight = 0;
    qreal m_scale = minScale;
    // The point of the picture (fractions) drawn at the view's centre.
    qreal m_centerX = 0.5;
    qreal m_centerY = 0.5;
};
