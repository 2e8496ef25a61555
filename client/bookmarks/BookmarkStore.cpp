#include "BookmarkStore.h"

#include <QDebug>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

const char *const kCreateBookmarks =
    "CREATE TABLE IF NOT EXISTS bookmarks(id TEXT PRIMARY KEY, server TEXT NOT NULL, "
    "stream_id TEXT NOT NULL, camera TEXT NOT NULL, time_ms INTEGER NOT NULL, note TEXT NOT "
    "NULL, author TEXT NOT NULL, created_ms INTEGER NOT NULL)";
const char *const kCreateIndex =
    "CREATE INDEX IF NOT EXISTS bookmarks_by_time ON bookmarks(server, stream_id, time_ms)";

} // namespace

BookmarkStore::BookmarkStore(const QString &fileName)
    : m_connection(QStringLiteral("bookmarks"))
    , m_fileName(fileName)
{}

BookmarkStore::~BookmarkStore() = default;

bool BookmarkStore::open()
{
    if (m_open)
        return true;
    QString error;
    if (!m_connection.open(m_fileName, &error))
        return fail(QStringLiteral("open ") + m_fileName, error);
    m_open = upgrade();
    return m_open;
}

bool BookmarkStore::upgrade()
{
    QSqlDatabase db = QSqlDatabase::database(m_connection.name(), false);
    QString versionError;
    const int found = m_connection.storedVersion(QStringLiteral("store"), 2, &versionError);
    if (found < 0)
        return fail(QStringLiteral("read the version"), versionError);
    if (found == kStoreVersion)
        return true;
    if (found > kStoreVersion)
        return fail(QStringLiteral("open ") + m_fileName,
                    QStringLiteral("its bookmarks are of a later console (form %1)").arg(found));
    if (!db.transaction())
        return fail(QStringLiteral("begin"), db.lastError().text());
    QSqlQuery query(db);
    const bool ok =
        query.exec(QString::fromLatin1(kCreateBookmarks)) &&
        query.exec(QString::fromLatin1(kCreateIndex)) &&
        query.exec(SqliteConnection::versionStatement(QStringLiteral("store"), kStoreVersion));
    const QString error = query.lastError().text();
    query.finish();
    if (!ok || !db.commit()) {
        db.rollback();
        return fail(QStringLiteral("upgrade"), ok ? db.lastError().text() : error);
    }
    qInfo().noquote() << QStringLiteral("Bookmark store: %1 upgraded from form %2 to form %3")
                             .arg(m_fileName)
                             .arg(found)
                             .arg(kStoreVersion);
    return true;
}

bool BookmarkStore::fail(const QString &what, const QString &error)
{
    m_lastError = what + QStringLiteral(": ") + error;
    qWarning().noquote() << "Bookmark store:" << m_lastError;
    return false;
}

bool BookmarkStore::add(const Bookmark &b)
{
    if (!m_open)
        return false;
    QSqlQuery query(QSqlDatabase::database(m_connection.name(), false));
    query.prepare(QStringLiteral("INSERT OR REPLACE INTO bookmarks(id, server, stream_id, camera, "
                                 "time_ms, note, author, created_ms) VALUES(?, ?, ?, ?, ?, ?, ?, "
                                 "?)"));
    for (const QVariant &v : {QVariant(b.id), QVariant(SqliteConnection::notNull(b.server)),
                              QVariant(SqliteConnection::notNull(b.streamId)),
                              QVariant(SqliteConnection::notNull(b.camera)), QVariant(b.time),
                              QVariant(SqliteConnection::notNull(b.note)),
                              QVariant(SqliteConnection::notNull(b.author)), QVariant(b.created)})
        query.addBindValue(v);
    if (query.exec())
        return true;
    return fail(QStringLiteral("add"), query.lastError().text());
}

bool BookmarkStore::remove(const QString &id)
{
    if (!m_open)
        return false;
    QSqlQuery query(QSqlDatabase::database(m_connection.name(), false));
    query.prepare(QStringLiteral("DELETE FROM bookmarks WHERE id = ?"));
    query.addBindValue(id);
    if (query.exec())
        return true;
    return fail(QStringLiteral("delete"), query.lastError().text());
}

Bookmarks BookmarkStore::load() const
{
    Bookmarks bookmarks;
    if (!m_open)
        return bookmarks;
    QSqlQuery query(QSqlDatabase::database(m_connection.name(), false));
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT id, server, stream_id, camera, time_ms, note, author, "
                                   "created_ms FROM bookmarks ORDER BY time_ms"))) {
        qWarning().noquote() << "Bookmark store: load:" << query.lastError().text();
        return bookmarks;
    }
    while (query.next()) {
        Bookmark b;
        b.id = query.value(0).toString();
        b.server = query.value(1).toString();
        b.streamId = query.value(2).toString();
        b.camera = query.value(3).toString();
        b.time = query.value(4).toLongLong();
        b.note = query.value(5).toString();
        b.author = query.value(6).toString();
        b.created = query.value(7).toLongLong();
        bookmarks.append(b);
    }
    return bookmarks;
}
