#pragma once

#include <QString>

// A connection of its own to the console's SQLite file, for a store used from one thread:
// write-ahead logging and a busy timeout, so that the other connections to the same file are
// never held up for long. Named uniquely; closed and removed with the object.
class SqliteConnection
{
public:
    // `prefix` names the connection in Qt's list ("events-0", "transactions-3", …).
    explicit SqliteConnection(const QString &prefix);
    ~SqliteConnection();
    SqliteConnection(const SqliteConnection &) = delete;
    SqliteConnection &operator=(const SqliteConnection &) = delete;

    QString name() const { return m_name; }
    // Opens `fileName` (again, when already open); false with the reason in `error`.
    bool open(const QString &fileName, QString *error);

private:
    QString m_name;
};
