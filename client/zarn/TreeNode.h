#pragma once

#include <QAbstractItemModel>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class TreeModel;

// One row of a TreeModel; it may carry a further TreeModel with its children, one level
// deeper.
class TreeNode : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString label READ label WRITE setLabel NOTIFY labelChanged)
    Q_PROPERTY(QString id READ id WRITE setId NOTIFY idChanged)
    Q_PROPERTY(QString icon READ icon WRITE setIcon NOTIFY iconChanged)
    Q_PROPERTY(QAbstractItemModel *childItems READ childItems NOTIFY childItemsChanged)
    Q_PROPERTY(int level READ level NOTIFY levelChanged)
    Q_PROPERTY(bool expanded READ expanded WRITE setExpanded NOTIFY expandedChanged)

public:
    explicit TreeNode(QObject *parent = nullptr);
    ~TreeNode() override;

    QString label() const { return m_label; }
    void setLabel(const QString &label);
    QString id() const { return m_id; }
    void setId(const QString &id);
    QString icon() const { return m_icon; }
    void setIcon(const QString &icon);
    // The child model, made by the child factory on first use; null when there are none.
    QAbstractItemModel *childItems() const;
    // The child model if it has been made, without making it.
    TreeModel *builtChildItems() const { return m_childItems.get(); }
    // Shares ownership of the child model; always emits childItemsChanged().
    void setChildItems(std::shared_ptr<TreeModel> childItems);
    using ChildFactory = std::function<std::shared_ptr<TreeModel>()>;
    // Makes the children only when they are first asked for: a large site shows a few hundred
    // of its rows at a time, and building them all would hold up loading the tree.
    void setChildFactory(ChildFactory factory);
    int level() const { return m_level; }
    // Set by the model that holds the node.
    void setLevel(int level);
    bool expanded() const { return m_expanded; }
    void setExpanded(bool expanded);

signals:
    void labelChanged();
    void idChanged();
    void iconChanged();
    void childItemsChanged();
    void levelChanged();
    void expandedChanged();

private:
    QString m_label;
    QString m_id;
    QString m_icon;
    mutable std::shared_ptr<TreeModel> m_childItems;
    mutable ChildFactory m_childFactory;
    int m_level = 0;
    bool m_expanded = false;
};
