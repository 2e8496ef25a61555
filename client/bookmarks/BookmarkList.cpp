#include "BookmarkList.h"

#include "BookmarkNote.h"
#include "BookmarkStore.h"
#include "ServerIdentity.h"
#include "ZarnObjectsRepository.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QQmlEngine>
#include <QSet>
#include <QThread>
#include <QUuid>

#include <algorithm>

namespace {

void registerBookmarkList()
{
    qRegisterMetaType<Bookmarks>();
    qmlRegisterUncreatableType<BookmarkList>("Native", 1, 0, "BookmarkList",
                                             QStringLiteral("App.bookmarks is the one list"));
}
Q_COREAPP_STARTUP_FUNCTION(registerBookmarkList)

QString keyOf(const QString &server, const QString &stream)
{
    return server + QLatin1Char('\n') + stream;
}

bool earlier(const Bookmark &a, const Bookmark &b)
{
    return a.time < b.time;
}

} // namespace

BookmarkList::BookmarkList(const QString &fileName, QObject *parent)
    : QAbstractListModel(parent)
{
    if (fileName.isEmpty()) {
        m_loaded = true;
        return;
    }
    m_thread = new QThread(this);
    m_thread->setObjectName(QStringLiteral("bookmark store"));
    m_worker = new QObject;
    m_worker->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread->start();
    QPointer<BookmarkList> self(this);
    QMetaObject::invokeMethod(m_worker, [this, self, fileName] {
        m_store = new BookmarkStore(fileName);
        // A store that cannot be opened keeps nothing: the list works for this run.
        const Bookmarks stored = m_store->open() ? m_store->load() : Bookmarks();
        QMetaObject::invokeMethod(
            self,
            [self, stored] {
                if (self)
                    self->onLoaded(stored);
            },
            Qt::QueuedConnection);
    });
}

BookmarkList::~BookmarkList()
{
    if (!m_thread)
        return;
    // Queued after every write asked before, and waited for: they all reach the disk.
    QMetaObject::invokeMethod(
        m_worker,
        [this] {
            delete m_store;
            m_store = nullptr;
        },
        Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
}

void BookmarkList::toStore(std::function<void(BookmarkStore &)> work)
{
    if (!m_worker)
        return;
    QMetaObject::invokeMethod(m_worker, [this, work] {
        if (m_store && m_store->isOpen())
            work(*m_store);
    });
}

// The store's bookmarks and those made before it answered, in one reset: a few thousand
// bookmarks come in at once, not row by row.
void BookmarkList::onLoaded(const Bookmarks &stored)
{
    if (!stored.isEmpty()) {
        QSet<QString> made;
        for (const Bookmark &b : qAsConst(m_items))
            made.insert(b.id);
        Bookmarks merged = m_items;
        for (const Bookmark &b : stored)
            if (!made.contains(b.id))
                merged.append(b);
        std::stable_sort(merged.begin(), merged.end(), earlier);
        beginResetModel();
        m_items = merged;
        endResetModel();
        rebuildTimes();
        emit countChanged();
        emit changed();
    }
    m_loaded = true;
    emit loadedChanged();
}

void BookmarkList::insertSorted(const Bookmark &bookmark)
{
    const auto at = std::upper_bound(m_items.begin(), m_items.end(), bookmark, earlier);
    const int row = int(at - m_items.begin());
    beginInsertRows(QModelIndex(), row, row);
    m_items.insert(row, bookmark);
    endInsertRows();
}

void BookmarkList::rebuildTimes()
{
    m_times.clear();
    // m_items is in time order: each stream's moments come out sorted.
    for (const Bookmark &b : qAsConst(m_items))
        m_times[keyOf(b.server, b.streamId)].append(b.time);
}

void BookmarkList::setRepository(ZarnObjectsRepository *repository)
{
    if (m_repository)
        disconnect(m_repository, nullptr, this, nullptr);
    m_repository = repository;
    if (!repository)
        return;
    // A reloaded tree may have lost a camera, or brought one back.
    const auto recheck = [this] {
        if (!m_items.isEmpty())
            emit dataChanged(index(0), index(m_items.size() - 1), {CameraPresentRole});
        // and the server signed in to may be another one
        emit changed();
    };
    connect(repository, &ZarnObjectsRepository::dataChanged, this, recheck);
    connect(repository, &ZarnObjectsRepository::rootChanged, this, recheck);
}

int BookmarkList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_items.size();
}

bool BookmarkList::cameraPresent(const Bookmark &b) const
{
    return m_repository && b.server == currentServer() &&
           m_repository->objectById(b.streamId) != nullptr;
}

