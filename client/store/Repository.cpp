#include "Repository.h"

#include "Camera.h"

#include <QCoreApplication>
#include <QQmlEngine>

namespace {

void registerStoreTypes()
{
    qmlRegisterType<Repository>("Native", 1, 0, "Repository");
    qmlRegisterType<User>("Native", 1, 0, "User");
    qmlRegisterType<Camera>("Native", 1, 0, "Camera");
}

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerStoreTypes)

Repository::Repository(QObject *parent)
    : QObject(parent)
{}

QList<User *> Repository::allUsers()
{
    return {};
}

User *Repository::userByUsername(QString)
{
    return nullptr;
}

QAbstractListModel *Repository::cameraList()
{
    return nullptr;
}

bool Repository::insertCamera(QString, QString)
{
    return false;
}

void Repository::removeCamera(int) {}
