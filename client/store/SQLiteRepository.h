#pragma once

#include "CameraList.h"
#include "Repository.h"
#include "RetryBackoff.h"

#include <QTimer>

#include <memory>

class QSqlQuery;

// The local store in "data.sqlite" in the working directory, on Qt's default database
// connection. A file that cannot be opened leaves the store closed: every operation then
// answers its empty default. Once open, the store stays open: a failing statement logs its
// operation, the statement and the error. Tables that could not be made (the file locked by
// another program) are tried again by the next operation, and on a timer until they are made:
// after 1 s, then twice as long each time, at most every 30 s.
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
    // The timer's attempt at the tables; schedules the next one while they cannot be made.
    void retryTables();
    void setBusyTimeout(int ms);
    // Open, with its tables made once more if they could not be before.
    bool ready();
    static User *userFromRow(const QSqlQuery &query);

    bool m_opened = false;
    bool m_tablesMade = false;
    std::shared_ptr<CameraList> m_cameras;
    QTimer m_tablesTimer;
    RetryBackoff m_tablesBackoff;
};
