#include "SubtitleList.h"

#include <QCoreApplication>
#include <QQmlEngine>

namespace {

void registerSubtitleList()
{
    qmlRegisterType<SubtitleList>("Native", 1, 0, "SubtitleList");
}

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerSubtitleList)

SubtitleList::SubtitleList(QObject *parent)
    : QAbstractListModel(parent)
{
    lines.reserve(50);
}

int SubtitleList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : lines.size();
}

QVariant SubtitleList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.column() < 0 || index.row() >= lines.size() ||
        role != LabelRole)
        return QVariant();
    return lines.at(index.row());
}

QHash<int, QByteArray> SubtitleList::roleNames() const
{
    return {{LabelRole, "label"}};
}

void SubtitleList::setMaxLines(int value)
{
    if (value == maxLines)
        return;
    maxLines = value;
    emit maxLinesChanged();
}

void SubtitleList::append(const QString &line)
{
    if (lines.size() >= maxLines && lines.size() >= 1)
        pop();
    const int row = lines.size();
    beginInsertRows(QModelIndex(), row, row);
    lines.append(line);
    endInsertRows();
    emit timerNeedReset();
}

bool SubtitleList::pop()
{
    if (lines.isEmpty())
        return false;
    beginRemoveRows(QModelIndex(), 0, 0);
    lines.removeFirst();
    endRemoveRows();
    return true;
}
