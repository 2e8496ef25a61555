#include "EventStore.h"

#include <QDebug>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

const char *const kCreate =
    "CREATE TABLE IF NOT EXISTS events(key INTEGER PRIMARY KEY, time_ms INTEGER NOT NULL, "
    "server_id TEXT NOT NULL, source_id TEXT NOT NULL, source TEXT NOT NULL, "
    "source_path TEXT NOT NULL, cls TEXT NOT NULL, text TEXT NOT NULL, "
    "ack_ms INTEGER NOT NULL DEFAULT 0, ack_by TEXT NOT NULL DEFAULT '')";

} // namespace

EventStore::EventStore(const QString &fileName)
    : m_connection(QStringLiteral("events"))
    , m_fileName(fileName)
{}

EventStore::~EventStore() = default;

bool EventStore::open(qint64 now)
{
    if (m_open)
        return true;
    QString error;
    if (!m_connection.open(m_fileName, &error))
        return fail(QStringLiteral("open ") + m_fileName, error);
    m_open = exec(QString::fromLatin1(kCreate));
    if (m_open)
        prune(now);
    return m_open;
}

bool EventStore::exec(const QString &statement)
{
    QString error;
    return m_connection.exec(statement, &error) || fail(statement, error);
}

bool EventStore::fail(const QString &what, const QString &error)
{
    qWarning().noquote() << "Event store:" << what + QStringLiteral(": ") + error;
    return false;
}

bool EventStore::writeRows(const char *what, const QString &statement, int rows,
                           const std::function<QVariantList(int)> &valuesOf, const QString &after)
{
    if (!m_open || rows == 0)
        return m_open;
    QSqlDatabase db = QSqlDatabase::database(m_connection.name(), false);
    if (!db.transaction())
        return fail(QStringLiteral("begin"), db.lastError().text());
    QSqlQuery query(db);
    bool ok = query.prepare(statement);
    for (int row = 0; ok && row < rows; ++row) {
        const QVariantList values = valuesOf(row);
        for (int v = 0; v < values.size(); ++v)
            query.bindValue(v, values.at(v));
        ok = query.exec();
    }
    ok = ok && (after.isEmpty() || query.exec(after));
    const QString error = query.lastError().text();
    if (!ok || !db.commit()) {
        fail(QLatin1String(what), ok ? db.lastError().text() : error);
        db.rollback();
        return false;
    }
    return true;
}

bool EventStore::add(const EventRecords &events)
{
    return writeRows(
        "add",
        QStringLiteral("INSERT OR IGNORE INTO events(key, time_ms, server_id, source_id, source, "
                       "source_path, cls, text, ack_ms, ack_by) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, "
                       "?)"),
        events.size(),
        [&events](int row) {
            const EventRecord &e = events.at(row);
            return QVariantList{e.key,
                                e.time,
                                SqliteConnection::notNull(e.serverId),
                                SqliteConnection::notNull(e.sourceId),
                                SqliteConnection::notNull(e.source),
                                SqliteConnection::notNull(e.sourcePath),
                                SqliteConnection::notNull(e.cls),
                                SqliteConnection::notNull(e.text),
                                e.ackTime,
                                SqliteConnection::notNull(e.ackBy)};
        },
        // The newest kMaxEvents stay.
        QStringLiteral("DELETE FROM events WHERE key < (SELECT key FROM events ORDER BY key DESC "
                       "LIMIT 1 OFFSET %1)")
            .arg(kMaxEvents - 1));
}

bool EventStore::acknowledge(const QVector<qint64> &keys, const QString &by, qint64 when)
{
    return writeRows(
        "acknowledge",
        QStringLiteral("UPDATE events SET ack_ms = ?, ack_by = ? WHERE key = ? AND ack_ms = 0"),
        keys.size(), [&](int row) {
            return QVariantList{when, SqliteConnection::notNull(by), keys.at(row)};
        });
}

bool EventStore::rename(const EventRecords &events)
{
    return writeRows("rename",
                     QStringLiteral("UPDATE events SET source = ?, source_path = ? WHERE key = ?"),
                     events.size(), [&events](int row) {
                         const EventRecord &e = events.at(row);
                         return QVariantList{SqliteConnection::notNull(e.source),
                                             SqliteConnection::notNull(e.sourcePath), e.key};
                     });
}

EventRecords EventStore::load() const
{
    EventRecords events;
    if (!m_open)
        return events;
    QSqlQuery query(QSqlDatabase::database(m_connection.name(), false));
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT key, time_ms, server_id, source_id, source, "
                                   "source_path, cls, text, ack_ms, ack_by FROM events "
                                   "ORDER BY key DESC LIMIT %1")
                        .arg(kMaxEvents))) {
        qWarning().noquote() << "Event store: load:" << query.lastError().text();
        return events;
    }
    while (query.next()) {
        EventRecord e;
        e.key = query.value(0).toLongLong();
        e.time = query.value(1).toLongLong();
        e.serverId = query.value(2).toString();
        e.sourceId = query.value(3).toString();
        e.source = query.value(4).toString();
        e.sourcePath = query.value(5).toString();
        e.cls = query.value(6).toString();
        e.text = query.value(7).toString();
        e.ackTime = query.value(8).toLongLong();
        e.ackBy = query.value(9).toString();
        events.append(e);
    }
    return events;
}

bool EventStore::prune(qint64 now)
{
    if (!m_open)
        return false;
    return exec(QStringLiteral("DELETE FROM events WHERE time_ms < %1").arg(now - kKeepMs)) &&
           exec(QStringLiteral("DELETE FROM events WHERE key < (SELECT key FROM events ORDER BY "
                               "key DESC LIMIT 1 OFFSET %1)")
                    .arg(kMaxEvents - 1));
}
