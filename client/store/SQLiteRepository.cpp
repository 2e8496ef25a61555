#include "SQLiteRepository.h"

#include <QDebug>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

const QString kDriver = QStringLiteral("QSQLITE");
const QString kFileName = QStringLiteral("data.sqlite");

const char *const kCreateUsers = "CREATE TABLE IF NOT EXISTS `users`(    `id` INTEGER,    "
                                 "`username` VARCHAR,    `password` VARCHAR,    PRIMARY KEY (id))";
const char *const kCreateCameras = "CREATE TABLE IF NOT EXISTS `cameras`(    `id` INTEGER,    "
                                   "`name` VARCHAR,    `url` VARCHAR,    PRIMARY KEY (id))";
const char *const kUserByName = "SELECT * FROM `users` WHERE `username`=:username";
const char *const kAllUsers = "SELECT * FROM `users`";
const char *const kInsertCamera = "INSERT INTO `cameras`(`name`, `url`) VALUES (:name, :url)";
const char *const kDeleteCamera = "DELETE FROM `cameras` WHERE `id`=:id";
const char *const kAllCameras = "SELECT * FROM `cameras`";

// Making the tables waits this long for a file another program holds, so that a locked file
// does not hold up the console's start; other statements wait as long as Qt's driver does.
const int kCreateBusyMs = 100;
const int kBusyMs = 5000;

// One log message per text, exactly as given (no quoting or added spaces).
void warnLine(const QString &text)
{
    qWarning("%s", qUtf8Printable(text));
}

// A failed statement: the operation, the statement and the error, as three messages.
void warnFailed(const char *signature, const char *statement, const QSqlQuery &query)
{
    warnLine(QString::fromLatin1(signature));
    warnLine(QString::fromLatin1(statement));
    warnLine(query.lastError().text());
}

// Prepares the statement, lets `bind` fill its placeholders and runs it; a failure of either
// step is logged.
template <typename Bind>
bool run(QSqlQuery &query, const char *signature, const char *statement, Bind bind)
{
    if (query.prepare(QString::fromLatin1(statement))) {
        bind(query);
        if (query.exec())
            return true;
    }
    warnFailed(signature, statement, query);
    return false;
}

bool run(QSqlQuery &query, const char *signature, const char *statement)
{
    return run(query, signature, statement, [](QSqlQuery &) {});
}

} // namespace

SQLiteRepository::SQLiteRepository(QObject *parent)
    : Repository(parent)
{
    if (!QSqlDatabase::isDriverAvailable(kDriver)) {
        warnLine(QStringLiteral("Driver ") + kDriver + QStringLiteral(" not found"));
        return;
    }
    // A second store in the same process shares the default connection instead of replacing
    // it under the first one's feet.
    QSqlDatabase db =
        QSqlDatabase::contains(QLatin1String(QSqlDatabase::defaultConnection))
            ? QSqlDatabase::database(QLatin1String(QSqlDatabase::defaultConnection), false)
            : QSqlDatabase::addDatabase(kDriver);
    db.setDatabaseName(kFileName);
    if (!db.open()) {
        warnLine(QStringLiteral("SQLiteRepository::SQLiteRepository(QObject*)"));
        warnLine(QStringLiteral("ERROR: "));
        warnLine(db.lastError().text());
        return;
    }
    // Tables that cannot be made now (the file locked by another console, not a database,
    // read-only without them) are tried again by the next operation and on a timer, since no
    // operation may come for long; each failure is logged.
    m_opened = true;
    m_cameras = std::make_shared<CameraList>();
    m_tablesTimer.setSingleShot(true);
    connect(&m_tablesTimer, &QTimer::timeout, this, &SQLiteRepository::retryTables);
    m_tablesMade = createTables();
    if (!m_tablesMade)
        m_tablesTimer.start(m_tablesBackoff.next());
}

void SQLiteRepository::retryTables()
{
    if (!m_tablesMade)
        m_tablesMade = createTables();
    if (!m_tablesMade) {
        m_tablesTimer.start(m_tablesBackoff.next());
        return;
    }
    qInfo().noquote() << QStringLiteral("Store: tables made after %1 more attempts")
                             .arg(m_tablesBackoff.attempts());
    m_tablesBackoff.reset();
}

