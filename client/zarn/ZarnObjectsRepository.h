#pragma once

#include "ZarnObject.h"

#include <QHash>
#include <QObject>
#include <QString>

#include <vector>

// Every object of the server's tree, by id and by path. Filled by the client's rebuild on the
// GUI thread and read there by QML, the layout model and the value handlers.
class ZarnObjectsRepository : public QObject
{
    Q_OBJECT
    Q_PROPERTY(ZarnObject *root READ root NOTIFY rootChanged)
    // What the last load of the tree refused or cut, for the operator; empty when nothing.
    Q_PROPERTY(QString notice READ notice NOTIFY noticeChanged)

public:
    using ObjectsById = QHash<QString, ZarnObjectPtr>;

    explicit ZarnObjectsRepository(QObject *parent = nullptr);
    ~ZarnObjectsRepository() override;

    ZarnObject *root() const { return m_root.get(); }

    // Empties the repository; emits nothing.
    void clear();
    // Trades contents (objects, indexes, root) with other; emits nothing.
    void swapContents(ZarnObjectsRepository &other);
    // Releases up to `count` of the objects a clear would release; true once none is left.
    // Lets a large tree be released a slice at a time.
    bool releaseSome(int count);
    QString notice() const { return m_notice; }
    void setNotice(const QString &notice);
    // Adds obj under its id and path and links it to the parent named by its path (the path
    // without its last part, split at sep). False, changing nothing, when the id is taken.
    bool add(const ZarnObjectPtr &obj, const QString &sep);
    ZarnObjectPtr find(const QString &id) const;
    Q_INVOKABLE ZarnObject *objectById(const QString &id) const;
    // Every object keyed by id, in the hash's own order.
    const ObjectsById &objects() const { return m_byId; }

signals:
    void rootChanged();
    void noticeChanged();
    // Emitted by the client after each complete rebuild.
    void dataChanged();

private:
    void makeRoot(const ZarnObjectPtr &obj, int line, const char *text);

    ObjectsById m_byId;
    QHash<QString, ZarnObjectPtr> m_byPath;
    ZarnObjectPtr m_root;
    // Every object of byId in the order of adding, for clear().
    std::vector<ZarnObjectPtr> m_added;
    std::size_t m_released = 0; // how many of m_added releaseSome has released
    QString m_notice;
};
