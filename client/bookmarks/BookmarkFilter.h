#pragma once

#include <QSortFilterProxyModel>
#include <QStringList>
#include <QVariantMap>

class BookmarkList;

// The bookmarks list as the page shows it: those whose note, camera or author hold every word
// typed (in any case, in any order), sorted by time, camera or author, ascending or not.
class BookmarkFilter : public QSortFilterProxyModel
{
    Q_OBJECT
    Q_PROPERTY(BookmarkList *bookmarks READ bookmarks WRITE setBookmarks NOTIFY bookmarksChanged)
    Q_PROPERTY(QString search READ search WRITE setSearch NOTIFY searchChanged)
    // "time", "camera" or "author".
    Q_PROPERTY(QString sortKey READ sortKey WRITE setSortKey NOTIFY sortChanged)
    Q_PROPERTY(bool descending READ descending WRITE setDescending NOTIFY sortChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    explicit BookmarkFilter(QObject *parent = nullptr);

    BookmarkList *bookmarks() const;
    void setBookmarks(BookmarkList *bookmarks);
    QString search() const { return m_search; }
    void setSearch(const QString &search);
    QString sortKey() const { return m_sortKey; }
    void setSortKey(const QString &key);
    bool descending() const { return m_descending; }
    void setDescending(bool descending);
    int count() const { return rowCount(); }

    // The row's bookmark: {bookmarkId, time, camera, note, author, streamId, cameraPresent};
    // empty for a row out of range.
    Q_INVOKABLE QVariantMap get(int row) const;

signals:
    void bookmarksChanged();
    void searchChanged();
    void sortChanged();
    void countChanged();

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;

private:
    void applySort();

    QString m_search;
    QStringList m_words;
    QString m_sortKey = QStringLiteral("time");
    bool m_descending = true;
};