SQLiteRepository::~SQLiteRepository() = default;

bool SQLiteRepository::createTables()
{
    setBusyTimeout(kCreateBusyMs);
    bool made = true;
    for (const char *statement : {kCreateUsers, kCreateCameras}) {
        QSqlQuery query;
        made = made && run(query, "void SQLiteRepository::createTables()", statement);
    }
    setBusyTimeout(kBusyMs);
    return made;
}

void SQLiteRepository::setBusyTimeout(int ms)
{
    const QByteArray statement = "PRAGMA busy_timeout = " + QByteArray::number(ms);
    QSqlQuery query;
    run(query, "void SQLiteRepository::setBusyTimeout(int)", statement.constData());
}

bool SQLiteRepository::ready()
{
    if (m_opened && !m_tablesMade) {
        m_tablesMade = createTables();
        if (m_tablesMade)
            m_tablesTimer.stop();
    }
    return m_opened;
}

User *SQLiteRepository::userFromRow(const QSqlQuery &query)
{
    auto *user = new User;
    user->setUsername(query.value(QStringLiteral("username")).toString());
    user->setPassword(query.value(QStringLiteral("password")).toString());
    return user;
}

QList<User *> SQLiteRepository::allUsers()
{
    QList<User *> users;
    if (!ready())
        return users;
    QSqlQuery query;
    if (!run(query, "virtual QList<User*> SQLiteRepository::allUsers()", kAllUsers))
        return users;
    while (query.next())
        users.append(userFromRow(query));
    return users;
}

User *SQLiteRepository::userByUsername(QString username)
{
    if (!ready())
        return nullptr;
    QSqlQuery query;
    const auto bind = [&](QSqlQuery &q) { q.bindValue(QStringLiteral(":username"), username); };
    if (!run(query, "virtual User* SQLiteRepository::userByUsername(QString)", kUserByName, bind))
        return nullptr;
    return query.next() ? userFromRow(query) : nullptr;
}

// Brings the model in line with the table: existing cameras keep their row and object (only
// name and url are copied over), new ones are appended in query order, missing ones removed.
QAbstractListModel *SQLiteRepository::cameraList()
{
    if (!ready())
        return nullptr;
    QSqlQuery query;
    if (!run(query, "virtual QAbstractListModel* SQLiteRepository::cameraList()", kAllCameras))
        return nullptr;

    const QSet<int> before = m_cameras->ids();
    QSet<int> kept;
    QVector<int> order;
    QHash<int, std::shared_ptr<Camera>> fresh;
    while (query.next()) {
        auto camera = std::make_shared<Camera>();
        camera->setId(query.value(QStringLiteral("id")).toString().toInt(nullptr, 10));
        camera->setName(query.value(QStringLiteral("name")).toString());
        camera->setUrl(query.value(QStringLiteral("url")).toString());
        fresh.insert(camera->id(), camera);
        order.append(camera->id());
        if (before.contains(camera->id()))
            kept.insert(camera->id());
    }
    for (int id : qAsConst(order)) {
        if (kept.contains(id))
            m_cameras->updateCamera(id, *fresh.value(id));
        else if (!m_cameras->contains(id))
            m_cameras->appendCamera(fresh.value(id));
    }
    for (int id : before - kept)
        m_cameras->removeCameraRow(id);
    return m_cameras.get();
}

bool SQLiteRepository::insertCamera(QString name, QString url)
{
    if (!ready())
        return false;
    QSqlQuery query;
    const auto bind = [&](QSqlQuery &q) {
        q.bindValue(QStringLiteral(":name"), name);
        q.bindValue(QStringLiteral(":url"), url);
    };
    if (!run(query, "virtual bool SQLiteRepository::insertCamera(QString, QString)", kInsertCamera,
             bind))
        return false;
    cameraList();
    return true;
}

void SQLiteRepository::removeCamera(int id)
{
    if (!ready())
        return;
    QSqlQuery query;
    const auto bind = [&](QSqlQuery &q) { q.bindValue(QStringLiteral(":id"), id); };
    if (run(query, "virtual void SQLiteRepository::removeCamera(int)", kDeleteCamera, bind))
        cameraList();
}
