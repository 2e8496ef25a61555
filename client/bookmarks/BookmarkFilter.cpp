#include "BookmarkFilter.h"

#include "BookmarkList.h"

#include <QCoreApplication>
#include <QQmlEngine>
#include <QRegularExpression>

namespace {

void registerBookmarkFilter()
{
    qmlRegisterType<BookmarkFilter>("Native", 1, 0, "BookmarkFilter");
}
Q_COREAPP_STARTUP_FUNCTION(registerBookmarkFilter)

int roleOf(const QString &key)
{
    if (key == QLatin1String("camera"))
        return BookmarkList::CameraRole;
    if (key == QLatin1String("author"))
        return BookmarkList::AuthorRole;
    return BookmarkList::TimeRole;
}

} // namespace

BookmarkFilter::BookmarkFilter(QObject *parent)
    : QSortFilterProxyModel(parent)
{
    setDynamicSortFilter(true);
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(this, signal, this, &BookmarkFilter::countChanged);
    connect(this, &QAbstractItemModel::modelReset, this, &BookmarkFilter::countChanged);
    connect(this, &QAbstractItemModel::layoutChanged, this, &BookmarkFilter::countChanged);
    applySort();
}

BookmarkList *BookmarkFilter::bookmarks() const
{
    return qobject_cast<BookmarkList *>(sourceModel());
}

void BookmarkFilter::setBookmarks(BookmarkList *bookmarks)
{
    if (bookmarks == sourceModel())
        return;
    setSourceModel(bookmarks);
    applySort();
    emit bookmarksChanged();
    emit countChanged();
}

void BookmarkFilter::setSearch(const QString &search)
{
    if (search == m_search)
        return;
    m_search = search;
    m_words = search.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    invalidateFilter();
    emit searchChanged();
    emit countChanged();
}

void BookmarkFilter::setSortKey(const QString &key)
{
    if (key == m_sortKey)
        return;
    m_sortKey = key;
    applySort();
    emit sortChanged();
}

void BookmarkFilter::setDescending(bool descending)
{
    if (descending == m_descending)
        return;
    m_descending = descending;
    applySort();
    emit sortChanged();
}

void BookmarkFilter::applySort()
{
    setSortRole(roleOf(m_sortKey));
    sort(0, m_descending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

bool BookmarkFilter::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    if (m_words.isEmpty())
        return true;
    const QModelIndex i = sourceModel()->index(sourceRow, 0, sourceParent);
    const QString text = i.data(BookmarkList::NoteRole).toString() + QLatin1Char('\n') +
                         i.data(BookmarkList::CameraRole).toString() + QLatin1Char('\n') +
                         i.data(BookmarkList::AuthorRole).toString();
    for (const QString &word : m_words)
        if (!text.contains(word, Qt::CaseInsensitive))
            return false;
    return true;
}

// Equal keys fall back on the moment, so that the order never depends on arrival.
bool BookmarkFilter::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    const int role = sortRole();
    if (role != BookmarkList::TimeRole) {
        const int c =
            QString::localeAwareCompare(left.data(role).toString(), right.data(role).toString());
        if (c != 0)
            return c < 0;
    }
    return left.data(BookmarkList::TimeRole).toLongLong() <
           right.data(BookmarkList::TimeRole).toLongLong();
}

QVariantMap BookmarkFilter::get(int row) const
{
    const QModelIndex i = index(row, 0);
    if (!i.isValid())
        return {};
    QVariantMap map;
    const QHash<int, QByteArray> names = sourceModel()->roleNames();
    for (auto it = names.cbegin(); it != names.cend(); ++it)
        map.insert(QString::fromLatin1(it.value()), i.data(it.key()));
    return map;
}
