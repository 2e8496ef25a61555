#pragma once

#include "Bookmark.h"

#include <QAbstractListModel>
#include <QHash>
#include <QPointer>
#include <QStringList>

#include <functional>

class BookmarkStore;
class QThread;
class ZarnObjectsRepository;

// The operator's bookmarks, every camera's, oldest moment first, kept in the local store
// across runs. The store is read and written on a thread of its own (the GUI thread never
// waits on the disk): what it keeps arrives once, soon after construction, and each change
// is queued to it in order. Per server and stream the moments are also kept sorted, so that
// a timeline finds those of its view by binary search however many there are.
class BookmarkList : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    // Who marks: the signed-in user.
    Q_PROPERTY(QString user READ user WRITE setUser NOTIFY userChanged)
    // The event server bookmarks are made on and shown for (ServerIdentity); empty: the one
    // signed in to.
    Q_PROPERTY(QString server READ server WRITE setServer NOTIFY serverChanged)
    // Whether the store has said what it keeps.
    Q_PROPERTY(bool loaded READ loaded NOTIFY loadedChanged)

public:
    enum Role {
        IdRole = Qt::UserRole + 1,
        TimeRole,
        CameraRole,
        NoteRole,
        AuthorRole,
        // The camera is still on the site signed in to.
        CameraPresentRole,
        StreamIdRole,
        ServerRole,
        CreatedRole,
    };
    Q_ENUM(Role)

    // `fileName` empty keeps nothing on disk.
    explicit BookmarkList(const QString &fileName = QStringLiteral("data.sqlite"),
                          QObject *parent = nullptr);
    // Finishes the queued writes before returning.
    ~BookmarkList() override;

    void setRepository(ZarnObjectsRepository *repository);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const { return m_items.size(); }
    QString user() const { return m_user; }
    void setUser(const QString &user);
    QString server() const { return m_server; }
    void setServer(const QString &server);
    bool loaded() const { return m_loaded; }
    const Bookmark &at(int row) const { return m_items.at(row); }

    // Marks `time` of a stream with a note (made plain, one line, cut at
    // BookmarkNote::kMaxLength); returns the new bookmark's id.
    Q_INVOKABLE QString add(const QString &streamId, const QString &camera, qint64 time,
                            const QString &note);
    Q_INVOKABLE bool remove(const QString &id);
    Q_INVOKABLE int rowOf(const QString &id) const;
    // Whether the note would be kept cut, for the note field.
    Q_INVOKABLE bool noteIsCut(const QString &note) const;

    // The moments bookmarked of these streams (of the current server) in [from, to), in order.
    QVector<qint64> timesBetween(const QStringList &streams, qint64 from, qint64 to) const;
    // The bookmarks of a server's stream in [from, to), in time order.
    Bookmarks within(const QString &server, const QString &streamId, qint64 from, qint64 to) const;
    // The server bookmarks are made on now.
    QString currentServer() const;

signals:
    void countChanged();
    void userChanged();
    void serverChanged();
    void loadedChanged();
    // The bookmarks or their moments changed: timelines repaint.
    void changed();

private:
    void onLoaded(const Bookmarks &stored);
    void insertSorted(const Bookmark &bookmark);
    void rebuildTimes();
    bool cameraPresent(const Bookmark &bookmark) const;
    // Queued to the store's thread, after every write asked before.
    void toStore(std::function<void(BookmarkStore &)> work);

    Bookmarks m_items;
    // "server\nstream" -> the moments of its bookmarks, sorted.
    QHash<QString, QVector<qint64>> m_times;
    QString m_user;
    QString m_server;
    bool m_loaded = false;
    QPointer<ZarnObjectsRepository> m_repository;
    QThread *m_thread = nullptr;
    // Lives on m_thread; owns the store.
    QObject *m_worker = nullptr;
    BookmarkStore *m_store = nullptr;
};
