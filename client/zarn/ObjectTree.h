#pragma once

#include <QAbstractItemModel>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

#include <memory>

class TreeModel;
class ZarnObject;
class ZarnObjectsRepository;

// The server's sites as a collapsible tree for QML: locations, devices and the streams,
// sensors and actuators under them, each node labelled with the object's name and carrying its
// id. Built from a repository and built again whenever the repository reloads the server's
// tree; the nodes that were open stay open.
class ObjectTree : public QObject
{
    Q_OBJECT
    Q_PROPERTY(ZarnObjectsRepository *repository READ repository WRITE setRepository NOTIFY
                   repositoryChanged)
    Q_PROPERTY(QAbstractItemModel *model READ model NOTIFY modelChanged)

public:
    explicit ObjectTree(QObject *parent = nullptr);
    ~ObjectTree() override;

    ZarnObjectsRepository *repository() const { return m_repository; }
    void setRepository(ZarnObjectsRepository *repository);
    QAbstractItemModel *model() const;

    // The icon name a node of this object type carries; empty for types the tree leaves out.
    static QString iconFor(const ZarnObject &object);

public slots:
    void rebuild();

signals:
    void repositoryChanged();
    void modelChanged();

private:
    void addChildren(TreeModel &model, const ZarnObject &parent, int depth);
    // The rows under object `id`, made when its node is first opened or asked about.
    std::shared_ptr<TreeModel> childrenOf(const QString &id, int depth);
    static void collectExpanded(const TreeModel &model, QSet<QString> &ids);

    QPointer<ZarnObjectsRepository> m_repository;
    std::shared_ptr<TreeModel> m_model;
    QSet<QString> m_expanded;
    bool m_built = false;
};
