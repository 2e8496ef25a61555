#pragma once

#include <QHostAddress>
#include <QList>
#include <QQuickItem>
#include <QString>
#include <QTcpServer>

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

// A loopback port free now (for a site's settings that must name one before it listens).
inline quint16 freePort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

} // namespace scene
