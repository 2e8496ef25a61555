#pragma once

#include <QAbstractListModel>
#include <QVariantMap>

#include <memory>
#include <vector>

class TreeNode;

// A flat list of TreeNodes, one level of a collapsible tree for QML; a node's children live
// in the node's own TreeModel one level deeper. Rows are only ever appended.
class TreeModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role {
        LabelRole = Qt::UserRole + 1,
        IdRole,
        IconRole,
        ChildItemsRole,
        LevelRole,
        ExpandedRole
    };

    explicit TreeModel(int level = 0, QObject *parent = nullptr);
    ~TreeModel() override;

    int level() const { return m_level; }

    // Appends a node built from obj's "label", "icon" and nested "childItems" maps.
    Q_INVOKABLE bool insertRow(const QVariantMap &obj);
    // Appends a ready-made node at this model's level; false for a null node.
    bool appendNode(const std::shared_ptr<TreeNode> &node);
    std::shared_ptr<TreeNode> node(int row) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    QHash<int, QByteArray> roleNames() const override;

private:
    bool isRow(const QModelIndex &index) const;
    void append(std::shared_ptr<TreeNode> node);

    const int m_level;
    std::vector<std::shared_ptr<TreeNode>> m_nodes;
};
