#include "WindowMemory.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QQmlEngine>
#include <QScreen>
#include <QSettings>
#include <QWindow>

#include <algorithm>

namespace {

void registerWindowMemory()
{
    qmlRegisterType<WindowMemory>("Native", 1, 0, "WindowMemory");
}

// Far beyond any desktop, and small enough that no sum of these overflows an int.
constexpr qint64 kFarthest = 1000000;

QList<QRect> availableAreas()
{
    QList<QRect> areas;
    for (const QScreen *screen : QGuiApplication::screens())
        areas.append(screen->availableGeometry());
    return areas;
}

// The part of `r` on `area`, in pixels.
qint64 overlap(const QRect &r, const QRect &area)
{
    const QRect common = r.intersected(area);
    return common.isEmpty() ? 0 : qint64(common.width()) * common.height();
}

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerWindowMemory)

const QString WindowMemory::geometryKey = QStringLiteral("Window/geometry");
const QString WindowMemory::fullScreenKey = QStringLiteral("Window/fullScreen");
const QSize WindowMemory::minimumSize(320, 240);

WindowMemory::WindowMemory(QObject *parent)
    : QObject(parent)
{
    m_saveTimer.setSingleShot(true);
    m_saveTimer.setInterval(1000);
    connect(&m_saveTimer, &QTimer::timeout, this, &WindowMemory::save);
    if (QCoreApplication *app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &WindowMemory::save);
}

void WindowMemory::restore(QWindow *window)
{
    if (!window)
        return;
    m_window = window;
    QSettings settings;
    const QRect geometry = restoredGeometry(settings.value(geometryKey), availableAreas());
    if (!geometry.isNull())
        window->setGeometry(geometry);
    if (restoredFullScreen(settings.value(fullScreenKey)))
        window->showFullScreen();
    else
        window->show();
    for (auto changed :
         {&QWindow::xChanged, &QWindow::yChanged, &QWindow::widthChanged, &QWindow::heightChanged})
        connect(window, changed, &m_saveTimer, qOverload<>(&QTimer::start));
    connect(window, &QWindow::windowStateChanged, &m_saveTimer, qOverload<>(&QTimer::start));
}

QRect WindowMemory::restoredGeometry(const QVariant &stored, const QList<QRect> &screens)
{
    if (stored.userType() != QMetaType::QRect)
        return QRect();
    const QRect r = stored.toRect();
    // In 64 bits: a hand-edited rectangle may overflow an int's width.
    const qint64 width = qint64(r.right()) - r.left() + 1;
    const qint64 height = qint64(r.bottom()) - r.top() + 1;
    if (width < minimumSize.width() || height < minimumSize.height() || width > kFarthest ||
        height > kFarthest || qAbs(qint64(r.left())) > kFarthest ||
        qAbs(qint64(r.top())) > kFarthest)
        return QRect();
    const auto most =
        std::max_element(screens.cbegin(), screens.cend(), [&r](const QRect &a, const QRect &b) {
            return overlap(r, a) < overlap(r, b);
        });
    if (most == screens.cend() || overlap(r, *most) == 0)
        return QRect();
    const QRect &area = *most;
    QRect placed(r.topLeft(), r.size().boundedTo(area.size()));
    placed.moveLeft(std::clamp(placed.left(), area.left(), area.right() - placed.width() + 1));
    placed.moveTop(std::clamp(placed.top(), area.top(), area.bottom() - placed.height() + 1));
    return placed;
}

bool WindowMemory::restoredFullScreen(const QVariant &stored)
{
    // The settings file holds text: only "true" means full screen, not any other word.
    if (stored.userType() == QMetaType::Bool)
        return stored.toBool();
    return stored.toString() == QLatin1String("true");
}

void WindowMemory::save()
{
    if (!m_window || !m_window->isVisible())
        return;
    const Qt::WindowStates state = m_window->windowStates();
    if (state & Qt::WindowMinimized)
        return;
    QSettings settings;
    settings.setValue(fullScreenKey, bool(state & Qt::WindowFullScreen));
    // The size and place the window returns to when it leaves full screen or maximised.
    if (!(state & (Qt::WindowFullScreen | Qt::WindowMaximized)))
        settings.setValue(geometryKey, m_window->geometry());
}
