#pragma once

#include <QImage>
#include <QJsonObject>
#include <QRect>

#include <functional>

// What the whole-program tests share: the demo site they serve and the pixel checks that tell
// whether a region of a screenshot shows a picture, and whether that picture moves.
namespace ScreenCheck {

// The demo site file of the source tree, as JSON.
QJsonObject demoSite();
// The demo site whose Till keeps one recorded chunk of a minute from `now` (ms since the
// epoch): what the test publishes meanwhile is what that recording's texts hold.
QJsonObject demoSiteWithTillChunk(qint64 now);

// Share of the region's pixels (less a margin of 8) that are not black: a picture is shown.
double litShare(const QImage &image, const QRect &region);
// Share of the region's pixels (less a margin of 8) whose grey level differs between two shots.
double changedShare(const QImage &a, const QImage &b, const QRect &region);
// Pixels of the region that pass the test.
int countPixels(const QImage &image, const QRect &region, const std::function<bool(QRgb)> &test);

} // namespace ScreenCheck
