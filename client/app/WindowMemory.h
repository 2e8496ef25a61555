#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>
#include <QTimer>
#include <QVariant>

class QWindow;

// The console window's size, place and full-screen state, kept in the application's settings
// (`Window/geometry`, `Window/fullScreen`) so that the next start opens the way the last one
// left off. QML makes one beside the window and hands the window to restore().
class WindowMemory : public QObject
{
    Q_OBJECT

public:
    explicit WindowMemory(QObject *parent = nullptr);

    // Gives the window its remembered geometry and state and shows it; from then on each
    // change is remembered (a second after it, and when the application quits).
    Q_INVOKABLE void restore(QWindow *window);

    // The remembered geometry moved and shrunk to lie wholly in the available area of the
    // screen it overlaps most. Null when nothing usable is remembered (nothing, not a
    // rectangle, an absurd or too small size, on no screen): the window then keeps its
    // default size where the desktop puts it.
    static QRect restoredGeometry(const QVariant &stored, const QList<QRect> &screens);
    static bool restoredFullScreen(const QVariant &stored);

    static const QString geometryKey;
    static const QString fullScreenKey;
    static const QSize minimumSize;

private:
    void save();

    QPointer<QWindow> m_window;
    QTimer m_saveTimer;
};
