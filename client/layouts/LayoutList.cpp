#include "LayoutList.h"

LayoutList::LayoutList(QObject *parent)
    : QAbstractListModel(parent)
{}

int LayoutList::rowCount(const QModelIndex &parent) const
{
    // A list has no children below its rows.
    return parent.isValid() ? 0 : m_layouts.size();
}

QVariant LayoutList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_layouts.size())
        return {};
    const Layout &layout = m_layouts.at(index.row());
    switch (role) {
    case NameRole:
        return layout.name;
    case JsonRole:
        return layout.json;
    default:
        return {};
    }
}

QHash<int, QByteArray> LayoutList::roleNames() const
{
    static const QHash<int, QByteArray> names{{NameRole, "name"}, {JsonRole, "json"}};
    return names;
}

void LayoutList::clear()
{
    beginResetModel();
    m_layouts.clear();
    endResetModel();
}

void LayoutList::append(const QString &name, const QString &json)
{
    const int row = m_layouts.size();
    beginInsertRows(QModelIndex(), row, row);
    m_layouts.append({name, json});
    endInsertRows();
}
