#include "TreeNode.h"

#include "TreeModel.h"

#include <QCoreApplication>
#include <QQmlEngine>

namespace {

void registerTreeNode()
{
    qmlRegisterType<TreeNode>("Native", 1, 0, "TreeNode");
}

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerTreeNode)

TreeNode::TreeNode(QObject *parent)
    : QObject(parent)
{}

TreeNode::~TreeNode() = default;

void TreeNode::setLabel(const QString &label)
{
    if (label == m_label)
        return;
    m_label = label;
    emit labelChanged();
}

void TreeNode::setId(const QString &id)
{
    if (id == m_id)
        return;
    m_id = id;
    emit idChanged();
}

void TreeNode::setIcon(const QString &icon)
{
    if (icon == m_icon)
        return;
    m_icon = icon;
    emit iconChanged();
}

QAbstractItemModel *TreeNode::childItems() const
{
    if (!m_childItems && m_childFactory) {
        const ChildFactory factory = std::move(m_childFactory);
        m_childFactory = nullptr;
        std::shared_ptr<TreeModel> children = factory();
        if (children && children->rowCount() > 0) {
            QQmlEngine::setObjectOwnership(children.get(), QQmlEngine::CppOwnership);
            m_childItems = std::move(children);
        }
    }
    return m_childItems.get();
}

void TreeNode::setChildFactory(ChildFactory factory)
{
    m_childFactory = std::move(factory);
}

void TreeNode::setChildItems(std::shared_ptr<TreeModel> childItems)
{
    // The node owns its child model; QML only borrows it through the role and the property.
    if (childItems)
        QQmlEngine::setObjectOwnership(childItems.get(), QQmlEngine::CppOwnership);
    m_childItems = std::move(childItems);
    m_childFactory = nullptr;
    emit childItemsChanged();
}

void TreeNode::setLevel(int level)
{
    if (level == m_level)
        return;
    m_level = level;
    emit levelChanged();
}

void TreeNode::setExpanded(bool expanded)
{
    if (expanded == m_expanded)
        return;
    m_expanded = expanded;
    emit expandedChanged();
}
