#include "TreeModel.h"

#include "TreeNode.h"

#include <QCoreApplication>
#include <QDebug>
#include <QQmlEngine>

namespace {

void registerTreeModel()
{
    qRegisterMetaType<QAbstractItemModel *>("QAbstractItemModel*");
    qmlRegisterType<TreeModel>("Native", 1, 0, "TreeModel");
}

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerTreeModel)

TreeModel::TreeModel(int level, QObject *parent)
    : QAbstractListModel(parent)
    , m_level(level)
{}

TreeModel::~TreeModel() = default;

bool TreeModel::insertRow(const QVariantMap &obj)
{
    auto node = std::make_shared<TreeNode>();
    node->setLevel(m_level);
    if (obj.contains(QStringLiteral("label")))
        node->setLabel(obj.value(QStringLiteral("label")).toString());
    if (obj.contains(QStringLiteral("icon")))
        node->setIcon(obj.value(QStringLiteral("icon")).toString());
    if (obj.contains(QStringLiteral("childItems"))) {
        auto children = std::make_shared<TreeModel>(m_level + 1);
        const QVariantList list = obj.value(QStringLiteral("childItems")).toList();
        for (const QVariant &child : list)
            children->insertRow(child.toMap());
        node->setChildItems(std::move(children));
    }
    append(std::move(node));
    return true;
}

bool TreeModel::appendNode(const std::shared_ptr<TreeNode> &node)
{
    if (!node) {
        qWarning() << "TreeModel: cannot append a null node";
        return false;
    }
    node->setLevel(m_level);
    append(node);
    return true;
}

void TreeModel::append(std::shared_ptr<TreeNode> node)
{
    // QML reaches nodes through the model only; the model owns them.
    QQmlEngine::setObjectOwnership(node.get(), QQmlEngine::CppOwnership);
    const int row = static_cast<int>(m_nodes.size());
    beginInsertRows(QModelIndex(), row, row);
    m_nodes.push_back(std::move(node));
    endInsertRows();
}

std::shared_ptr<TreeNode> TreeModel::node(int row) const
{
    if (row < 0 || row >= static_cast<int>(m_nodes.size()))
        return nullptr;
    return m_nodes[static_cast<std::size_t>(row)];
}

int TreeModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_nodes.size());
}

bool TreeModel::isRow(const QModelIndex &index) const
{
    return index.isValid() && index.model() == this && !index.parent().isValid() &&
           index.column() == 0 && index.row() >= 0 &&
           index.row() < static_cast<int>(m_nodes.size());
}

QVariant TreeModel::data(const QModelIndex &index, int role) const
{
    if (!isRow(index))
        return QVariant();
    const TreeNode &n = *m_nodes[static_cast<std::size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case LabelRole:
        return n.label();
    case IdRole:
        return n.id();
    case IconRole:
        return n.icon();
    case ChildItemsRole:
        return QVariant::fromValue(n.childItems());
    case LevelRole:
        return n.level();
    case ExpandedRole:
        return n.expanded();
    default:
        return QVariant();
    }
}

bool TreeModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != ExpandedRole || !value.isValid() || !isRow(index))
        return false;
    m_nodes[static_cast<std::size_t>(index.row())]->setExpanded(value.toBool());
    emit dataChanged(index, index, {ExpandedRole});
    return true;
}

// Role 0 answers like "label" but has no name of its own: two roles of one name would leave
// QML delegates to pick either.
QHash<int, QByteArray> TreeModel::roleNames() const
{
    return {{LabelRole, "label"},           {IdRole, "id"},       {IconRole, "icon"},
            {ChildItemsRole, "childItems"}, {LevelRole, "level"}, {ExpandedRole, "expanded"}};
}
