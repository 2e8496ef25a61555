#include "MotionArea.h"

#include <QVariantMap>

#include <cmath>

namespace {

// Below this share of the picture's width or height a rectangle is a click, not an area.
constexpr double kMinSide = 0.005;

QRectF rectOf(const QVariant &value, bool *ok)
{
    if (value.canConvert<QRectF>() && value.userType() != QMetaType::QVariantMap) {
        *ok = true;
        return value.toRectF();
    }
    const QVariantMap map = value.toMap();
    *ok = map.contains(QStringLiteral("x")) && map.contains(QStringLiteral("y")) &&
          map.contains(QStringLiteral("width")) && map.contains(QStringLiteral("height"));
    return QRectF(map.value(QStringLiteral("x")).toDouble(),
                  map.value(QStringLiteral("y")).toDouble(),
                  map.value(QStringLiteral("width")).toDouble(),
                  map.value(QStringLiteral("height")).toDouble());
}

} // namespace

MotionArea MotionArea::fromVariant(const QVariantList &rects, QString *error)
{
    MotionArea area;
    if (rects.isEmpty()) {
        *error = QStringLiteral("Mark an area of the picture first");
        return area;
    }
    for (const QVariant &value : rects) {
        bool ok = false;
        const QRectF rect = rectOf(value, &ok).normalized();
        if (!ok || !std::isfinite(rect.x()) || !std::isfinite(rect.y()) ||
            !std::isfinite(rect.width()) || !std::isfinite(rect.height())) {
            *error = QStringLiteral("An area is not a rectangle");
            return {};
        }
        const QRectF clipped = rect.intersected(QRectF(0, 0, 1, 1));
        if (clipped.width() < kMinSide || clipped.height() < kMinSide) {
            *error = QStringLiteral("An area has no size: draw it larger");
            return {};
        }
        area.m_rects.append(clipped);
    }
    return area;
}

QByteArray MotionArea::mask(int width, int height) const
{
    QByteArray bits(std::max(0, width * height), '\0');
    for (const QRectF &r : m_rects) {
        // Pixels whose centre lies in the rectangle, at least one.
        const int x0 = std::clamp(int(std::lround(r.left() * width)), 0, width - 1);
        const int y0 = std::clamp(int(std::lround(r.top() * height)), 0, height - 1);
        const int x1 = std::clamp(int(std::lround(r.right() * width)), x0 + 1, width);
        const int y1 = std::clamp(int(std::lround(r.bottom() * height)), y0 + 1, height);
        for (int y = y0; y < y1; ++y)
            std::fill(bits.data() + y * width + x0, bits.data() + y * width + x1, '\1');
    }
    return bits;
}
