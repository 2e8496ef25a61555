#pragma once

#include "User.h"

#include <QAbstractListModel>
#include <QList>
#include <QObject>
#include <QString>

// The local store's interface: users and cameras. The bodies here are those of a store that
// holds nothing; SQLiteRepository is the real one.
class Repository : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QAbstractListModel *cameraList READ cameraList NOTIFY cameraListChanged)

public:
    explicit Repository(QObject *parent = nullptr);

    virtual QList<User *> allUsers();
    virtual User *userByUsername(QString username);
    virtual QAbstractListModel *cameraList();
    Q_INVOKABLE virtual bool insertCamera(QString name, QString url);
    Q_INVOKABLE virtual void removeCamera(int id);

signals:
    void cameraListChanged();
};
