#include "ObjectTree.h"

#include "TreeModel.h"
#include "TreeNode.h"
#include "ZarnObjectsRepository.h"

#include <QCoreApplication>
#include <QQmlEngine>

namespace {

void registerObjectTree()
{
    qmlRegisterType<ObjectTree>("Native", 1, 0, "ObjectTree");
}

// Deeper than any real site; stops a malformed tree whose ids loop.
constexpr int maxDepth = 32;

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerObjectTree)

ObjectTree::ObjectTree(QObject *parent)
    : QObject(parent)
    , m_model(std::make_shared<TreeModel>(0))
{}

ObjectTree::~ObjectTree() = default;

void ObjectTree::setRepository(ZarnObjectsRepository *repository)
{
    if (m_repository == repository)
        return;
    if (m_repository)
        disconnect(m_repository, nullptr, this, nullptr);
    m_repository = repository;
    if (m_repository) {
        connect(m_repository, &ZarnObjectsRepository::dataChanged, this, &ObjectTree::rebuild);
        connect(m_repository, &ZarnObjectsRepository::rootChanged, this, &ObjectTree::rebuild);
    }
    emit repositoryChanged();
    rebuild();
}

QAbstractItemModel *ObjectTree::model() const
{
    return m_model.get();
}

QString ObjectTree::iconFor(const ZarnObject &object)
{
    switch (object.type()) {
    case ZarnObject::Location:
        return QStringLiteral("location");
    case ZarnObject::Device:
        return QStringLiteral("device");
    case ZarnObject::Stream:
        return QStringLiteral("stream");
    case ZarnObject::Sensor:
        return QStringLiteral("sensor");
    case ZarnObject::Actuator:
        return QStringLiteral("actuator");
    default:
        return QString();
    }
}

void ObjectTree::rebuild()
{
    collectExpanded(*m_model, m_expanded);
    // Rows of a TreeModel are only ever appended: a new tree replaces the old one whole.
    auto model = std::make_shared<TreeModel>(0);
    const ZarnObject *root = m_repository ? m_repository->root() : nullptr;
    if (root && !iconFor(*root).isEmpty()) {
        auto node = std::make_shared<TreeNode>();
        node->setLabel(root->name());
        node->setId(root->id());
        node->setIcon(iconFor(*root));
        node->setChildFactory([tree = QPointer<ObjectTree>(this), id = root->id()] {
            return tree ? tree->childrenOf(id, 1) : nullptr;
        });
        // The site itself starts open: its devices are what the operator looks for.
        node->setExpanded(!m_built || m_expanded.contains(root->id()));
        model->appendNode(node);
        m_built = true;
    }
    // The old tree stays alive until its views have moved to the new one.
    const std::shared_ptr<TreeModel> old = std::move(m_model);
    m_model = model;
    emit modelChanged();
}

void ObjectTree::addChildren(TreeModel &model, const ZarnObject &parent, int depth)
{
    if (depth > maxDepth) {
        qWarning().noquote() << QStringLiteral("Object tree: the objects below \"%1\" are "
                                               "deeper than %2 levels and are not shown")
                                    .arg(parent.name())
                                    .arg(maxDepth);
        return;
    }
    for (const QString &id : parent.childIds()) {
        const ZarnObject *child = m_repository->objectById(id);
        if (!child || iconFor(*child).isEmpty())
            continue;
        auto node = std::make_shared<TreeNode>();
        node->setLabel(child->name());
        node->setId(child->id());
        node->setIcon(iconFor(*child));
        if (!child->childIds().isEmpty()) {
            node->setChildFactory([tree = QPointer<ObjectTree>(this), id, depth] {
                return tree ? tree->childrenOf(id, depth + 1) : nullptr;
            });
        }
        node->setExpanded(m_expanded.contains(child->id()));
        model.appendNode(node);
    }
}

std::shared_ptr<TreeModel> ObjectTree::childrenOf(const QString &id, int depth)
{
    const ZarnObject *object = m_repository ? m_repository->objectById(id) : nullptr;
    if (!object)
        return nullptr;
    auto children = std::make_shared<TreeModel>(depth);
    addChildren(*children, *object, depth);
    return children;
}

void ObjectTree::collectExpanded(const TreeModel &model, QSet<QString> &ids)
{
    for (int row = 0; row < model.rowCount(); ++row) {
        const std::shared_ptr<TreeNode> node = model.node(row);
        if (!node)
            continue;
        if (node->expanded())
            ids.insert(node->id());
        else
            ids.remove(node->id());
        // Children never made were never shown, so they cannot have changed.
        if (TreeModel *children = node->builtChildItems())
            collectExpanded(*children, ids);
    }
}
