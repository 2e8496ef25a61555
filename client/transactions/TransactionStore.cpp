#include "TransactionStore.h"

#include <QDebug>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

// The texts are the key (no rowid): a text is stored once, and the key's order by server,
// stream and time is what every read follows.
const char *const kCreateTexts =
    "CREATE TABLE IF NOT EXISTS pos_texts(server TEXT NOT NULL, stream_id TEXT NOT NULL, "
    "time_ms INTEGER NOT NULL, text TEXT NOT NULL, PRIMARY KEY(server, stream_id, time_ms, "
    "text)) WITHOUT ROWID";
const char *const kCreateRanges =
    "CREATE TABLE IF NOT EXISTS pos_ranges(server TEXT NOT NULL, stream_id TEXT NOT NULL, "
    "from_ms INTEGER NOT NULL, to_ms INTEGER NOT NULL, PRIMARY KEY(server, stream_id, from_ms))";
// A server not named (tests, a console that has not signed in) is the empty text.
QString serverText(const QString &server)
{
    return SqliteConnection::notNull(server);
}

} // namespace

TransactionStore::TransactionStore(const QString &fileName)
    : m_connection(QStringLiteral("transactions"))
    , m_fileName(fileName)
{}

TransactionStore::~TransactionStore() = default;

bool TransactionStore::open(qint64 now)
{
    if (m_open)
        return true;
    QString error;
    if (!m_connection.open(m_fileName, &error))
        return fail(QStringLiteral("open ") + m_fileName, error);
    m_open = makeTables();
    if (m_open)
        prune(now);
    return m_open;
}

bool TransactionStore::makeTables()
{
    return migrate() && exec(QString::fromLatin1(kCreateTexts)) &&
           exec(QString::fromLatin1(kCreateRanges)) &&
           exec(SqliteConnection::versionStatement(QStringLiteral("pos_texts"), kSchemaVersion));
}

// The first form kept texts by stream alone, without a version: its rows belong to no server
// the console can name, and are dropped with its tables.
bool TransactionStore::migrate()
{
    QSqlDatabase db = QSqlDatabase::database(m_connection.name(), false);
    QString versionError;
    const int found = m_connection.storedVersion(QStringLiteral("pos_texts"), 0, &versionError);
    if (found < 0)
        return fail(QStringLiteral("read the version"), versionError);
    if (found == kSchemaVersion)
        return true;
    if (found > kSchemaVersion)
        return fail(QStringLiteral("open ") + m_fileName,
                    QStringLiteral("its receipts are of a later console (form %1)").arg(found));
    QSqlQuery count(db);
    if (!count.exec(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND "
                                   "name IN ('pos_texts', 'pos_ranges')")) ||
        !count.next())
        return fail(QStringLiteral("read the tables"), count.lastError().text());
    const int tables = count.value(0).toInt();
    count.finish();
    if (tables == 0)
        return true;
    QSqlQuery texts(db);
    const qint64 rows = texts.exec(QStringLiteral("SELECT COUNT(*) FROM pos_texts")) && texts.next()
                            ? texts.value(0).toLongLong()
                            : 0;
    // a statement still reading holds the tables
    texts.finish();
    if (!exec(QStringLiteral("DROP TABLE IF EXISTS pos_texts")) ||
        !exec(QStringLiteral("DROP TABLE IF EXISTS pos_ranges")))
        return false;
    qInfo().noquote() << QStringLiteral("Transaction store: %1 receipts stored before they were "
                                        "kept by server dropped; they are asked of the gateways "
                                        "again")
                             .arg(rows);
    return true;
}

bool TransactionStore::exec(const QString &statement)
{
    QString error;
    return m_connection.exec(statement, &error) || fail(statement, error);
}

bool TransactionStore::fail(const QString &what, const QString &error)
{
    m_lastError = what + QStringLiteral(": ") + error;
    qWarning().noquote() << "Transaction store:" << m_lastError;
    return false;
}

bool TransactionStore::addTexts(const QString &server, const QString &streamId, qint64 from,
                                qint64 to, const QVector<PosText> &texts, qint64 now, bool complete)
{
    if (!m_open || to <= from)
        return false;
    QSqlDatabase db = QSqlDatabase::database(m_connection.name(), false);
    if (!db.transaction())
        return fail(QStringLiteral("begin"), db.lastError().text());
    QSqlQuery insert(db);
    bool ok = insert.prepare(QStringLiteral(
        "INSERT OR IGNORE INTO pos_texts(server, stream_id, time_ms, text) VALUES(?, ?, ?, ?)"));
    for (int i = 0; ok && i < texts.size(); ++i) {
        const PosText &text = texts.at(i);
        if (text.time < from || text.time >= to)
            continue;
        insert.bindValue(0, serverText(server));
        insert.bindValue(1, streamId);
        insert.bindValue(2, text.time);
        insert.bindValue(3, text.text);
        ok = insert.exec();
    }
    if (!ok) {
        fail(QStringLiteral("insert"), insert.lastError().text());
        db.rollback();
        return false;
    }
    const qint64 finalEnd = complete ? qMin(to, now - kRecentMs) : from;
    if ((finalEnd > from && !recordRange(server, streamId, from, finalEnd)) || !db.commit()) {
        fail(QStringLiteral("commit"), db.lastError().text());
        db.rollback();
        return false;
    }
    return true;
}

