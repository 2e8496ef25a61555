#include "SqliteConnection.h"

#include <QAtomicInteger>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

const QString kDriver = QStringLiteral("QSQLITE");

} // namespace

SqliteConnection::SqliteConnection(const QString &prefix)
{
    static QAtomicInteger<int> counter;
    m_name = QStringLiteral("%1-%2").arg(prefix).arg(counter.fetchAndAddRelaxed(1));
}

SqliteConnection::~SqliteConnection()
{
    if (!QSqlDatabase::contains(m_name))
        return;
    QSqlDatabase::database(m_name, false).close();
    QSqlDatabase::removeDatabase(m_name);
}

bool SqliteConnection::open(const QString &fileName, QString *error)
{
    if (!QSqlDatabase::isDriverAvailable(kDriver)) {
        *error = QStringLiteral("no driver ") + kDriver;
        return false;
    }
    QSqlDatabase db = QSqlDatabase::contains(m_name) ? QSqlDatabase::database(m_name, false)
                                                     : QSqlDatabase::addDatabase(kDriver, m_name);
    db.setDatabaseName(fileName);
    // Another connection to the same file waits at most this long for a write here.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open()) {
        *error = db.lastError().text();
        return false;
    }
    // WAL: readers and the writer do not block each other; NORMAL sync is safe with WAL.
    QSqlQuery pragma(db);
    pragma.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    pragma.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    return true;
}

bool SqliteConnection::exec(const QString &statement, QString *error) const
{
    QSqlQuery query(QSqlDatabase::database(m_name, false));
    if (query.exec(statement))
        return true;
    *error = query.lastError().text();
    return false;
}

int SqliteConnection::storedVersion(const QString &name, int absent, QString *error) const
{
    if (!exec(QStringLiteral("CREATE TABLE IF NOT EXISTS store_versions(name TEXT PRIMARY KEY, "
                             "version INTEGER NOT NULL)"),
              error))
        return -1;
    QSqlQuery version(QSqlDatabase::database(m_name, false));
    version.prepare(QStringLiteral("SELECT version FROM store_versions WHERE name = ?"));
    version.addBindValue(name);
    if (!version.exec()) {
        *error = version.lastError().text();
        return -1;
    }
    return version.next() ? version.value(0).toInt() : absent;
}

QString SqliteConnection::versionStatement(const QString &name, int version)
{
    return QStringLiteral("INSERT OR REPLACE INTO store_versions(name, version) VALUES('%1', %2)")
        .arg(name)
        .arg(version);
}
