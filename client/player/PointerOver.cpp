#include "PointerOver.h"

#include <QCoreApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QWheelEvent>

namespace {

void registerPointerOver()
{
    qmlRegisterType<PointerOver>("Native", 1, 0, "PointerOver");
}

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerPointerOver)

PointerOver::PointerOver(QObject *parent)
    : QObject(parent)
{}

QQuickItem *PointerOver::item() const
{
    return m_item.data();
}

void PointerOver::setItem(QQuickItem *item)
{
    if (item == m_item)
        return;
    if (m_item)
        disconnect(m_item, nullptr, this, nullptr);
    m_item = item;
    if (m_item) {
        connect(m_item, &QQuickItem::windowChanged, this, &PointerOver::watchWindow);
        // Hidden, it is under no pointer; shown again, the last known position decides.
        connect(m_item, &QQuickItem::visibleChanged, this,
                [this] { pointerAt(m_lastPos, m_inWindow); });
    }
    watchWindow();
    emit itemChanged();
}

void PointerOver::watchWindow()
{
    QQuickWindow *window = m_item ? m_item->window() : nullptr;
    if (window == m_window)
        return;
    if (m_window)
        m_window->removeEventFilter(this);
    m_window = window;
    m_inWindow = false;
    if (m_window)
        m_window->installEventFilter(this);
    setOver(false);
}

bool PointerOver::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_window)
        return false;
    switch (event->type()) {
    case QEvent::MouseMove:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
        pointerAt(static_cast<QMouseEvent *>(event)->windowPos(), true);
        break;
    // A wheel turned under a pointer at rest since the item came (a page shown again) is the
    // first the window hears of where the pointer is.
    case QEvent::Wheel:
        pointerAt(static_cast<QWheelEvent *>(event)->position(), true);
        break;
    case QEvent::Enter:
        pointerAt(static_cast<QEnterEvent *>(event)->windowPos(), true);
        break;
    case QEvent::Leave:
        pointerAt({}, false);
        break;
    default:
        break;
    }
    return false;
}

void PointerOver::pointerAt(const QPointF &scenePos, bool inWindow)
{
    m_lastPos = scenePos;
    m_inWindow = inWindow;
    setOver(inWindow && m_item && m_item->isVisible() &&
            m_item->contains(m_item->mapFromScene(scenePos)));
}

void PointerOver::setOver(bool over)
{
    if (over == m_over)
        return;
    m_over = over;
    emit overChanged();
}
