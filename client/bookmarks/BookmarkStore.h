#pragma once

#include "SqliteConnection.h"

#include "Bookmark.h"

#include <QString>

// The bookmarks in the console's SQLite store ("data.sqlite" in the working directory), on a
// connection of its own, in the table "bookmarks". The store as a whole has a form, kept in
// "store_versions" under "store": form 2 (receipts by server, events) had no bookmarks and no
// such row; opening it makes the table and records form kStoreVersion in one transaction,
// leaving the receipts and events as they are. A store of a later form is not opened.
// Not thread-safe: create, use and destroy it on one thread (its connection belongs there).
class BookmarkStore
{
public:
    static constexpr int kStoreVersion = 3;

    explicit BookmarkStore(const QString &fileName = QStringLiteral("data.sqlite"));
    ~BookmarkStore();
    BookmarkStore(const BookmarkStore &) = delete;
    BookmarkStore &operator=(const BookmarkStore &) = delete;

    // Opens the file, upgrading a store of an earlier form.
    bool open();
    bool isOpen() const { return m_open; }
    QString lastError() const { return m_lastError; }

    // A bookmark of an id already kept replaces it.
    bool add(const Bookmark &bookmark);
    bool remove(const QString &id);
    // Every bookmark kept, oldest moment first.
    Bookmarks load() const;

private:
    bool upgrade();
    bool fail(const QString &what, const QString &error);

    SqliteConnection m_connection;
    QString m_fileName;
    QString m_lastError;
    bool m_open = false;
};