bool TransactionStore::recordRange(const QString &server, const QString &streamId, qint64 from,
                                   qint64 to)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection.name(), false);
    QSqlQuery touching(db);
    touching.prepare(
        QStringLiteral("SELECT MIN(from_ms), MAX(to_ms) FROM pos_ranges WHERE "
                       "server = ? AND stream_id = ? AND from_ms <= ? AND to_ms >= ?"));
    touching.addBindValue(serverText(server));
    touching.addBindValue(streamId);
    touching.addBindValue(to);
    touching.addBindValue(from);
    if (!touching.exec() || !touching.next())
        return fail(QStringLiteral("ranges"), touching.lastError().text());
    if (!touching.value(0).isNull()) {
        from = qMin(from, touching.value(0).toLongLong());
        to = qMax(to, touching.value(1).toLongLong());
    }
    QSqlQuery remove(db);
    remove.prepare(QStringLiteral("DELETE FROM pos_ranges WHERE server = ? AND stream_id = ? AND "
                                  "from_ms <= ? AND to_ms >= ?"));
    remove.addBindValue(serverText(server));
    remove.addBindValue(streamId);
    remove.addBindValue(to);
    remove.addBindValue(from);
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral(
        "INSERT INTO pos_ranges(server, stream_id, from_ms, to_ms) VALUES(?, ?, ?, ?)"));
    insert.addBindValue(serverText(server));
    insert.addBindValue(streamId);
    insert.addBindValue(from);
    insert.addBindValue(to);
    if (remove.exec() && insert.exec())
        return true;
    return fail(QStringLiteral("record range"),
                remove.lastError().text() + insert.lastError().text());
}

QVector<TransactionStore::Range> TransactionStore::fetched(const QString &server,
                                                           const QString &streamId) const
{
    QVector<Range> ranges;
    if (!m_open)
        return ranges;
    QSqlQuery query(QSqlDatabase::database(m_connection.name(), false));
    query.prepare(QStringLiteral("SELECT from_ms, to_ms FROM pos_ranges WHERE server = ? AND "
                                 "stream_id = ? ORDER BY from_ms"));
    query.addBindValue(serverText(server));
    query.addBindValue(streamId);
    if (!query.exec())
        return ranges;
    while (query.next())
        ranges.append({query.value(0).toLongLong(), query.value(1).toLongLong()});
    return ranges;
}

bool TransactionStore::covers(const QString &server, const QString &streamId, qint64 from,
                              qint64 to) const
{
    for (const Range &range : fetched(server, streamId)) {
        if (range.first <= from && range.second >= to)
            return true;
    }
    return false;
}

QVector<PosText> TransactionStore::texts(const QString &server, const QString &streamId,
                                         qint64 from, qint64 to) const
{
    QVector<PosText> texts;
    if (!m_open)
        return texts;
    QSqlQuery query(QSqlDatabase::database(m_connection.name(), false));
    query.setForwardOnly(true);
    query.prepare(
        QStringLiteral("SELECT time_ms, text FROM pos_texts WHERE server = ? AND "
                       "stream_id = ? AND time_ms >= ? AND time_ms < ? ORDER BY time_ms"));
    query.addBindValue(serverText(server));
    query.addBindValue(streamId);
    query.addBindValue(from);
    query.addBindValue(to);
    if (!query.exec())
        return texts;
    while (query.next())
        texts.append({query.value(0).toLongLong(), query.value(1).toString()});
    return texts;
}

int TransactionStore::prune(qint64 now)
{
    if (!m_open)
        return 0;
    const qint64 cutoff = now - kKeepMs;
    QSqlDatabase db = QSqlDatabase::database(m_connection.name(), false);
    QSqlQuery query(db);
    query.prepare(QStringLiteral("DELETE FROM pos_texts WHERE time_ms < ?"));
    query.addBindValue(cutoff);
    if (!query.exec()) {
        fail(QStringLiteral("prune"), query.lastError().text());
        return 0;
    }
    const int dropped = query.numRowsAffected();
    QSqlQuery ranges(db);
    ranges.prepare(QStringLiteral("DELETE FROM pos_ranges WHERE to_ms <= ?"));
    ranges.addBindValue(cutoff);
    QSqlQuery clip(db);
    clip.prepare(QStringLiteral("UPDATE pos_ranges SET from_ms = ? WHERE from_ms < ?"));
    clip.addBindValue(cutoff);
    clip.addBindValue(cutoff);
    if (!ranges.exec() || !clip.exec())
        fail(QStringLiteral("prune ranges"), ranges.lastError().text() + clip.lastError().text());
    return dropped;
}
