#include "FoundObjects.h"

#include <algorithm>

FoundObjects::FoundObjects(QObject *parent)
    : QAbstractListModel(parent)
{}

FoundObjects::~FoundObjects() = default;

void FoundObjects::show(std::shared_ptr<const ObjectIndex> index, ObjectIndex::Result result)
{
    beginResetModel();
    m_index = std::move(index);
    m_result = std::move(result);
    if (!m_index)
        m_result = {};
    endResetModel();
}

int FoundObjects::entryAt(int row) const
{
    if (row < 0 || row >= rowCount())
        return -1;
    return m_result.rows[std::size_t(row)];
}

int FoundObjects::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_result.rows.size());
}

bool FoundObjects::isMatch(int row) const
{
    return std::binary_search(m_result.matches.begin(), m_result.matches.end(), row);
}

QVariant FoundObjects::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const int row = index.row();
    const ObjectIndex::Entry &e = m_index->at(entryAt(row));
    switch (role) {
    case Qt::DisplayRole:
    case LabelRole:
        return e.label;
    case IdRole:
        return e.id;
    case IconRole:
        return e.icon;
    case LevelRole:
        return e.level;
    case MatchRole:
        return isMatch(row);
    case OpenRole:
        // Shown open when a child of its own is shown: the next row, in tree order.
        return row + 1 < rowCount() && m_index->at(entryAt(row + 1)).parent == entryAt(row);
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> FoundObjects::roleNames() const
{
    return {{LabelRole, "label"}, {IdRole, "id"},       {IconRole, "icon"},
            {LevelRole, "level"}, {MatchRole, "match"}, {OpenRole, "open"}};
}
