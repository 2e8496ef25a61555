#pragma once

#include <QObject>
#include <QPointF>
#include <QPointer>

class QQuickItem;
class QQuickWindow;

// Whether the mouse pointer is over an item, told from the pointer moves its window receives.
// A MouseArea's containsMouse cannot be trusted for this: once the area is hidden and shown
// again under a resting pointer (a page that comes back, a layout applied again), the window
// still counts the area as hovered while the area itself says it is not, and it stays so until
// the pointer leaves it. A key that acts on "the picture under the pointer" then did nothing.
class PointerOver : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QQuickItem *item READ item WRITE setItem NOTIFY itemChanged)
    Q_PROPERTY(bool over READ over NOTIFY overChanged)

public:
    explicit PointerOver(QObject *parent = nullptr);

    QQuickItem *item() const;
    void setItem(QQuickItem *item);
    bool over() const { return m_over; }

signals:
    void itemChanged();
    void overChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void watchWindow();
    // The pointer at `scenePos` in the item's window, or outside the window when null.
    void pointerAt(const QPointF &scenePos, bool inWindow);
    void setOver(bool over);

    QPointer<QQuickItem> m_item;
    QPointer<QQuickWindow> m_window;
    QPointF m_lastPos;
    bool m_inWindow = false;
    bool m_over = false;
};
