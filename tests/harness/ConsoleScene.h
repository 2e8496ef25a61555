#pragma once

#include <QElapsedTimer>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QSettings>
#include <QString>
#include <QTest>
#include <QUrl>

#include "Startup.h"

// The console's whole scene in-process, signed in to a simulated site as the login page would
// leave it (header only: the harness library itself does not link the console).
namespace scene {

// Stores the demo operator's sign-in to the event server on loopback at `port`.
inline void storeSignIn(quint16 port)
{
    QSettings stored;
    stored.setValue(QStringLiteral("host"), QStringLiteral("127.0.0.1"));
    stored.setValue(QStringLiteral("port"), QString::number(port));
    stored.setValue(QStringLiteral("user"), QStringLiteral("operator"));
    stored.setValue(QStringLiteral("pass"), QStringLiteral("operator"));
    stored.sync();
}

// Loads the console's main scene into `engine`; its window, or null when the scene failed.
inline QQuickWindow *loadConsole(QQmlApplicationEngine &engine)
{
    Startup::loadScene(engine, QStringLiteral("0"), QUrl(QStringLiteral("qrc:/qml/main.qml")));
    if (engine.rootObjects().size() != 1)
        return nullptr;
    return qobject_cast<QQuickWindow *>(engine.rootObjects().first());
}

// Presses a key the window's shortcuts take until `done`, activating the window before each
// press: a shortcut acts only in the active window, and another test's window on the same X
// server may take the focus. False if not done within `deadlineMs`.
template <typename Done>
bool pressUntil(QWindow *window, Qt::Key key, Qt::KeyboardModifiers modifiers, Done done,
                int deadlineMs = 60000)
{
    QElapsedTimer clock;
    clock.start();
    do {
        window->requestActivate();
        static_cast<void>(QTest::qWaitForWindowActive(window, 2000));
        QTest::keyClick(window, key, modifiers);
        static_cast<void>(QTest::qWaitFor(done, 3000));
    } while (!done() && clock.elapsed() < deadlineMs);
    return done();
}

} // namespace scene
