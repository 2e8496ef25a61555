#pragma once

#include <QObject>
#include <QPointer>

class QQuickItem;
class QQuickWindow;

// No control keeps the keyboard after it was used with the mouse: a button, combo box or
// slider that took the focus through a click gives it back (to what had it before, unless that
// was a text field, or to no one), so that Space, the arrows and the shortcuts act on the page
// again instead of reopening a list or clicking the button a second time. Text fields and
// editable lists keep the focus a click gives them: the operator is about to type. Installed
// on the console's windows.
class ClickFocusGuard : public QObject
{
    Q_OBJECT

public:
    explicit ClickFocusGuard(QObject *parent = nullptr);

    // Watches the clicks of `window`.
    void watch(QQuickWindow *window);

    // Whether `item` is a control that must not keep the focus a click gave it.
    static bool isClickOnlyControl(const QQuickItem *item);
    static bool isTextInput(const QQuickItem *item);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void afterClick(QQuickWindow *window);

    QPointer<QQuickItem> m_before;
};
