#include "ZoomOverview.h"

#include "MpvObject.h"

#include <QCoreApplication>
#include <QQmlEngine>
#include <QThreadPool>

namespace {

void registerZoomOverview()
{
    qmlRegisterType<ZoomOverview>("Native", 1, 0, "ZoomOverview");
}

// A frame is never scaled to more than this: the overview is a corner of a cell.
constexpr int kMaxSide = 1024;

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerZoomOverview)

ZoomOverview::ZoomOverview(QObject *parent)
    : QObject(parent)
{
    m_refresh.setInterval(refreshMs);
    connect(&m_refresh, &QTimer::timeout, this, &ZoomOverview::request);
}

QQuickItem *ZoomOverview::player() const
{
    return m_player.data();
}

void ZoomOverview::setPlayer(QQuickItem *player)
{
    auto *mpv = qobject_cast<MpvObject *>(player);
    if (mpv == m_player)
        return;
    if (m_player)
        disconnect(m_player, &MpvObject::frameArrived, this, &ZoomOverview::frameArrived);
    stop();
    m_player = mpv;
    if (m_player)
        connect(m_player, &MpvObject::frameArrived, this, &ZoomOverview::frameArrived);
    emit playerChanged();
    if (m_active) {
        m_refresh.start();
        request();
    }
}

void ZoomOverview::setActive(bool active)
{
    if (active == m_active)
        return;
    m_active = active;
    if (m_active) {
        m_refresh.start();
        request();
    } else {
        stop();
    }
    emit activeChanged();
}

void ZoomOverview::setSize(const QSize &size)
{
    if (size == m_size)
        return;
    m_size = size;
    emit sizeChanged();
}

void ZoomOverview::stop()
{
    m_refresh.stop();
    m_request = 0;
    m_scaling = false;
    ++m_generation;
    if (!m_image.isNull()) {
        m_image = QImage();
        emit imageChanged();
    }
}

void ZoomOverview::request()
{
    // A frame still on its way, or being scaled, is waited for: requests never pile up.
    if (!m_active || !m_player || m_request != 0 || m_scaling)
        return;
    m_request = m_player->requestFrame();
}

void ZoomOverview::frameArrived(quint64 request, const QImage &frame)
{
    if (request == 0 || request != m_request)
        return;
    m_request = 0;
    const QSize target = m_size.boundedTo(QSize(kMaxSide, kMaxSide));
    // No frame (the video has not started) or no room: the next refresh asks again.
    if (frame.isNull() || target.isEmpty())
        return;
    m_scaling = true;
    const QPointer<ZoomOverview> self(this);
    const quint64 generation = m_generation;
    QThreadPool::globalInstance()->start([self, frame, target, generation] {
        const QImage picture = frame.scaled(target, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                                   .convertToFormat(QImage::Format_RGB32);
        // Posted to the application, on the GUI thread: whether the overview still lives is
        // asked there, never here.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, generation, picture] {
                if (self)
                    self->scaled(generation, picture);
            },
            Qt::QueuedConnection);
    });
}

void ZoomOverview::scaled(quint64 generation, const QImage &picture)
{
    if (generation != m_generation)
        return;
    m_scaling = false;
    m_image = picture;
    emit imageChanged();
}