QVariant BookmarkList::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Bookmark &b = m_items.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case NoteRole:
        return b.note;
    case IdRole:
        return b.id;
    case TimeRole:
        return b.time;
    case CameraRole:
        return b.camera;
    case AuthorRole:
        return b.author;
    case CameraPresentRole:
        return cameraPresent(b);
    case StreamIdRole:
        return b.streamId;
    case ServerRole:
        return b.server;
    case CreatedRole:
        return b.created;
    default:
        return {};
    }
}

QHash<int, QByteArray> BookmarkList::roleNames() const
{
    return {
        {IdRole, "bookmarkId"},     {TimeRole, "time"},     {CameraRole, "camera"},
        {NoteRole, "note"},         {AuthorRole, "author"}, {CameraPresentRole, "cameraPresent"},
        {StreamIdRole, "streamId"}, {ServerRole, "server"}, {CreatedRole, "created"}};
}

void BookmarkList::setUser(const QString &user)
{
    if (user == m_user)
        return;
    m_user = user;
    emit userChanged();
}

void BookmarkList::setServer(const QString &server)
{
    if (server == m_server)
        return;
    m_server = server;
    emit serverChanged();
    emit changed();
}

QString BookmarkList::currentServer() const
{
    return m_server.isEmpty() ? ServerIdentity::current() : m_server;
}

bool BookmarkList::noteIsCut(const QString &note) const
{
    bool cut = false;
    BookmarkNote::clean(note, &cut);
    return cut;
}

QString BookmarkList::add(const QString &streamId, const QString &camera, qint64 time,
                          const QString &note)
{
    if (streamId.isEmpty() || time <= 0) {
        qWarning().noquote() << "Bookmark: no camera or moment to mark";
        return QString();
    }
    bool cut = false;
    Bookmark b;
    b.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    b.server = currentServer();
    b.streamId = streamId;
    b.camera = camera.left(256);
    b.time = time;
    b.note = BookmarkNote::clean(note, &cut);
    b.author = m_user;
    b.created = QDateTime::currentMSecsSinceEpoch();
    if (cut)
        qInfo().noquote() << QStringLiteral("Bookmark: the note of %1 cut at %2 characters")
                                 .arg(camera)
                                 .arg(BookmarkNote::kMaxLength);
    qInfo().noquote() << "Bookmark made:" << b.camera << "stream" << streamId << "at"
                      << QDateTime::fromMSecsSinceEpoch(time, Qt::UTC).toString(Qt::ISODate) << "by"
                      << b.author;
    insertSorted(b);
    QVector<qint64> &times = m_times[keyOf(b.server, b.streamId)];
    times.insert(std::upper_bound(times.begin(), times.end(), b.time), b.time);
    emit countChanged();
    emit changed();
    toStore([b](BookmarkStore &store) { store.add(b); });
    return b.id;
}

bool BookmarkList::remove(const QString &id)
{
    const int row = rowOf(id);
    if (row < 0)
        return false;
    qInfo().noquote()
        << "Bookmark deleted:" << m_items.at(row).camera << "at"
        << QDateTime::fromMSecsSinceEpoch(m_items.at(row).time, Qt::UTC).toString(Qt::ISODate);
    const Bookmark gone = m_items.at(row);
    beginRemoveRows(QModelIndex(), row, row);
    m_items.removeAt(row);
    endRemoveRows();
    QVector<qint64> &times = m_times[keyOf(gone.server, gone.streamId)];
    const auto at = std::lower_bound(times.begin(), times.end(), gone.time);
    if (at != times.end() && *at == gone.time)
        times.erase(at);
    emit countChanged();
    emit changed();
    toStore([id](BookmarkStore &store) { store.remove(id); });
    return true;
}

int BookmarkList::rowOf(const QString &id) const
{
    for (int row = 0; row < m_items.size(); ++row)
        if (m_items.at(row).id == id)
            return row;
    return -1;
}

QVector<qint64> BookmarkList::timesBetween(const QStringList &streams, qint64 from, qint64 to) const
{
    QVector<qint64> times;
    const QString server = currentServer();
    for (const QString &stream : streams) {
        const auto found = m_times.constFind(keyOf(server, stream));
        if (found == m_times.constEnd())
            continue;
        const QVector<qint64> &all = *found;
        const auto first = std::lower_bound(all.begin(), all.end(), from);
        const auto last = std::lower_bound(first, all.end(), to);
        times.append(QVector<qint64>(first, last));
    }
    if (streams.size() > 1)
        std::sort(times.begin(), times.end());
    return times;
}

Bookmarks BookmarkList::within(const QString &server, const QString &streamId, qint64 from,
                               qint64 to) const
{
    Bookmarks found;
    for (const Bookmark &b : m_items)
        if (b.server == server && b.streamId == streamId && b.time >= from && b.time < to)
            found.append(b);
    return found;
}
