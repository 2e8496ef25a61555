#pragma once

#include "CameraList.h"
#include "Repository.h"

#include <memory>

class QSqlQuery;

// The local store in "data.sqlite" in the working directory, on Qt's default database
// connection. A file that cannot be opened leaves the store closed: every operation then
// answers its empty default. Once open, the store stays open: a failing statement logs its
// operation, the statement and the error, and tables that could not be made are tried again.
class SQLiteRepository : public Repository
{
    Q_OBJECT

public:
    explicit SQLiteRepository(QObject *parent = nullptr);
    ~SQLiteRepository() override;

    QList<User *> allUsers() override;
    User *userByUsername(QString username) override;
    QAbstractListModel *cameraList() override;
    bool insertCamera(QString name, QString url) override;
    void removeCamera(int id) override;

private:
    bool createTables();
    void setBusyTimeout(int ms);
    // Open, with its tables made once more if they could not be before.
    bool ready();
    static User *userFromRow(const QSqlQuery &query);

    bool m_opened = false;
    bool m_tablesMade = false;
    std::shared_ptr<CameraList> m_cameras;
};
