#pragma once

#include <QRectF>
#include <QString>
#include <QVariantList>
#include <QVector>

// The part of a camera's picture a motion search looks at: one or more rectangles in
// normalised coordinates (0..1 of the picture's width and height), clipped to the picture.
// A rectangle of zero size is refused; the whole picture is allowed.
class MotionArea
{
public:
    MotionArea() = default;

    // The rectangles as QML gives them (rect values or maps with x, y, width, height); empty,
    // with the reason in error, when none is usable or one has no size.
    static MotionArea fromVariant(const QVariantList &rects, QString *error);

    bool isEmpty() const { return m_rects.isEmpty(); }
    const QVector<QRectF> &rects() const { return m_rects; }
    // One byte per pixel of a picture width x height, non-zero where the area covers it.
    QByteArray mask(int width, int height) const;

private:
    QVector<QRectF> m_rects;
};
