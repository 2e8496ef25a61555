#include "ClickFocusGuard.h"

#include <QEvent>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTimer>

ClickFocusGuard::ClickFocusGuard(QObject *parent)
    : QObject(parent)
{}

void ClickFocusGuard::watch(QQuickWindow *window)
{
    if (window)
        window->installEventFilter(this);
}

bool ClickFocusGuard::isTextInput(const QQuickItem *item)
{
    return item && (item->inherits("QQuickTextInput") || item->inherits("QQuickTextEdit"));
}

bool ClickFocusGuard::isClickOnlyControl(const QQuickItem *item)
{
    if (!item)
        return false;
    // A list's rows keep the focus: the arrows move through the list after a click.
    if (item->inherits("QQuickItemDelegate"))
        return false;
    // A box whose list is open keeps the focus while a choice is made: the list closes when
    // the box loses it.
    if (item->inherits("QQuickComboBox")) {
        const auto *popup = item->property("popup").value<QObject *>();
        return !item->property("editable").toBool() &&
               !(popup && popup->property("visible").toBool());
    }
    return item->inherits("QQuickAbstractButton") || item->inherits("QQuickSlider") ||
           item->inherits("QQuickRangeSlider") || item->inherits("QQuickDial");
}

bool ClickFocusGuard::eventFilter(QObject *watched, QEvent *event)
{
    // Only clicks matter; other events also come while the window is being destroyed, when it
    // is no longer a QQuickWindow and must not be cast to one.
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease)
        return false;
    auto *window = qobject_cast<QQuickWindow *>(watched);
    if (!window)
        return false;
    if (type == QEvent::MouseButtonPress) {
        m_before = window->activeFocusItem();
    } else if (event->type() == QEvent::MouseButtonRelease) {
        // Once the click has done its work (a list chosen from has closed and handed the focus
        // back to its box).
        QTimer::singleShot(0, this, [this, window = QPointer<QQuickWindow>(window)] {
            if (window)
                afterClick(window);
        });
    }
    return false;
}

void ClickFocusGuard::afterClick(QQuickWindow *window)
{
    QQuickItem *focused = window->activeFocusItem();
    if (!isClickOnlyControl(focused))
        return;
    QQuickItem *before = m_before;
    if (before && before != focused && before->window() == window && before->isVisible() &&
        before->isEnabled() && !isTextInput(before)) {
        before->forceActiveFocus(Qt::OtherFocusReason);
        if (window->activeFocusItem() != focused)
            return;
    }
    focused->setFocus(false);
}
