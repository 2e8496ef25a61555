#include "Snapshot.h"

#include "ExportPath.h"
#include "MpvObject.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPointer>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickItemGrabResult>
#include <QRegularExpression>
#include <QStandardPaths>

#include <memory>

namespace {

void registerSnapshot()
{
    qmlRegisterSingletonType<Snapshot>(
        "Native", 1, 0, "Snapshot",
        [](QQmlEngine *, QJSEngine *) -> QObject * { return new Snapshot; });
}

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerSnapshot)

Snapshot::Snapshot(QObject *parent)
    : QObject(parent)
{}

QString Snapshot::folder()
{
    return ExportPath::folderIn(QStandardPaths::PicturesLocation);
}

QString Snapshot::fileName(const QString &cameraName, const QDateTime &time)
{
    // A name may hold anything the server allows; only letters, digits, '-' and '_' reach the
    // file system, so that no name leaves the folder or hides the picture.
    QString safe = cameraName;
    safe.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_-]+")), QStringLiteral("_"));
    safe = safe.left(64);
    if (safe.isEmpty() || safe == QLatin1String("_"))
        safe = QStringLiteral("camera");
    return QStringLiteral("%1_%2.png")
        .arg(safe, time.toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")));
}

bool Snapshot::save(QQuickItem *item, const QString &cameraName)
{
    if (!item || !item->window() || item->width() < 1 || item->height() < 1) {
        qWarning() << "Snapshot failed: nothing to grab for" << cameraName;
        emit failed(tr("Nothing to save"), item);
        return false;
    }
    const QSharedPointer<QQuickItemGrabResult> result = item->grabToImage();
    if (!result) {
        qWarning() << "Snapshot failed: the view could not be grabbed for" << cameraName;
        emit failed(tr("The picture could not be taken"), item);
        return false;
    }
    const QString path =
        folder() + QLatin1Char('/') + fileName(cameraName, QDateTime::currentDateTime());
    // Held until the picture is in: the grab lives only as long as someone holds it.
    m_pending.append(result);
    QQuickItemGrabResult *grab = result.data();
    const QPointer<QQuickItem> source(item);
    connect(grab, &QQuickItemGrabResult::ready, this, [this, grab, path, source] {
        write(grab->image(), path, source);
        // Released after the signal has returned: the grab must not go while it emits.
        QMetaObject::invokeMethod(
            this, [this, grab] { release(grab); }, Qt::QueuedConnection);
    });
    return true;
}

bool Snapshot::saveSourcePart(QQuickItem *item, const QRect &source, const QString &cameraName)
{
    auto *player = qobject_cast<MpvObject *>(item);
    // The player takes the frame on its own thread: the GUI thread does not wait for it.
    const quint64 request = player ? player->requestFrame() : 0;
    if (request == 0)
        return save(item, cameraName);
    const QString path =
        folder() + QLatin1Char('/') + fileName(cameraName, QDateTime::currentDateTime());
    const QPointer<MpvObject> from(player);
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = connect(player, &MpvObject::frameArrived, this,
                          [this, from, request, source, cameraName, path,
                           connection](quint64 answered, const QImage &frame) {
                              if (answered != request)
                                  return;
                              disconnect(*connection);
                              const QRect part = source.intersected(frame.rect());
                              if (frame.isNull() || part.isEmpty())
                                  save(from, cameraName);
                              else
                                  write(frame.copy(part), path, from);
                          });
    return true;
}

void Snapshot::write(const QImage &image, const QString &path, QQuickItem *item)
{
    if (image.isNull() || !QDir().mkpath(QFileInfo(path).absolutePath()) ||
        !image.save(path, "PNG")) {
        qWarning() << "Snapshot failed: could not write" << path;
        emit failed(tr("The picture could not be saved"), item);
        return;
    }
    qInfo() << "Snapshot saved:" << path;
    emit saved(path, item);
}

void Snapshot::release(QQuickItemGrabResult *grab)
{
    for (int i = 0; i < m_pending.size(); ++i) {
        if (m_pending.at(i).data() == grab) {
            m_pending.removeAt(i);
            return;
        }
    }
}
