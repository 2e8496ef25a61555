#include "ZoomView.h"

#include <QCoreApplication>
#include <QQmlEngine>

#include <algorithm>
#include <cmath>

namespace {

void registerZoomView()
{
    qmlRegisterType<ZoomView>("Native", 1, 0, "ZoomView");
}

// Half the visible share of one side of the picture, at scale, in fractions of the picture.
qreal halfShown(qreal view, qreal fitted, qreal scale)
{
    return fitted > 0 ? view / (2 * fitted * scale) : 0.5;
}

qreal clampCentre(qreal centre, qreal half)
{
    if (half >= 0.5 || !std::isfinite(centre))
        return 0.5;
    return std::clamp(centre, half, 1 - half);
}

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerZoomView)

ZoomView::ZoomView(QObject *parent)
    : QObject(parent)
{}

void ZoomView::setViewWidth(qreal value)
{
    if (qFuzzyCompare(m_viewWidth, value))
        return;
    m_viewWidth = value;
    emit viewChanged();
    update(m_scale, m_centerX, m_centerY);
}

void ZoomView::setViewHeight(qreal value)
{
    if (qFuzzyCompare(m_viewHeight, value))
        return;
    m_viewHeight = value;
    emit viewChanged();
    update(m_scale, m_centerX, m_centerY);
}

void ZoomView::setVideoWidth(int value)
{
    if (m_videoWidth == value)
        return;
    m_videoWidth = value;
    emit viewChanged();
    update(m_scale, m_centerX, m_centerY);
}

void ZoomView::setVideoHeight(int value)
{
    if (m_videoHeight == value)
        return;
    m_videoHeight = value;
    emit viewChanged();
    update(m_scale, m_centerX, m_centerY);
}

bool ZoomView::hasPicture() const
{
    return m_videoWidth > 0 && m_videoHeight > 0 && m_viewWidth >= 1 && m_viewHeight >= 1;
}

qreal ZoomView::fitWidth() const
{
    if (!hasPicture())
        return m_viewWidth;
    return m_videoWidth * std::min(m_viewWidth / m_videoWidth, m_viewHeight / m_videoHeight);
}

qreal ZoomView::fitHeight() const
{
    if (!hasPicture())
        return m_viewHeight;
    return m_videoHeight * std::min(m_viewWidth / m_videoWidth, m_viewHeight / m_videoHeight);
}

qreal ZoomView::mpvZoom() const
{
    return std::log2(m_scale);
}

QRectF ZoomView::shownPart() const
{
    if (!hasPicture())
        return QRectF(0, 0, 1, 1);
    const qreal hx = std::min<qreal>(halfShown(m_viewWidth, fitWidth(), m_scale), 0.5);
    const qreal hy = std::min<qreal>(halfShown(m_viewHeight, fitHeight(), m_scale), 0.5);
    const qreal left = std::max<qreal>(0, m_centerX - hx);
    const qreal top = std::max<qreal>(0, m_centerY - hy);
    return QRectF(left, top, std::min<qreal>(1, m_centerX + hx) - left,
                  std::min<qreal>(1, m_centerY + hy) - top);
}

QRect ZoomView::sourceRect() const
{
    if (m_videoWidth <= 0 || m_videoHeight <= 0)
        return QRect();
    const QRectF part = shownPart();
    // Rounded to whole pixels of the stream: the size is the shown part's, not one more.
    const QRect pixels(qRound(part.left() * m_videoWidth), qRound(part.top() * m_videoHeight),
                       std::max(1, qRound(part.width() * m_videoWidth)),
                       std::max(1, qRound(part.height() * m_videoHeight)));
    return pixels.intersected(QRect(0, 0, m_videoWidth, m_videoHeight));
}

bool ZoomView::wheel(qreal x, qreal y, int angleDelta)
{
    // A wheel spun hard gives huge deltas: a few notches' worth already reach either end.
    const qreal notches = std::clamp(angleDelta / 120.0, -20.0, 20.0);
    return zoomAt(x, y, m_scale * std::pow(notchFactor, notches));
}

bool ZoomView::zoomAt(qreal x, qreal y, qreal scale)
{
    if (!hasPicture() || !std::isfinite(x) || !std::isfinite(y) || !std::isfinite(scale))
        return false;
    const qreal next = std::clamp(scale, minScale, maxScale);
    // The point of the picture under the pointer before, kept under it after.
    const qreal dx = x - m_viewWidth / 2;
    const qreal dy = y - m_viewHeight / 2;
    const qreal u = m_centerX + dx / (fitWidth() * m_scale);
    const qreal v = m_centerY + dy / (fitHeight() * m_scale);
    update(next, u - dx / (fitWidth() * next), v - dy / (fitHeight() * next));
    return true;
}

void ZoomView::panBy(qreal dx, qreal dy)
{
    if (!hasPicture() || !zoomed() || !std::isfinite(dx) || !std::isfinite(dy))
        return;
    update(m_scale, m_centerX - dx / (fitWidth() * m_scale),
           m_centerY - dy / (fitHeight() * m_scale));
}

void ZoomView::reset()
{
    update(minScale, 0.5, 0.5);
}

void ZoomView::update(qreal scale, qreal centerX, qreal centerY)
{
    // While there is no picture (one stream replaced by another, a sharper profile the zoom
    // asked for) the zoom is kept as it is, for the next picture.
    qreal x = centerX;
    qreal y = centerY;
    if (hasPicture()) {
        x = clampCentre(centerX, halfShown(m_viewWidth, fitWidth(), scale));
        y = clampCentre(centerY, halfShown(m_viewHeight, fitHeight(), scale));
    }
    if (qFuzzyCompare(scale, m_scale) && qFuzzyCompare(1 + x, 1 + m_centerX) &&
        qFuzzyCompare(1 + y, 1 + m_centerY))
        return;
    m_scale = scale;
    m_centerX = x;
    m_centerY = y;
    emit changed();
}
