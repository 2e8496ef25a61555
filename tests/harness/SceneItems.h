#pragma once

#include "FreePort.h"

#include <QHostAddress>
#include <QList>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QString>
#include <QTest>

#include <memory>

// Small helpers for tests that drive the console's scene in-process (header only: the harness
// library itself does not link Qt Quick).
namespace scene {

// The first item named `name` at or below `root`, depth first; null when there is none.
inline QQuickItem *findItem(QQuickItem *root, const QString &name)
{
    if (!root)
        return nullptr;
    if (root->objectName() == name)
        return root;
    for (QQuickItem *child : root->childItems()) {
        if (QQuickItem *found = findItem(child, name))
            return found;
    }
    return nullptr;
}

// Every item named `name` at or below `root`, in drawing order.
inline void findItems(QQuickItem *root, const QString &name, QList<QQuickItem *> &found)
{
    if (root->objectName() == name)
        found.append(root);
    for (QQuickItem *child : root->childItems())
        findItems(child, name, found);
}

// A page of the console alone in a window of `size`, loaded as the console loads it (its QML
// imports, "debug" off), shown and active (shortcuts act in the active window only); null with
// the reason in `error` when the page did not load or the window did not become active.
inline std::unique_ptr<QQuickView> showPage(const QString &page, const QSize &size, QString &error)
{
    auto view = std::make_unique<QQuickView>();
    view->engine()->addImportPath(QStringLiteral("qrc:/qml"));
    view->rootContext()->setContextProperty(QStringLiteral("debug"), false);
    view->setResizeMode(QQuickView::SizeRootObjectToView);
    view->resize(size);
    view->setSource(QUrl(page));
    if (view->status() != QQuickView::Ready) {
        error = view->errors().value(0).toString();
        return nullptr;
    }
    view->show();
    view->requestActivate();
    if (!QTest::qWaitForWindowActive(view.get())) {
        error = QStringLiteral("the window did not become active");
        return nullptr;
    }
    return view;
}

} // namespace scene
