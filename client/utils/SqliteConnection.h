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
    // Runs one statement; false with the reason in `error`.
    bool exec(const QString &statement, QString *error) const;
    // The form of the tables kept under `name` (their row in "store_versions", a table made
    // when the file has none), `absent` when no form is recorded; -1 with the reason in `error`
    // when it cannot be read.
    int storedVersion(const QString &name, int absent, QString *error) const;
    // The statement that records `version` as the form of the tables kept under `name`.
    static QString versionStatement(const QString &name, int version);
    // `text` for a NOT NULL column: a null QString binds as SQL NULL, which the column refuses.
    static QString notNull(const QString &text)
    {
        return text.isNull() ? QStringLiteral("") : text;
    }

private:
    QString m_name;
};
