#pragma once

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QRect>
#include <QSharedPointer>
#include <QString>

class QImage;
class QQuickItem;
class QQuickItemGrabResult;

// Saves what a view shows as a PNG picture in the user's pictures folder, under "Ardix/",
// named after the camera and the time. Reached from QML as the singleton `Snapshot`.
class Snapshot : public QObject
{
    Q_OBJECT

public:
    explicit Snapshot(QObject *parent = nullptr);

    // Grabs the item as it is drawn now; saved() or failed() follows once the picture is in.
    Q_INVOKABLE bool save(QQuickItem *item, const QString &cameraName);

    // Saves the part `source` (in the stream's pixels) of the frame the player `item` shows,
    // at the stream's own pixels: what a zoomed view shows, without the upscaling. The frame
    // is asked of the player without waiting; saved() or failed() follows once it is in. Falls
    // back to save() when the item is no player or has no frame.
    Q_INVOKABLE bool saveSourcePart(QQuickItem *item, const QRect &source,
                                    const QString &cameraName);

    // The folder the pictures go to.
    static QString folder();
    // The picture's file name: the camera's name made safe for a file name, and the time.
    static QString fileName(const QString &cameraName, const QDateTime &time);

signals:
    // item is the view that was grabbed, so that it alone shows the outcome.
    void saved(QString path, QQuickItem *item);
    void failed(QString message, QQuickItem *item);

private:
    void write(const QImage &image, const QString &path, QQuickItem *item);
    void release(QQuickItemGrabResult *grab);

    QList<QSharedPointer<QQuickItemGrabResult>> m_pending;
};
