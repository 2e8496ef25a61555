#pragma once

#include <QImage>
#include <QJsonObject>
#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class ProgramRun;
class XServer;

// What the whole-program tests share: the demo site they serve and the pixel checks that tell
// whether a region of a screenshot shows a picture, and whether that picture moves.
namespace ScreenCheck {

// A TCP port on 127.0.0.1 that nobody listened on a moment ago.
quint16 freePort();

// The demo site file of the source tree, as JSON.
QJsonObject demoSite();
// The demo site whose Till keeps one recorded chunk of a minute from `now` (ms since the
// epoch): what the test publishes meanwhile is what that recording's texts hold.
QJsonObject demoSiteWithTillChunk(qint64 now);

// Share of the region's pixels (less a margin of 8) that are not black: a picture is shown.
double litShare(const QImage &image, const QRect &region);
// Share of the region's pixels (less a margin of 8) whose grey level differs between two shots.
double changedShare(const QImage &a, const QImage &b, const QRect &region);
// A screenshot of the X server's top-left `size`, kept as "<name>.png" in the test's artefact
// folder (ARDIX_ARTIFACT_DIR), or in fallbackFolder when the build set none.
QImage grab(const XServer &xserver, const QString &name, const QSize &size,
            const QString &fallbackFolder);
// A program set up to start on the X server, in a working folder of its own.
std::unique_ptr<ProgramRun> programOnDisplay(const XServer &xserver, const QString &program,
                                             const QString &folder,
                                             const QStringList &arguments = {});

// Every region's picture changes between consecutive shots (`shot(name)`, 1.2 s apart) over
// `ms`: a burned-in clock moves at least once a second. A region that stays is logged.
bool regionsKeepMoving(const std::function<QImage(const QString &)> &shot, const QString &name,
                       const QList<QRect> &regions, int ms);

// The console started as the program on the X server, in `sandbox`/client, signing in by itself
// as "operator" to the event server on 127.0.0.1:`eventPort` with the stored fields; its window
// in `window`. Nothing when it did not start or show its window.
std::unique_ptr<ProgramRun> startSignedInConsole(const XServer &xserver, quint16 eventPort,
                                                 const QString &sandbox, QString *window);

// Pixels of the region that pass the test.
int countPixels(const QImage &image, const QRect &region, const std::function<bool(QRgb)> &test);

} // namespace ScreenCheck
